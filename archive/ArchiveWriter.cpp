#include "archive/ArchiveWriter.h"

#include "archive/ArchiveFormat.h"
#include "archive/OstrevaneDoc.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"

#include <algorithm>
#include <cstdint>

namespace {

// Where each payload will land must fit the 32-bit offset field.
bool LayoutFits(const COstrevaneDoc& doc, std::int32_t count) {
    std::uint64_t position = DataStart(static_cast<std::uint64_t>(count));
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext) {
        if (position > LARGEST_OFFSET)
            return false;
        position += p->m_data.size();
    }
    return true;
}

} // namespace

WriteOutcome WriteArchive(CFile& file, const COstrevaneDoc& doc) {
    const std::int32_t count = doc.CountEntries();
    if (!LayoutFits(doc, count))
        return {WriteStatus::TooLarge,
                "The archive would pass 2 GiB, and its file offsets cannot reach that far."};
    std::uint8_t header[ARCHIVE_HEADER_SIZE];
    std::copy(ARCHIVE_MAGIC.begin(), ARCHIVE_MAGIC.end(), header);
    WriteLittleEndianInt32(header + ARCHIVE_VERSION_AT, ARCHIVE_VERSION);
    WriteLittleEndianInt32(header + ARCHIVE_COUNT_AT, count);
    file.Write(header, sizeof header);
    std::uint8_t record[ENTRY_RECORD_SIZE];
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext) {
        EncodeRecord(p->Record(), record);
        file.Write(record, sizeof record);
    }
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
        file.Write(p->m_data.data(), p->m_data.size());
    return {file.HasFailed() ? WriteStatus::WriteFailed : WriteStatus::Ok, {}};
}
