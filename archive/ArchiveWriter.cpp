#include "archive/ArchiveWriter.h"

#include "archive/OstrevaneDoc.h"
#include "platform/File.h"

#include <cstdint>
#include <limits>

namespace {

constexpr std::uint64_t kLargestOffset = std::numeric_limits<std::int32_t>::max();

void PutLittleEndian(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Where each payload will land must fit the 32-bit offset field.
bool LayoutFits(const COstrevaneDoc& doc, std::int32_t count) {
    std::uint64_t position = 12 + ENTRY_RECORD_SIZE * static_cast<std::uint64_t>(count);
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext) {
        if (position > kLargestOffset)
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
    std::uint8_t header[12] = {'O', 's', 't', 'r'};
    PutLittleEndian(header + 4, 1);
    PutLittleEndian(header + 8, static_cast<std::uint32_t>(count));
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
