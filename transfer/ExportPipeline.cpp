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

ExportOutcome UnpackForExport(const CFileEntry& entry, ByteBuffer& content,
                              const ProgressFn& progress) {
    t_bNoticeShown = false;
    try {
        const ExportFailure failure =
            FailureOf(UnpackEntryData(entry, content, ShowLongStringNotice, progress));
        if (failure != ExportFailure::None)
            return {failure, 0, {}};
        if (entry.m_type == ENTRY_SOUND)
            CDeltaDecoder().Decode(content.data(), content.size());
        return {};
    } catch (const std::bad_alloc&) {
        return {ExportFailure::OutOfMemory, 0, {}};
    }
}

ExportOutcome WriteExport(const ByteBuffer& content, const std::string& path, bool bFollowLinks) {
    try {
        CFile file;
        if (!file.OpenForReplace(path, bFollowLinks))
            return FileFailure(ExportFailure::CannotOpen, file);
        if (!file.Write(content.data(), content.size()) || !file.Commit())
            return FileFailure(ExportFailure::CannotWrite, file);
        return {};
    } catch (const std::bad_alloc&) {
        // The file, if opened, was abandoned on the way out.
        return {ExportFailure::OutOfMemory, 0, {}};
    }
}

ExportOutcome ExportEntryQuietly(const CFileEntry& entry, const std::string& path,
                                 bool bFollowLinks, const ProgressFn& progress) {
    ByteBuffer content;
    const ExportOutcome outcome = UnpackForExport(entry, content, progress);
    return outcome.Succeeded() ? WriteExport(content, path, bFollowLinks) : outcome;
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
