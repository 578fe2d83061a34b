#include "archive/ArchiveReader.h"

#include "platform/File.h"

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr char kMagic[4] = {'O', 's', 't', 'r'};
constexpr std::uint64_t kHeaderSize = 12;

using EntryVector = std::vector<std::unique_ptr<CFileEntry>>;

std::int32_t LittleEndianInt32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}

ReadOutcome Failure(CFile& file, std::string detail) {
    if (file.HasFailed())
        return {ReadStatus::ReadFailed, {}, nullptr};
    return {ReadStatus::Damaged, std::move(detail), nullptr};
}

// "3 of 5": which entry a message speaks of.
std::string Position(std::size_t index, std::size_t count) {
    return std::to_string(index + 1) + " of " + std::to_string(count);
}

// Bytes of the file after the header, as its length was when opened.
std::uint64_t BytesAfterHeader(const CFile& file) {
    return file.GetLength() > kHeaderSize ? file.GetLength() - kHeaderSize : 0;
}

ReadOutcome ReadDirectory(CFile& file, std::int32_t count, EntryVector& entries) {
    const auto n = static_cast<std::uint64_t>(count);
    if (n * ENTRY_RECORD_SIZE > BytesAfterHeader(file))
        return Failure(file, "Its directory of " + std::to_string(n) +
                                 " entries does not fit in the file.");
    std::vector<std::uint8_t> directory(n * ENTRY_RECORD_SIZE);
    if (file.Read(directory.data(), directory.size()) != directory.size())
        return Failure(file, "The file ends inside its directory.");
    entries.reserve(n);
    for (std::uint64_t i = 0; i < n; ++i) {
        auto pEntry = std::make_unique<CFileEntry>();
        pEntry->Record() = DecodeRecord(directory.data() + i * ENTRY_RECORD_SIZE);
        entries.push_back(std::move(pEntry));
    }
    return {};
}

// Payloads follow the directory back to back; the stored offsets are kept
// for display but not used to find the data.
ReadOutcome ReadPayloads(CFile& file, EntryVector& entries) {
    std::uint64_t remaining = BytesAfterHeader(file) - entries.size() * ENTRY_RECORD_SIZE;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        CFileEntry& entry = *entries[i];
        if (entry.m_packedSize < 0)
            return Failure(file, "Entry " + Position(i, entries.size()) +
                                     " has a negative packed size (" +
                                     std::to_string(entry.m_packedSize) + ").");
        const auto size = static_cast<std::uint64_t>(entry.m_packedSize);
        if (size > remaining)
            return Failure(file, "The data of entry " + Position(i, entries.size()) +
                                     " runs past the end of the file.");
        entry.m_data.resize(size);
        if (file.Read(entry.m_data.data(), size) != size)
            return Failure(file, "The file ends inside the data of entry " +
                                     Position(i, entries.size()) + ".");
        remaining -= size;
    }
    return {};
}

CFileEntry* Chain(EntryVector& entries) {
    CFileEntry* pFirst = entries.empty() ? nullptr : entries.front().get();
    CFileEntry* pPrev = nullptr;
    for (auto& pEntry : entries) {
        pEntry->m_pPrev = pPrev;
        if (pPrev)
            pPrev->m_pNext = pEntry.get();
        pPrev = pEntry.release();
    }
    return pFirst;
}

} // namespace

ReadOutcome ReadArchive(CFile& file) {
    std::uint8_t header[kHeaderSize];
    const std::size_t got = file.Read(header, 4);
    if (got < 4 || std::memcmp(header, kMagic, 4) != 0)
        return file.HasFailed() ? ReadOutcome{ReadStatus::ReadFailed, {}, nullptr}
                                : ReadOutcome{ReadStatus::WrongMagic, {}, nullptr};
    if (file.Read(header + 4, 8) != 8)
        return Failure(file, "The file ends inside its header.");
    // The version at offset 4 is accepted whatever it holds.
    const std::int32_t count = LittleEndianInt32(header + 8);
    // The writer never writes a negative count: such a file is damaged.
    if (count < 0)
        return Failure(file, "Its directory has a negative number of entries (" +
                                 std::to_string(count) + ").");
    if (count == 0)
        return {};
    EntryVector entries;
    if (ReadOutcome outcome = ReadDirectory(file, count, entries); outcome.status != ReadStatus::Ok)
        return outcome;
    if (ReadOutcome outcome = ReadPayloads(file, entries); outcome.status != ReadStatus::Ok)
        return outcome;
    ReadOutcome outcome;
    outcome.pFirst = Chain(entries);
    return outcome;
}
