#include "archive/FileEntry.h"

#include "platform/ByteOrder.h"

#include <algorithm>
#include <bit>
#include <cstring>

void EncodeRecord(const CEntryRecord& record, std::uint8_t* pOut) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(pOut, &record, ENTRY_RECORD_SIZE);
        return;
    }
    WriteLittleEndianInt32(pOut + RECORD_TYPE_AT, record.m_type);
    WriteLittleEndianInt32(pOut + RECORD_ID_AT, record.m_id);
    WriteLittleEndianInt32(pOut + RECORD_PACKED_SIZE_AT, record.m_packedSize);
    WriteLittleEndianInt32(pOut + RECORD_SIZE_AT, record.m_size);
    WriteLittleEndianInt32(pOut + RECORD_OFFSET_AT, record.m_offset);
    std::memcpy(pOut + RECORD_NAME_AT, record.m_name.data(), ENTRY_NAME_SIZE);
}

CEntryRecord DecodeRecord(const std::uint8_t* pIn) {
    CEntryRecord record;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&record, pIn, ENTRY_RECORD_SIZE);
        return record;
    }
    record.m_type = ReadLittleEndianInt32(pIn + RECORD_TYPE_AT);
    record.m_id = ReadLittleEndianInt32(pIn + RECORD_ID_AT);
    record.m_packedSize = ReadLittleEndianInt32(pIn + RECORD_PACKED_SIZE_AT);
    record.m_size = ReadLittleEndianInt32(pIn + RECORD_SIZE_AT);
    record.m_offset = ReadLittleEndianInt32(pIn + RECORD_OFFSET_AT);
    std::memcpy(record.m_name.data(), pIn + RECORD_NAME_AT, ENTRY_NAME_SIZE);
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
