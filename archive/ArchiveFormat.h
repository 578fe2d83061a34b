#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string_view>

// The archive file's layout. Every integer in it is a signed 32-bit
// little-endian number (platform/ByteOrder.h).
//
//   header     magic, version, number of entries n
//   directory  n records of ENTRY_RECORD_SIZE bytes
//   data       every entry's packed data, back to back, in record order

inline constexpr std::string_view ARCHIVE_MAGIC = "Ostr";
inline constexpr std::size_t ARCHIVE_HEADER_SIZE = 12;
// Where the header's fields lie. A save writes the version as
// ARCHIVE_VERSION (`ostr pack` keeps the one its folder came with), and the
// reader ignores it.
inline constexpr std::size_t ARCHIVE_VERSION_AT = 4;
inline constexpr std::size_t ARCHIVE_COUNT_AT = 8;
inline constexpr std::int32_t ARCHIVE_VERSION = 1;

// A record: type, ID, packed size, size, offset, then the name's bytes.
inline constexpr std::size_t ENTRY_RECORD_SIZE = 36;
inline constexpr std::size_t ENTRY_NAME_SIZE = 16;
inline constexpr std::size_t RECORD_TYPE_AT = 0;
inline constexpr std::size_t RECORD_ID_AT = 4;
inline constexpr std::size_t RECORD_PACKED_SIZE_AT = 8;
inline constexpr std::size_t RECORD_SIZE_AT = 12;
inline constexpr std::size_t RECORD_OFFSET_AT = 16;
inline constexpr std::size_t RECORD_NAME_AT = 20;

// The largest offset a record can hold: no payload may start past it.
inline constexpr std::uint64_t LARGEST_OFFSET = std::numeric_limits<std::int32_t>::max();

// Where the data of an archive of count entries starts.
constexpr std::uint64_t DataStart(std::uint64_t count) {
    return ARCHIVE_HEADER_SIZE + ENTRY_RECORD_SIZE * count;
}
