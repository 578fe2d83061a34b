#pragma once

#include "archive/ArchiveFormat.h"
#include "archive/PackedData.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>

inline constexpr std::int32_t ENTRY_VIEWPORT_OVERLAY = 0;
inline constexpr std::int32_t ENTRY_PORTRAIT = 1;
inline constexpr std::int32_t ENTRY_SOUND = 2;
inline constexpr std::int32_t ENTRY_BACKGROUNDS = 3;
// Type and ID of a fresh entry; in a template given to ModifyEntry they
// leave the entry's type or ID as it is.
inline constexpr std::int32_t ENTRY_TYPE_NONE = 255;
inline constexpr std::int32_t ENTRY_ID_NONE = -1;

using EntryName = std::array<std::uint8_t, ENTRY_NAME_SIZE>;

// The directory record: the same 36 bytes, in the same order, as in the
// archive file. It is copied and exchanged as one block.
struct CEntryRecord {
    std::int32_t m_type;
    std::int32_t m_id;
    std::int32_t m_packedSize;
    std::int32_t m_size;
    std::int32_t m_offset;
    EntryName m_name; // space-padded, not zero-terminated
};

static_assert(sizeof(CEntryRecord) == ENTRY_RECORD_SIZE);
static_assert(offsetof(CEntryRecord, m_type) == RECORD_TYPE_AT);
static_assert(offsetof(CEntryRecord, m_id) == RECORD_ID_AT);
static_assert(offsetof(CEntryRecord, m_packedSize) == RECORD_PACKED_SIZE_AT);
static_assert(offsetof(CEntryRecord, m_size) == RECORD_SIZE_AT);
static_assert(offsetof(CEntryRecord, m_offset) == RECORD_OFFSET_AT);
static_assert(offsetof(CEntryRecord, m_name) == RECORD_NAME_AT);

// The record as it is stored: little-endian whatever the host.
void EncodeRecord(const CEntryRecord& record, std::uint8_t* pOut);
CEntryRecord DecodeRecord(const std::uint8_t* pIn);

// One archive entry: its list links, its record and its packed data.
class CFileEntry : public CEntryRecord {
public:
    // A fresh entry: no links, type 255, ID -1, sizes and offset -1, a name
    // that begins with a zero byte, no data.
    CFileEntry();

    // count fresh entries side by side in one block of memory, linked in
    // order, as many as an archive read from a file has: one allocation
    // instead of one each, whose pages fault in together. Each is deleted on its own, as any entry
    // is; the block goes with the last of them. The entries of one block are deleted by one thread
    // at a time (that of their document). Throws std::bad_alloc when memory runs out.
    static CFileEntry* NewBlock(std::size_t count);

    // Frees an entry made by new or by NewBlock.
    void operator delete(CFileEntry* p, std::destroying_delete_t);

    CEntryRecord& Record() { return *this; }
    const CEntryRecord& Record() const { return *this; }

private:
    static constexpr std::uint32_t NOT_IN_BLOCK = 0xFFFFFFFF;
    // Where the entry lies in the block NewBlock made, or NOT_IN_BLOCK. It
    // fills the room before the links, so it costs no memory.
    std::uint32_t m_blockSlot = NOT_IN_BLOCK;

public:
    CFileEntry* m_pNext = nullptr;
    CFileEntry* m_pPrev = nullptr;
    PackedData m_data;
};

// Deletes pFirst and every entry after it.
void DeleteEntryChain(CFileEntry* pFirst);

// 16 spaces with the name's bytes copied over them from the start: at most
// 16 bytes are taken, and no terminator is written.
EntryName MakeEntryName(std::string_view name);
