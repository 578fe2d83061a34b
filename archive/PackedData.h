#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>

// Packed data from this size on lives in a block of its own, faulted in by
// the one call that maps it (AllocatePopulated): such data is written whole
// as soon as it is made.
inline constexpr std::size_t LARGE_BUFFER_BYTES = std::size_t{1} << 20;

// An entry's packed bytes. They never change once made, so copies share
// them: copying a PackedData copies no byte, and the bytes stay as long as
// any copy, or any slice of the same block, does. An archive read from a
// file keeps all its entries' bytes in one block: it is read in one go, and
// its memory goes when the last of those entries goes (a removed or
// replaced entry frees nothing before that).
class PackedData {
public:
    PackedData() = default;
    // A copy of bytes. Throws std::bad_alloc when memory runs out.
    explicit PackedData(std::span<const std::uint8_t> bytes);
    PackedData(std::initializer_list<std::uint8_t> bytes);
    // size bytes of a block owner keeps alive, starting at pBytes.
    PackedData(std::shared_ptr<const void> owner, const std::uint8_t* pBytes, std::size_t size);

    // size fresh bytes for the caller to fill through *ppBytes before the
    // data is copied or read. Throws std::bad_alloc when memory runs out.
    static PackedData Allocate(std::size_t size, std::uint8_t** ppBytes);

    // Bytes offset to offset + size of these, sharing their block; the
    // caller keeps the range inside size().
    PackedData Slice(std::size_t offset, std::size_t size) const;

    const std::uint8_t* data() const { return m_pBytes; }
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const std::uint8_t* begin() const { return m_pBytes; }
    const std::uint8_t* end() const { return m_pBytes + m_size; }
    std::uint8_t operator[](std::size_t i) const { return m_pBytes[i]; }
    void clear() { *this = PackedData(); }

    // The same bytes, wherever they lie.
    friend bool operator==(const PackedData& a, const PackedData& b);

private:
    std::shared_ptr<const void> m_owner;
    const std::uint8_t* m_pBytes = nullptr;
    std::size_t m_size = 0;
};
