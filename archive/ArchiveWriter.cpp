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

// Writes every payload, in steps when someone watches; false when the
// watcher cancelled.
bool WritePayloads(CFile& file, const COstrevaneDoc& doc, const ProgressFn& progress) {
    if (!progress) {
        for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
            file.Write(p->m_data.data(), p->m_data.size());
        return true;
    }
    std::uint64_t total = 0;
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
        total += p->m_data.size();
    constexpr std::size_t STEP = 4 * PROGRESS_STEP;
    std::uint64_t done = 0, reported = 0;
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext) {
        for (std::size_t at = 0; at < p->m_data.size();) {
            const std::size_t n = std::min(STEP, p->m_data.size() - at);
            file.Write(p->m_data.data() + at, n);
            at += n;
            done += n;
            if (done - reported >= STEP && !progress(reported = done, total))
                return false;
        }
    }
    return progress(total, total);
}

} // namespace

WriteOutcome WriteArchive(CFile& file, const COstrevaneDoc& doc, const ProgressFn& progress,
                          std::int32_t version) {
    const std::int32_t count = doc.CountEntries();
    if (!LayoutFits(doc, count))
        return {WriteStatus::TooLarge,
                "The archive would pass 2 GiB, and its file offsets cannot reach that far."};
    std::uint8_t header[ARCHIVE_HEADER_SIZE];
    std::copy(ARCHIVE_MAGIC.begin(), ARCHIVE_MAGIC.end(), header);
    WriteLittleEndianInt32(header + ARCHIVE_VERSION_AT, version);
    WriteLittleEndianInt32(header + ARCHIVE_COUNT_AT, count);
    file.Write(header, sizeof header);
    std::uint8_t record[ENTRY_RECORD_SIZE];
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext) {
        EncodeRecord(p->Record(), record);
        file.Write(record, sizeof record);
    }
    if (!WritePayloads(file, doc, progress))
        return {WriteStatus::Cancelled, {}};
    return {file.HasFailed() ? WriteStatus::WriteFailed : WriteStatus::Ok, {}};
}
