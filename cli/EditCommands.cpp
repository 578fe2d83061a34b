#include "archive/EntryRules.h"
#include "cli/ArchiveSession.h"
#include "cli/Commands.h"
#include "cli/EntryAddress.h"
#include "cli/TextOutput.h"
#include "platform/MessageBox.h"
#include "platform/NumberText.h"

#include <memory>

namespace {

struct RemoveOptions {
    std::string archive;
    std::string entry;
    WriteOptions write;
};

struct SetOptions {
    std::string archive;
    std::string entry;
    std::string type;
    std::string id;
    std::string name;
    bool bNameGiven = false;
    bool bReplace = false;
    WriteOptions write;
};

int RunRemove(const RemoveOptions& options) {
    return ChangeArchive(options.archive, options.write, [&](COstrevaneDoc& doc) {
        CFileEntry* pEntry = FindAddressedEntry(doc, options.entry);
        if (pEntry)
            doc.RemoveEntry(pEntry);
        return pEntry != nullptr;
    });
}

// The change the Edit File Entry dialog makes: what is not given stays.
CFileEntry MakeTemplate(const SetOptions& options) {
    CFileEntry tmpl;
    if (!options.type.empty())
        tmpl.m_type = *ParseType(options.type);
    if (!options.id.empty())
        tmpl.m_id = static_cast<std::int32_t>(*ParseUnsigned32(options.id));
    if (options.bNameGiven)
        tmpl.m_name = MakeEntryName(*Utf8ToLatin1(options.name));
    return tmpl;
}

// The template's 4294967295 (-1) means "leave the ID", so that ID cannot be
// given: refused rather than reported as done while nothing changes.
bool CheckSettableId(const SetOptions& options) {
    if (options.id.empty() ||
        *ParseUnsigned32(options.id) != static_cast<std::uint32_t>(ENTRY_ID_NONE))
        return true;
    MessageBox(nullptr,
               "The ID 4294967295 cannot be set: it stands for \"no ID\" (use 0 to 4294967294).",
               GetAppTitle());
    return false;
}

int RunSet(const SetOptions& options) {
    if (options.type.empty() && options.id.empty() && !options.bNameGiven) {
        MessageBox(nullptr, "Nothing to change: give --type, --id or --name.", GetAppTitle());
        return OSTR_EXIT_USAGE;
    }
    if (!CheckSettableId(options))
        return OSTR_EXIT_FAILURE;
    CQuestionAnswerer answerer(options.bReplace);
    return ChangeArchive(options.archive, options.write, [&](COstrevaneDoc& doc) {
        CFileEntry* pEntry = FindAddressedEntry(doc, options.entry);
        if (!pEntry)
            return false;
        const CFileEntry tmpl = MakeTemplate(options);
        if (!ResolveDuplicate(doc, pEntry, tmpl, nullptr))
            return false;
        doc.ModifyEntry(pEntry, tmpl); // the node-keeping sort keeps pEntry this entry
        return true;
    });
}

} // namespace

void AddEditCommands(CLI::App& app, int& status) {
    auto remove = std::make_shared<RemoveOptions>();
    CLI::App* cmd = app.add_subcommand("remove", "Delete an entry.");
    cmd->add_option("ARCHIVE", remove->archive, "Archive to change")->required();
    cmd->add_option("ENTRY", remove->entry, "The entry, as TYPE:ID")
        ->required()
        ->check(EntryValidator());
    AddWriteOptions(*cmd, remove->write);
    cmd->callback([remove, &status] { status = RunRemove(*remove); });

    auto set = std::make_shared<SetOptions>();
    cmd = app.add_subcommand("set", "Change an entry's type, ID or name.");
    cmd->add_option("ARCHIVE", set->archive, "Archive to change")->required();
    cmd->add_option("ENTRY", set->entry, "The entry, as TYPE:ID")
        ->required()
        ->check(EntryValidator());
    cmd->add_option("-t,--type", set->type,
                    "New type: overlay, portrait, sound, backgrounds or 0 to 3")
        ->check(TypeValidator());
    cmd->add_option("--id", set->id, "New ID, 0 to 4294967294")->check(IdValidator());
    cmd->add_option("--name", set->name, "New name, at most 16 characters")->check(NameValidator());
    cmd->add_flag("--replace", set->bReplace, "Delete another entry that has the new type and ID");
    AddWriteOptions(*cmd, set->write);
    cmd->callback([set, cmd, &status] {
        set->bNameGiven = cmd->count("--name") > 0;
        status = RunSet(*set);
    });
}
