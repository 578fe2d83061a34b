#include "archive/ArchiveFormat.h"
#include "archive/EntryRules.h"
#include "cli/ArchiveSession.h"
#include "cli/Commands.h"
#include "cli/EntryAddress.h"
#include "cli/TextOutput.h"
#include "platform/MessageBox.h"
#include "platform/NumberText.h"
#include "transfer/ImportPipeline.h"

#include <memory>

namespace {

struct AddOptions {
    std::string archive;
    std::string file;
    std::string type;
    std::string id;
    std::string name;
    bool bNameGiven = false; // an empty --name is a name: 16 spaces
    bool bReplace = false;
    WriteOptions write;
};

// The name to store, as Latin-1 bytes; false after a message.
bool ResolveName(const AddOptions& options, std::string& name) {
    const std::string given = options.bNameGiven ? options.name : ProposedEntryName(options.file);
    const auto latin1 = Utf8ToLatin1(given);
    if (latin1 && latin1->size() <= ENTRY_NAME_SIZE) {
        name = *latin1;
        return true;
    }
    MessageBox(nullptr,
               "The name \"" + given +
                   "\" is not a name of at most 16 Latin-1 "
                   "characters; give one with --name.",
               GetAppTitle());
    return false;
}

int RunAdd(const AddOptions& options) {
    CQuestionAnswerer answerer(options.bReplace);
    return ChangeArchive(options.archive, options.write, [&](COstrevaneDoc& doc) {
        ImportRequest request{options.file, *ParseType(options.type), 0, {}, {}};
        request.id =
            options.id.empty() ? doc.ProposedId(request.type) : *ParseUnsigned32(options.id);
        return ResolveName(options, request.name) &&
               ImportFile(doc, request, nullptr) == ImportResult::Imported;
    });
}

} // namespace

void AddAddCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<AddOptions>();
    CLI::App* cmd = app.add_subcommand("add", "Import a file as a new or replacing entry.");
    cmd->add_option("ARCHIVE", options->archive, "Archive to change")->required();
    cmd->add_option("FILE", options->file, "File to import")->required();
    cmd->add_option("-t,--type", options->type, "overlay, portrait, sound, backgrounds or 0 to 3")
        ->required()
        ->check(TypeValidator());
    cmd->add_option("--id", options->id, "Entry ID (default: largest ID of the type + 1)")
        ->check(IdValidator());
    cmd->add_option("--name", options->name,
                    "Entry name, at most 16 characters "
                    "(default: the file's name without extension)")
        ->check(NameValidator());
    cmd->add_flag("--replace", options->bReplace, "Replace an entry with the same type and ID");
    AddWriteOptions(*cmd, options->write);
    cmd->callback([options, cmd, &status] {
        options->bNameGiven = cmd->count("--name") > 0;
        status = RunAdd(*options);
    });
}
