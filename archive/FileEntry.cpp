#include "archive/FileEntry.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

void PutInt32(std::uint8_t* pOut, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        pOut[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

std::int32_t GetInt32(const std::uint8_t* pIn) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<std::uint32_t>(pIn[i]) << (8 * i);
    return static_cast<std::int32_t>(bits);
}

} // namespace

void EncodeRecord(const CEntryRecord& record, std::uint8_t* pOut) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(pOut, &record, ENTRY_RECORD_SIZE);
        return;
    }
    PutInt32(pOut + 0, record.m_type);
    PutInt32(pOut + 4, record.m_id);
    PutInt32(pOut + 8, record.m_packedSize);
    PutInt32(pOut + 12, record.m_size);
    PutInt32(pOut + 16, record.m_offset);
    std::memcpy(pOut + 20, record.m_name.data(), ENTRY_NAME_SIZE);
}

CEntryRecord DecodeRecord(const std::uint8_t* pIn) {
    CEntryRecord record;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&record, pIn, ENTRY_RECORD_SIZE);
        return record;
    }
    record.m_type = GetInt32(pIn + 0);
    record.m_id = GetInt32(pIn + 4);
    record.m_packedSize = GetInt32(pIn + 8);
    record.m_size = GetInt32(pIn + 12);
    record.m_offset = GetInt32(pIn + 16);
    std::memcpy(record.m_name.data(), pIn + 20, ENTRY_NAME_SIZE);
    return record;
}

CFileEntry::CFileEntry() : CEntryRecord{ENTRY_TYPE_NONE, ENTRY_ID_NONE, -1, -1, -1, EntryName{}} {}

EntryName MakeEntryName(std::string_view name) {
    EntryName bytes;
    bytes.fill(' ');
    const std::size_t n = std::min(name.size(), ENTRY_NAME_SIZE);
    std::memcpy(bytes.data(), name.data(), n);
    return bytes;
}

// Under AddressSanitizer large buffers stay on the heap, where it can see
// every access past their end.
#if defined(__SANITIZE_ADDRESS__)
#define OSTREVANE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSTREVANE_ASAN 1
#endif
#endif

void* AllocateLargeBuffer(std::size_t bytes) {
#if defined(__linux__) && !defined(OSTREVANE_ASAN)
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
#else
    return std::malloc(bytes);
#endif
}

void FreeLargeBuffer(void* p, std::size_t bytes) {
#if defined(__linux__) && !defined(OSTREVANE_ASAN)
    munmap(p, bytes);
#else
    (void)bytes;
    std::free(p);
#endif
}
