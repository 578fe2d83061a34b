#pragma once

#include "archive/ArchiveFormat.h"
#include "platform/LargeMemory.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr std::int32_t ENTRY_VIEWPORT_OVERLAY = 0;
inline constexpr std::int32_t ENTRY_PORTRAIT = 1;
inline constexpr std::int32_t ENTRY_SOUND = 2;
inline constexpr std::int32_t ENTRY_BACKGROUNDS = 3;
// Type and ID of a fresh entry; in a template given to ModifyEntry they
// leave the entry's type or ID as it is.
inline constexpr std::int32_t ENTRY_TYPE_NONE = 255;
inline constexpr std::int32_t ENTRY_ID_NONE = -1;

using EntryName = std::array<std::uint8_t, ENTRY_NAME_SIZE>;

// Packed data from this size on is written whole as soon as it is made, so
// its buffer is faulted in by one call (AllocatePopulated).
inline constexpr std::size_t LARGE_BUFFER_BYTES = std::size_t{1} << 20;

// Leaves new bytes uninitialised on resize: packed data is read straight
// from the file into a buffer of its final size, so zero-filling first
// would only cost time on large archives.
template <class T>
struct UninitAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitAllocator<U>;
    };
    UninitAllocator() = default;
    template <class U>
    UninitAllocator(const UninitAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n < LARGE_BUFFER_BYTES / sizeof(T))
            return std::allocator<T>::allocate(n);
        if (n > SIZE_MAX / sizeof(T))
            throw std::bad_array_new_length();
        void* p = AllocatePopulated(n * sizeof(T));
        if (p == nullptr)
            throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        if (n < LARGE_BUFFER_BYTES / sizeof(T))
            std::allocator<T>::deallocate(p, n);
        else
            FreePopulated(p, n * sizeof(T));
    }
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using PackedData = std::vector<std::uint8_t, UninitAllocator<std::uint8_t>>;

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

    CEntryRecord& Record() { return *this; }
    const CEntryRecord& Record() const { return *this; }

    CFileEntry* m_pNext = nullptr;
    CFileEntry* m_pPrev = nullptr;
    PackedData m_data;
};

// Deletes pFirst and every entry after it.
void DeleteEntryChain(CFileEntry* pFirst);

// 16 spaces with the name's bytes copied over them from the start: at most
// 16 bytes are taken, and no terminator is written.
EntryName MakeEntryName(std::string_view name);
