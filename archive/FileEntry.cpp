#include "archive/FileEntry.h"

#include <algorithm>
#include <bit>
#include <cstring>

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

void DeleteEntryChain(CFileEntry* pFirst) {
    while (CFileEntry* p = pFirst) {
        pFirst = p->m_pNext;
        delete p;
    }
}
