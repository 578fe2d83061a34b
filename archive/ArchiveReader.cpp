#include "archive/ArchiveReader.h"

#include "archive/ArchiveFormat.h"
#include "platform/ByteOrder.h"
#include "platform/File.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace {

ReadOutcome Failure(CFile& file, std::string detail) {
    if (file.HasFailed())
        return {ReadStatus::ReadFailed, {}, nullptr, {}};
    return {ReadStatus::Damaged, std::move(detail), nullptr, {}};
}

// "3 of 5": which entry a message speaks of.
std::string Position(std::size_t index, std::size_t count) {
    return std::to_string(index + 1) + " of " + std::to_string(count);
}

// Bytes of the file after the header, as its length was when opened.
std::uint64_t BytesAfterHeader(const CFile& file) {
    return file.GetLength() > ARCHIVE_HEADER_SIZE ? file.GetLength() - ARCHIVE_HEADER_SIZE : 0;
}

// The entries read so far, linked in file order; deleted with the chain
// unless taken.
class CEntryChain {
public:
    CEntryChain() = default;
    CEntryChain(const CEntryChain&) = delete;
    CEntryChain& operator=(const CEntryChain&) = delete;
    ~CEntryChain() { DeleteEntryChain(m_pFirst); }
    // Takes the entries linked from pFirst on; the chain must be empty.
    void Adopt(CFileEntry* pFirst) { m_pFirst = pFirst; }
    CFileEntry* First() const { return m_pFirst; }
    CFileEntry* Take() { return std::exchange(m_pFirst, nullptr); }

private:
    CFileEntry* m_pFirst = nullptr;
};

// Records are read a block at a time, so the directory is never held whole
// beside the entries made from it.
constexpr std::size_t RECORDS_PER_BLOCK = 1024;

ReadOutcome ReadDirectory(CFile& file, std::int32_t count, CEntryChain& chain) {
    const auto n = static_cast<std::uint64_t>(count);
    if (n * ENTRY_RECORD_SIZE > BytesAfterHeader(file))
        return Failure(file, "Its directory of " + std::to_string(n) +
                                 " entries does not fit in the file.");
    std::vector<std::uint8_t> block(std::min<std::uint64_t>(n, RECORDS_PER_BLOCK) *
                                    ENTRY_RECORD_SIZE);
    CFileEntry* pEntry = CFileEntry::NewBlock(n);
    chain.Adopt(pEntry);
    for (std::uint64_t done = 0; done < n;) {
        const std::uint64_t records = std::min<std::uint64_t>(n - done, RECORDS_PER_BLOCK);
        if (file.Read(block.data(), records * ENTRY_RECORD_SIZE) != records * ENTRY_RECORD_SIZE)
            return Failure(file, "The file ends inside its directory.");
        for (std::uint64_t i = 0; i < records; ++i, ++pEntry)
            pEntry->Record() = DecodeRecord(block.data() + i * ENTRY_RECORD_SIZE);
        done += records;
    }
    return {};
}

// Checks every record's packed size against what the file holds, notes
// where the directory disagrees with the back-to-back layout the data is
// read in, and returns the bytes of data in all (through total).
ReadOutcome MeasurePayloads(CFile& file, std::size_t n, const CEntryChain& chain,
                            LayoutReport& layout, std::uint64_t& total) {
    const std::uint64_t available = BytesAfterHeader(file) - n * ENTRY_RECORD_SIZE;
    total = 0;
    std::size_t i = 0;
    for (const CFileEntry* pEntry = chain.First(); pEntry; pEntry = pEntry->m_pNext, ++i) {
        const std::uint64_t position = DataStart(n) + total;
        if (static_cast<std::int64_t>(pEntry->m_offset) != static_cast<std::int64_t>(position))
            layout.offsets.push_back({i, pEntry->m_offset, position});
        if (pEntry->m_packedSize < 0)
            return Failure(file, "Entry " + Position(i, n) + " has a negative packed size (" +
                                     std::to_string(pEntry->m_packedSize) + ").");
        const auto size = static_cast<std::uint64_t>(pEntry->m_packedSize);
        if (size > available - total)
            return Failure(file, "The data of entry " + Position(i, n) +
                                     " runs past the end of the file.");
        total += size;
    }
    layout.trailingBytes = available - total;
    return {};
}

// Which entry's data the byte at offset (from the start of the data) lies in.
std::size_t EntryHolding(const CEntryChain& chain, std::uint64_t offset) {
    std::size_t i = 0;
    std::uint64_t end = 0;
    for (const CFileEntry* p = chain.First(); p; p = p->m_pNext, ++i) {
        end += static_cast<std::uint64_t>(p->m_packedSize);
        if (offset < end)
            return i;
    }
    return i;
}

// Reads size bytes into pBytes, in steps when someone watches; returns the
// bytes read, or nullopt when the watcher cancelled.
std::optional<std::size_t> ReadWatched(CFile& file, std::uint8_t* pBytes, std::size_t size,
                                       const ProgressFn& progress) {
    if (!progress)
        return file.Read(pBytes, size);
    constexpr std::size_t STEP = 4 * PROGRESS_STEP;
    std::size_t done = 0;
    while (done < size) {
        const std::size_t want = std::min(STEP, size - done);
        const std::size_t got = file.Read(pBytes + done, want);
        done += got;
        if (got != want)
            break;
        if (!progress(done, size))
            return std::nullopt;
    }
    return done;
}

// Payloads follow the directory back to back; the stored offsets are kept
// for display but not used to find the data. They are read in one go into
// one block, which the entries share.
ReadOutcome ReadPayloads(CFile& file, std::int32_t count, const CEntryChain& chain,
                         LayoutReport& layout, const ProgressFn& progress) {
    const auto n = static_cast<std::size_t>(count);
    std::uint64_t total = 0;
    if (ReadOutcome failed = MeasurePayloads(file, n, chain, layout, total);
        failed.status != ReadStatus::Ok)
        return failed;
    std::uint8_t* pBytes = nullptr;
    const PackedData block = PackedData::Allocate(static_cast<std::size_t>(total), &pBytes);
    const std::optional<std::size_t> read =
        ReadWatched(file, pBytes, static_cast<std::size_t>(total), progress);
    if (!read)
        return {ReadStatus::Cancelled, {}, nullptr, {}};
    const std::size_t got = *read;
    if (got != total)
        return Failure(file, "The file ends inside the data of entry " +
                                 Position(EntryHolding(chain, got), n) + ".");
    std::size_t offset = 0;
    for (CFileEntry* p = chain.First(); p; p = p->m_pNext) {
        const auto size = static_cast<std::size_t>(p->m_packedSize);
        p->m_data = block.Slice(offset, size);
        offset += size;
    }
    return {};
}

} // namespace

ReadOutcome ReadArchive(CFile& file, const ProgressFn& progress) {
    constexpr std::size_t MAGIC_SIZE = ARCHIVE_MAGIC.size();
    std::uint8_t header[ARCHIVE_HEADER_SIZE];
    const std::size_t got = file.Read(header, MAGIC_SIZE);
    if (got < MAGIC_SIZE || std::memcmp(header, ARCHIVE_MAGIC.data(), MAGIC_SIZE) != 0)
        return file.HasFailed() ? ReadOutcome{ReadStatus::ReadFailed, {}, nullptr, {}}
                                : ReadOutcome{ReadStatus::WrongMagic, {}, nullptr, {}};
    if (file.Read(header + MAGIC_SIZE, sizeof header - MAGIC_SIZE) != sizeof header - MAGIC_SIZE)
        return Failure(file, "The file ends inside its header.");
    // The version is accepted whatever it holds.
    const std::int32_t count = ReadLittleEndianInt32(header + ARCHIVE_COUNT_AT);
    // The writer never writes a negative count: such a file is damaged.
    if (count < 0)
        return Failure(file, "Its directory has a negative number of entries (" +
                                 std::to_string(count) + ").");
    ReadOutcome outcome;
    if (count == 0) {
        outcome.layout.trailingBytes = BytesAfterHeader(file);
        return outcome;
    }
    CEntryChain chain;
    if (ReadOutcome failed = ReadDirectory(file, count, chain); failed.status != ReadStatus::Ok)
        return failed;
    if (ReadOutcome failed = ReadPayloads(file, count, chain, outcome.layout, progress);
        failed.status != ReadStatus::Ok)
        return failed;
    outcome.pFirst = chain.Take();
    return outcome;
}
