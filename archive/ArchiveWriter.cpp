#include "archive/ArchiveWriter.h"

#include "archive/ArchiveFormat.h"
#include "archive/OstrevaneDoc.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

const char* const TOO_LARGE =
    "The archive would pass 2 GiB, and its file offsets cannot reach that far.";

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

void WriteHeader(CFile& file, std::int32_t count, std::int32_t version) {
    std::uint8_t header[ARCHIVE_HEADER_SIZE];
    std::copy(ARCHIVE_MAGIC.begin(), ARCHIVE_MAGIC.end(), header);
    WriteLittleEndianInt32(header + ARCHIVE_VERSION_AT, version);
    WriteLittleEndianInt32(header + ARCHIVE_COUNT_AT, count);
    file.Write(header, sizeof header);
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
        return {WriteStatus::TooLarge, TOO_LARGE};
    WriteHeader(file, count, version);
    std::uint8_t record[ENTRY_RECORD_SIZE];
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext) {
        EncodeRecord(p->Record(), record);
        file.Write(record, sizeof record);
    }
    if (!WritePayloads(file, doc, progress))
        return {WriteStatus::Cancelled, {}};
    return {file.HasFailed() ? WriteStatus::WriteFailed : WriteStatus::Ok, {}};
}

CArchiveStreamWriter::CArchiveStreamWriter(CFile& file, std::int32_t count, std::int32_t version)
    : m_file(file), m_position(DataStart(static_cast<std::uint64_t>(std::max(count, 0)))),
      m_expected(static_cast<std::size_t>(std::max(count, 0))) {
    m_records.reserve(m_expected);
    WriteHeader(file, count, version);
    const std::vector<std::uint8_t> blank(ENTRY_RECORD_SIZE * m_expected);
    file.Write(blank.data(), blank.size());
}

WriteOutcome CArchiveStreamWriter::Add(const CFileEntry& entry) {
    if (m_outcome.status != WriteStatus::Ok)
        return m_outcome;
    if (m_position > LARGEST_OFFSET)
        return m_outcome = {WriteStatus::TooLarge, TOO_LARGE};
    m_records.push_back(entry.Record());
    m_records.back().m_offset = static_cast<std::int32_t>(m_position);
    m_file.Write(entry.m_data.data(), entry.m_data.size());
    m_position += entry.m_data.size();
    if (m_file.HasFailed())
        m_outcome = {WriteStatus::WriteFailed, {}};
    return m_outcome;
}

WriteOutcome CArchiveStreamWriter::Finish() {
    if (m_outcome.status != WriteStatus::Ok)
        return m_outcome;
    std::vector<std::uint8_t> directory(ENTRY_RECORD_SIZE * m_records.size());
    for (std::size_t i = 0; i < m_records.size(); ++i)
        EncodeRecord(m_records[i], directory.data() + ENTRY_RECORD_SIZE * i);
    if (m_records.size() != m_expected ||
        !m_file.WriteAt(ARCHIVE_HEADER_SIZE, directory.data(), directory.size()))
        m_outcome = {WriteStatus::WriteFailed, {}};
    return m_outcome;
}
