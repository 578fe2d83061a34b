#include "archive/EntryText.h"
#include "cli/ArchiveSession.h"
#include "cli/Commands.h"
#include "cli/EntryAddress.h"
#include "cli/EntryReports.h"
#include "cli/ParallelEntries.h"
#include "cli/TerminalProgress.h"
#include "cli/TextOutput.h"
#include "platform/MessageBox.h"
#include "platform/TempFiles.h"
#include "transfer/EntryPacking.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

struct CheckOptions {
    std::string archive;
    unsigned jobs = DefaultJobs();
};

// Entries that could not be unpacked, each reported: their data damaged, or
// too little memory to unpack them.
struct UnpackCounts {
    int damaged = 0;
    int outOfMemory = 0;
};

struct SUnpackResult {
    UnpackStatus status;
    std::uint64_t bytes;
};

// The entries are unpacked on up to jobs threads, and reported in order.
UnpackCounts ReportDamage(const COstrevaneDoc& doc, unsigned jobs) {
    std::vector<const CFileEntry*> entries;
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
        entries.push_back(p);
    UnpackCounts counts;
    CTerminalProgress progress("check", entries.size());
    ForEachInOrder<SUnpackResult>(
        entries.size(), jobs,
        [&entries](std::size_t i) {
            ByteBuffer content;
            const UnpackStatus status = UnpackEntryData(*entries[i], content);
            return SUnpackResult{status, content.size()};
        },
        [&](std::size_t i, const SUnpackResult& result) {
            progress.Advance(result.bytes);
            if (!Unpacked(*entries[i], result.status))
                ++(result.status == UnpackStatus::OutOfMemory ? counts.outOfMemory
                                                              : counts.damaged);
            return true;
        },
        [&entries](std::size_t i) { return EntryWork(*entries[i]); });
    return counts;
}

// Reports each place where the directory disagrees with the data. Straight
// after a load the list is in file order, as the report counts.
void ReportLayout(const COstrevaneDoc& doc) {
    const LayoutReport& layout = doc.GetLayoutReport();
    std::size_t index = 0;
    const CFileEntry* p = doc.m_pHead;
    for (const LayoutReport::Offset& offset : layout.offsets) {
        for (; index < offset.index; ++index)
            p = p->m_pNext;
        MessageBox(nullptr,
                   "Entry " + EntryLabel(*p) + ": its directory gives offset " +
                       std::to_string(offset.stored) + ", but its data is at " +
                       std::to_string(offset.backToBack) + ".",
                   GetAppTitle());
    }
    if (layout.trailingBytes > 0)
        MessageBox(nullptr,
                   std::to_string(layout.trailingBytes) + " bytes follow the " +
                       (doc.m_pHead ? "last entry's data" : "header") + ", outside every entry.",
                   GetAppTitle());
}

// A save interrupted by a power cut or SIGKILL leaves its temporary file;
// it is only mentioned, since another program may be saving right now.
void MentionTemporaryFiles(const std::string& path) {
    std::error_code error;
    const std::filesystem::path archive = std::filesystem::canonical(path, error);
    if (error)
        return;
    const std::string name = archive.filename().string();
    for (const auto& item : std::filesystem::directory_iterator(archive.parent_path(), error)) {
        const std::string itemName = item.path().filename().string();
        if (IsTempFileFor(itemName, name))
            MessageBox(nullptr,
                       "\"" + PrintableName(itemName) +
                           "\" beside the archive was left by an interrupted save; remove it "
                           "once no program is saving this archive.",
                       GetAppTitle());
    }
}

int RunCheck(const CheckOptions& options) {
    COstrevaneDoc doc;
    if (!OpenArchive(doc, options.archive))
        return OSTR_EXIT_FAILURE;
    MentionTemporaryFiles(options.archive);
    const UnpackCounts counts = ReportDamage(doc, options.jobs);
    ReportLayout(doc);
    const int count = doc.CountEntries();
    if (counts.damaged > 0)
        std::printf("%d of %d entries damaged\n", counts.damaged, count);
    if (counts.outOfMemory > 0)
        std::printf("%d of %d entries could not be unpacked for lack of memory\n",
                    counts.outOfMemory, count);
    if (!doc.GetLayoutReport().IsEmpty())
        std::printf("its directory does not match its data\n");
    if (counts.damaged > 0 || counts.outOfMemory > 0 || !doc.GetLayoutReport().IsEmpty())
        return OSTR_EXIT_FAILURE;
    std::printf("%d %s, none damaged\n", count, count == 1 ? "entry" : "entries");
    return OSTR_EXIT_OK;
}

} // namespace

void AddCheckCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<CheckOptions>();
    CLI::App* cmd = app.add_subcommand(
        "check", "Unpack every entry; report damage and a directory that disagrees with the data.");
    cmd->add_option("ARCHIVE", options->archive, "Archive to check")->required();
    AddJobsOption(*cmd, options->jobs);
    cmd->callback([options, &status] { status = RunCheck(*options); });
}
