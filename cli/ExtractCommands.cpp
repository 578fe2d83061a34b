#include "archive/EntryText.h"
#include "cli/ArchiveSession.h"
#include "cli/Commands.h"
#include "cli/EntryAddress.h"
#include "cli/EntryReports.h"
#include "cli/FileWriters.h"
#include "cli/ParallelEntries.h"
#include "cli/TerminalProgress.h"
#include "cli/TextOutput.h"
#include "platform/FileIdentity.h"
#include "platform/MessageBox.h"
#include "transfer/ExportFileNames.h"
#include "transfer/ExportPipeline.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

struct ExtractOptions {
    std::string archive;
    std::string entry;
    std::string output;
};

struct ExtractAllOptions {
    std::string archive;
    std::string folder;
    unsigned jobs = DefaultJobs();
};

int RunExtract(const ExtractOptions& options) {
    COstrevaneDoc doc;
    if (!OpenArchive(doc, options.archive))
        return OSTR_EXIT_FAILURE;
    const CFileEntry* pEntry = FindAddressedEntry(doc, options.entry);
    if (!pEntry)
        return OSTR_EXIT_FAILURE;
    if (IdentityOfPath(options.output).IsSameFile(IdentityOfPath(options.archive))) {
        Report("Cannot write " + options.output + ": it is the archive being read.");
        return OSTR_EXIT_FAILURE;
    }
    return ExportEntry(*pEntry, options.output, nullptr) == ExportResult::Exported
               ? OSTR_EXIT_OK
               : OSTR_EXIT_FAILURE;
}

bool MakeFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!error)
        return true;
    Report("Cannot create " + folder + ": " + error.message() + ".");
    return false;
}

// Words an export's failure as extract-all says it.
std::string ProblemText(const ExportOutcome& outcome, const std::string& path) {
    switch (outcome.failure) {
    case ExportFailure::None:
        return {};
    case ExportFailure::OutOfMemory:
        return "there is not enough memory to unpack it.";
    case ExportFailure::CannotOpen:
    case ExportFailure::CannotWrite:
        return "Cannot write " + path + ": " + outcome.strErrorText;
    case ExportFailure::Cancelled: // never: there is no progress callback to cancel
    case ExportFailure::Damaged:
        break;
    }
    return "its data is damaged.";
}

// Why an entry could not be unpacked, or its file being written.
struct SExtracted {
    std::string problem;
    std::future<std::string> written;
};

SExtracted UnpackEntry(const CFileEntry& entry, const std::string& path,
                       const FileIdentity& archive, CFileWriters& writers) {
    if (std::string problem = ArchiveItselfProblem(path, archive); !problem.empty())
        return {problem, {}};
    auto pContent = std::make_shared<ByteBuffer>();
    const ExportOutcome outcome = UnpackForExport(entry, *pContent);
    if (!outcome.Succeeded())
        return {ProblemText(outcome, path), {}};
    return {{}, writers.Run([pContent, path] {
                return ProblemText(WriteExport(*pContent, path, false), path);
            })};
}

// Reports how writing the entry to path went: the path, or why not.
bool ReportExtracted(const CFileEntry& entry, const std::string& path, const std::string& problem) {
    if (problem.empty()) {
        ClearProgressLine();
        std::printf("%s\n", path.c_str());
        return true;
    }
    Report(EntryLabel(entry) + ": " + problem);
    return false;
}

// The entries are unpacked on up to jobs threads, and each file written by
// the writing threads while the jobs go on; they are reported in order.
int RunExtractAll(const ExtractAllOptions& options) {
    COstrevaneDoc doc;
    if (!OpenArchive(doc, options.archive) || !MakeFolder(options.folder))
        return OSTR_EXIT_FAILURE;
    const FileIdentity archive = IdentityOfPath(options.archive);
    const std::filesystem::path folder(options.folder);
    CExportFileNames names;
    std::vector<const CFileEntry*> entries;
    std::vector<std::string> paths;
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext) {
        entries.push_back(p);
        paths.push_back((folder / names.NameFor(*p)).string());
    }
    int status = OSTR_EXIT_OK;
    CTerminalProgress progress("extract-all", entries.size());
    CFileWriters writers(FileWritersFor(options.jobs));
    ForEachInOrder<SExtracted>(
        entries.size(), options.jobs,
        [&](std::size_t i) { return UnpackEntry(*entries[i], paths[i], archive, writers); },
        [&](std::size_t i, SExtracted& extracted) {
            if (extracted.written.valid())
                extracted.problem = extracted.written.get();
            if (!ReportExtracted(*entries[i], paths[i], extracted.problem))
                status = OSTR_EXIT_FAILURE;
            progress.Advance(static_cast<std::uint64_t>(std::max(entries[i]->m_size, 0)));
            return true;
        },
        [&entries](std::size_t i) { return EntryWork(*entries[i]); });
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
    AddJobsOption(*cmd, all->jobs);
    cmd->callback([all, &status] { status = RunExtractAll(*all); });
}
