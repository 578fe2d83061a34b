#include "archive/EntryText.h"
#include "cli/ArchiveSession.h"
#include "cli/Commands.h"
#include "cli/EntryAddress.h"
#include "transfer/ExportPipeline.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>

namespace {

struct ExtractOptions {
    std::string archive;
    std::string entry;
    std::string output;
};

struct ExtractAllOptions {
    std::string archive;
    std::string folder;
};

int RunExtract(const ExtractOptions& options) {
    COstrevaneDoc doc;
    if (!OpenArchive(doc, options.archive))
        return kExitFailure;
    const CFileEntry* pEntry = FindAddressedEntry(doc, options.entry);
    if (!pEntry || ExportEntry(*pEntry, options.output, nullptr) != ExportResult::Exported)
        return kExitFailure;
    return kExitOk;
}

const char* ExtensionFor(std::int32_t type) {
    switch (type) {
    case ENTRY_SOUND:
        return ".wav";
    case ENTRY_VIEWPORT_OVERLAY:
    case ENTRY_PORTRAIT:
    case ENTRY_BACKGROUNDS:
        return ".bmp";
    default:
        return ".bin";
    }
}

// Only letters, digits, '-' and '_' survive, so a name can neither leave the
// folder ("/", "..") nor hide the file.
std::string SafeName(const std::string& name) {
    std::string safe;
    for (const char c : name) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_';
        safe += keep ? c : '_';
    }
    return safe;
}

// type-id[-name][-n].ext; n counts entries that share everything before it.
std::string FileNameFor(const CFileEntry& entry, std::set<std::string>& used) {
    std::string stem = TypeWord(entry.m_type) + "-" + std::to_string(entry.m_id);
    const std::string name = SafeName(EntryDisplayName(entry.m_name));
    if (!name.empty())
        stem += "-" + name;
    std::string fileName = stem + ExtensionFor(entry.m_type);
    for (int n = 2; !used.insert(fileName).second; ++n)
        fileName = stem + "-" + std::to_string(n) + ExtensionFor(entry.m_type);
    return fileName;
}

int RunExtractAll(const ExtractAllOptions& options) {
    COstrevaneDoc doc;
    if (!OpenArchive(doc, options.archive))
        return kExitFailure;
    std::error_code error;
    std::filesystem::create_directories(options.folder, error);
    std::set<std::string> used;
    int status = kExitOk;
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext) {
        const std::string path =
            (std::filesystem::path(options.folder) / FileNameFor(*p, used)).string();
        if (ExportEntryNoFollow(*p, path, nullptr) == ExportResult::Exported)
            std::printf("%s\n", path.c_str());
        else
            status = kExitFailure;
    }
    return status;
}

} // namespace

void AddExtractCommands(CLI::App& app, int& status) {
    auto one = std::make_shared<ExtractOptions>();
    CLI::App* cmd = app.add_subcommand("extract", "Export one entry to a file.");
    cmd->add_option("ARCHIVE", one->archive, "Archive to read")->required();
    cmd->add_option("ENTRY", one->entry, "The entry, as TYPE:ID")
        ->required()
        ->check(EntryValidator());
    cmd->add_option("-o,--output", one->output, "File to write")->required();
    cmd->callback([one, &status] { status = RunExtract(*one); });

    auto all = std::make_shared<ExtractAllOptions>();
    cmd = app.add_subcommand("extract-all", "Export every entry into a folder, one file each.");
    cmd->add_option("ARCHIVE", all->archive, "Archive to read")->required();
    cmd->add_option("-d,--directory", all->folder, "Folder to write into (made if missing)")
        ->required();
    cmd->callback([all, &status] { status = RunExtractAll(*all); });
}
