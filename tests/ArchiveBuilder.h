#pragma once

#include "tests/TestFiles.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Writes archive files byte by byte, apart from the program's writer, so
// that tests can make any archive, sound or not: a header whose count may
// disagree with its records, records with the offsets they are given or the
// ones their data lands at, payloads stored as given or packed, and bytes
// after the data. Names are the text's bytes padded with spaces to 16 (cut
// at 16), so a 16-byte text is taken as it is.
class ArchiveBuilder {
public:
    // The header's version; 1 unless set.
    ArchiveBuilder& Version(std::int32_t version);
    // The header's number of entries; the number of records unless set.
    ArchiveBuilder& Count(std::int32_t count);

    // A record with every field as given. Its payload goes into the data
    // area in record order, whatever packedSize and offset say.
    ArchiveBuilder& Record(std::int32_t type, std::int32_t id, std::int32_t packedSize,
                           std::int32_t size, std::int32_t offset, const std::string& name,
                           const Bytes& payload = {});
    // An entry whose payload is stored as given: its packed size is the
    // payload's length, its size that too unless given, and its offset where
    // the payload lands.
    ArchiveBuilder& Entry(std::int32_t type, std::int32_t id, const std::string& name,
                          const Bytes& payload = {}, std::optional<std::int32_t> size = {});
    // An entry holding content packed as an import packs it, at the offset
    // where it lands.
    ArchiveBuilder& Packed(std::int32_t type, std::int32_t id, const std::string& name,
                           const Bytes& content);
    // Gives the last record this stored offset instead of where its payload
    // lands.
    ArchiveBuilder& Offset(std::int32_t offset);
    // Bytes after every payload.
    ArchiveBuilder& Trailing(const Bytes& bytes);

    Bytes Build() const;

private:
    struct SRecord {
        std::int32_t type, id, packedSize, size;
        std::optional<std::int32_t> offset; // none: where the payload lands
        std::string name;
        Bytes payload;
    };

    std::int32_t m_version = 1;
    std::optional<std::int32_t> m_count;
    std::vector<SRecord> m_records;
    Bytes m_trailing;
};

// A small valid archive: portrait 5 "Door" (8 payload bytes at 84) and sound
// 7 "Bell" (4 bytes at 92); the payloads are filler, not packed data.
Bytes SmallArchive();

// Five entries in file order, with odd names and types: 1:5 "Door", 2:-2
// "Bell" then a zero byte and junk, 3:300 all spaces, 7:1000000 with a tab
// and Latin-1 letters, -1:0 "ABCDEFGHIJKLMNOP". The payloads are filler.
Bytes HandMadeArchive();
