#pragma once

#include <cstdint>

// Little-endian 16- and 32-bit fields, whatever the host's byte order: the
// archive, its packed data and wave headers all store them so. The pointers
// must have room for the field; nothing is checked here.

constexpr std::uint16_t ReadLittleEndian16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

constexpr std::uint32_t ReadLittleEndian32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

constexpr void WriteLittleEndian16(std::uint8_t* p, std::uint16_t value) {
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

constexpr void WriteLittleEndian32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The archive's fields are signed: the same 32 bits, two's complement.
constexpr std::int32_t ReadLittleEndianInt32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(ReadLittleEndian32(p));
}

constexpr void WriteLittleEndianInt32(std::uint8_t* p, std::int32_t value) {
    WriteLittleEndian32(p, static_cast<std::uint32_t>(value));
}

// Appends to any container of bytes with push_back.
template <class Bytes>
void AppendLittleEndian16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

template <class Bytes>
void AppendLittleEndian32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}
