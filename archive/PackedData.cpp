#include "archive/PackedData.h"

#include "platform/LargeMemory.h"

#include <algorithm>
#include <cstring>
#include <new>

PackedData::PackedData(std::span<const std::uint8_t> bytes) {
    std::uint8_t* pBytes = nullptr;
    *this = Allocate(bytes.size(), &pBytes);
    if (!bytes.empty())
        std::memcpy(pBytes, bytes.data(), bytes.size());
}

PackedData::PackedData(std::initializer_list<std::uint8_t> bytes)
    : PackedData(std::span<const std::uint8_t>(bytes.begin(), bytes.size())) {}

PackedData::PackedData(std::shared_ptr<const void> owner, const std::uint8_t* pBytes,
                       std::size_t size)
    : m_owner(std::move(owner)), m_pBytes(pBytes), m_size(size) {}

PackedData PackedData::Allocate(std::size_t size, std::uint8_t** ppBytes) {
    if (size == 0) {
        *ppBytes = nullptr;
        return {};
    }
    std::shared_ptr<std::uint8_t[]> block;
    if (size < LARGE_BUFFER_BYTES) {
        block.reset(new std::uint8_t[size]);
    } else {
        auto* p = static_cast<std::uint8_t*>(AllocatePopulated(size));
        if (p == nullptr)
            throw std::bad_alloc();
        block =
            std::shared_ptr<std::uint8_t[]>(p, [size](std::uint8_t* q) { FreePopulated(q, size); });
    }
    *ppBytes = block.get();
    return PackedData(block, block.get(), size);
}

PackedData PackedData::Slice(std::size_t offset, std::size_t size) const {
    return PackedData(m_owner, m_pBytes + offset, size);
}

bool operator==(const PackedData& a, const PackedData& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}
