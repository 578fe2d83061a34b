#include "transfer/ExportPipeline.h"

#include "platform/File.h"
#include "platform/MessageBox.h"
#include "transfer/DeltaCoding.h"
#include "transfer/EntryPacking.h"

#include <algorithm>
#include <new>
#include <vector>

namespace {

// The unpacker calls a plain function for every long string, hundreds of
// times for one picture of a single colour; the user needs to hear it once
// per export. Per thread, because entries may be unpacked in parallel.
thread_local bool t_bNoticeShown = false;

void ShowLongStringNotice() {
    if (t_bNoticeShown)
        return;
    t_bNoticeShown = true;
    MessageBox(nullptr, "NotImplemented", "error", MB_OK);
}

ExportFailure FailureOf(UnpackStatus status) {
    switch (status) {
    case UnpackStatus::Ok:
        return ExportFailure::None;
    case UnpackStatus::Cancelled:
        return ExportFailure::Cancelled;
    case UnpackStatus::OutOfMemory:
        return ExportFailure::OutOfMemory;
    case UnpackStatus::Damaged:
        break;
    }
    return ExportFailure::Damaged;
}

ExportOutcome FileFailure(ExportFailure failure, const CFile& file) {
    return {failure, file.GetError(), file.GetErrorText()};
}

// Writes the content into a temporary file beside path, left for the caller
// to commit.
ExportOutcome WriteContent(const CFileEntry& entry, ByteBuffer& content, const std::string& path,
                           bool bFollowLinks, CFile& file) {
    if (!file.OpenForReplace(path, bFollowLinks))
        return FileFailure(ExportFailure::CannotOpen, file);
    if (entry.m_type == ENTRY_SOUND)
        CDeltaDecoder().Decode(content.data(), content.size());
    if (!file.Write(content.data(), content.size()))
        return FileFailure(ExportFailure::CannotWrite, file);
    return {};
}

const char* OpenFailureText(int nFileError) {
    switch (nFileError) {
    case FILE_ERROR_NOT_REGULAR:
        return "That is not a regular file";
    case FILE_ERROR_LINK_REFUSED:
        return "That file is a link we will not follow";
    default:
        return "Cannot open that file";
    }
}

const char* FailureText(const ExportOutcome& outcome) {
    switch (outcome.failure) {
    case ExportFailure::OutOfMemory:
        return "There is not enough memory to unpack that entry";
    case ExportFailure::CannotOpen:
        return OpenFailureText(outcome.nFileError);
    case ExportFailure::CannotWrite:
        return "Cannot write that file";
    case ExportFailure::Damaged:
    default:
        return "That entry's data is damaged";
    }
}

ExportResult ExportShowingFailure(const CFileEntry& entry, const std::string& path, void* pOwner,
                                  bool bFollowLinks, const ProgressFn& progress) {
    const ExportOutcome outcome = ExportEntryQuietly(entry, path, bFollowLinks, progress);
    if (outcome.Succeeded())
        return ExportResult::Exported;
    if (outcome.failure == ExportFailure::Cancelled)
        return ExportResult::Cancelled;
    MessageBox(pOwner, FailureText(outcome), "error", MB_OK);
    return ExportResult::Refused;
}

} // namespace

ExportOutcome ExportEntryUncommitted(const CFileEntry& entry, const std::string& path,
                                     bool bFollowLinks, std::unique_ptr<CFile>& pWritten,
                                     const ProgressFn& progress) {
    t_bNoticeShown = false;
    pWritten.reset();
    try {
        ByteBuffer content;
        const ExportFailure failure =
            FailureOf(UnpackEntryData(entry, content, ShowLongStringNotice, progress));
        if (failure != ExportFailure::None)
            return {failure, 0, {}};
        auto pFile = std::make_unique<CFile>();
        const ExportOutcome outcome = WriteContent(entry, content, path, bFollowLinks, *pFile);
        if (outcome.Succeeded())
            pWritten = std::move(pFile);
        return outcome;
    } catch (const std::bad_alloc&) {
        // The file, if opened, was abandoned on the way out.
        return {ExportFailure::OutOfMemory, 0, {}};
    }
}

ExportOutcome CommitExport(CFile& file) {
    return file.Commit() ? ExportOutcome{} : FileFailure(ExportFailure::CannotWrite, file);
}

ExportOutcome ExportEntryQuietly(const CFileEntry& entry, const std::string& path,
                                 bool bFollowLinks, const ProgressFn& progress) {
    std::unique_ptr<CFile> pWritten;
    const ExportOutcome outcome =
        ExportEntryUncommitted(entry, path, bFollowLinks, pWritten, progress);
    return pWritten ? CommitExport(*pWritten) : outcome;
}

UnpackStatus UnpackContent(const CFileEntry& entry, ByteBuffer& out, const ProgressFn& progress) {
    const UnpackStatus status = UnpackEntryData(entry, out, nullptr, progress);
    if (status == UnpackStatus::Ok && entry.m_type == ENTRY_SOUND)
        CDeltaDecoder().Decode(out.data(), out.size());
    return status;
}

bool ContentStartsWith(const CFileEntry& entry, std::string_view prefix) {
    if (entry.m_size < 0 || static_cast<std::size_t>(entry.m_size) < prefix.size())
        return false;
    std::vector<std::uint8_t> start(prefix.size());
    CUnpacker unpacker(std::span(entry.m_data.data(), entry.m_data.size()));
    return unpacker.Read(start.data(), static_cast<std::int32_t>(start.size())) ==
               CUnpacker::Status::Ok &&
           std::equal(start.begin(), start.end(), prefix.begin(), prefix.end(),
                      [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
}

ExportResult ExportEntry(const CFileEntry& entry, const std::string& path, void* pOwner,
                         const ProgressFn& progress) {
    return ExportShowingFailure(entry, path, pOwner, true, progress);
}

ExportResult ExportEntryNoFollow(const CFileEntry& entry, const std::string& path, void* pOwner) {
    return ExportShowingFailure(entry, path, pOwner, false, {});
}
