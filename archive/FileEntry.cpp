#include "archive/FileEntry.h"

#include "platform/ByteOrder.h"
#include "platform/LargeMemory.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

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

namespace {

// What precedes the entries of a block NewBlock made.
struct SEntryBlockHead {
    std::size_t live; // entries of the block not yet deleted
    std::size_t bytes;
};

static_assert(sizeof(SEntryBlockHead) % alignof(CFileEntry) == 0);

} // namespace

CFileEntry* CFileEntry::NewBlock(std::size_t count) {
    constexpr std::size_t most =
        (std::numeric_limits<std::size_t>::max() - sizeof(SEntryBlockHead)) / sizeof(CFileEntry);
    if (count == 0 || count > most || count >= NOT_IN_BLOCK)
        throw std::bad_alloc();
    const std::size_t bytes = sizeof(SEntryBlockHead) + count * sizeof(CFileEntry);
    // Mapped on huge pages once it is large, so that it faults in 2 MiB at a
    // time: 100,000 entries would take some 2,000 faults otherwise.
    void* p = AllocateZeroed(bytes);
    if (p == nullptr)
        throw std::bad_alloc();
    auto* head = new (p) SEntryBlockHead{count, bytes};
    auto* entries = reinterpret_cast<CFileEntry*>(head + 1);
    for (std::size_t i = 0; i < count; ++i) {
        CFileEntry* pEntry = new (entries + i) CFileEntry();
        pEntry->m_blockSlot = static_cast<std::uint32_t>(i);
        pEntry->m_pPrev = i > 0 ? pEntry - 1 : nullptr;
        pEntry->m_pNext = i + 1 < count ? pEntry + 1 : nullptr;
    }
    return entries;
}

void CFileEntry::operator delete(CFileEntry* p, std::destroying_delete_t) {
    const std::uint32_t slot = p->m_blockSlot;
    p->~CFileEntry();
    if (slot == NOT_IN_BLOCK) {
        ::operator delete(static_cast<void*>(p));
        return;
    }
    auto* head = reinterpret_cast<SEntryBlockHead*>(reinterpret_cast<std::uint8_t*>(p - slot) -
                                                    sizeof(SEntryBlockHead));
    if (--head->live == 0)
        FreeZeroed(head, head->bytes);
}

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
