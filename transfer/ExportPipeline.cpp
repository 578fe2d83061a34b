#include "transfer/ExportPipeline.h"

#include "platform/File.h"
#include "platform/MessageBox.h"
#include "transfer/DeltaCoding.h"
#include "transfer/EntryPacking.h"

#include <new>

namespace {

void ShowLongStringNotice() {
    MessageBox(nullptr, "NotImplemented", "error", MB_OK);
}

ExportResult Export(const CFileEntry& entry, const std::string& path, void* pOwner,
                    bool bFollowLinks, const ProgressFn& progress) {
    std::vector<std::uint8_t> content;
    switch (UnpackEntryData(entry, content, ShowLongStringNotice, progress)) {
    case UnpackStatus::Ok:
        break;
    case UnpackStatus::Cancelled:
        return ExportResult::Cancelled;
    case UnpackStatus::Damaged:
        MessageBox(pOwner, "That entry's data is damaged", "error", MB_OK);
        return ExportResult::Refused;
    case UnpackStatus::OutOfMemory:
        MessageBox(pOwner, "There is not enough memory to export that entry", "error", MB_OK);
        return ExportResult::Refused;
    }
    CFile file;
    if (!file.OpenForReplace(path, bFollowLinks)) {
        MessageBox(pOwner, "Cannot open that file", "error", MB_OK);
        return ExportResult::Refused;
    }
    if (entry.m_type == ENTRY_SOUND)
        CDeltaDecoder().Decode(content.data(), content.size());
    if (!file.Write(content.data(), content.size()) || !file.Commit()) {
        MessageBox(pOwner, "Cannot write that file", "error", MB_OK);
        return ExportResult::Refused;
    }
    return ExportResult::Exported;
}

} // namespace

ExportResult ExportEntry(const CFileEntry& entry, const std::string& path, void* pOwner,
                         const ProgressFn& progress) {
    return Export(entry, path, pOwner, true, progress);
}

ExportResult ExportEntryNoFollow(const CFileEntry& entry, const std::string& path, void* pOwner) {
    return Export(entry, path, pOwner, false, {});
}
