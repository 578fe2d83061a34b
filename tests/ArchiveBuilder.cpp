#include "tests/ArchiveBuilder.h"

#include "archive/ArchiveFormat.h"
#include "platform/ByteOrder.h"
#include "transfer/EntryPacking.h"

#include <gtest/gtest.h>

ArchiveBuilder& ArchiveBuilder::Version(std::int32_t version) {
    m_version = version;
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Count(std::int32_t count) {
    m_count = count;
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Record(std::int32_t type, std::int32_t id, std::int32_t packedSize,
                                       std::int32_t size, std::int32_t offset,
                                       const std::string& name, const Bytes& payload) {
    m_records.push_back({type, id, packedSize, size, offset, name, payload});
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Entry(std::int32_t type, std::int32_t id, const std::string& name,
                                      const Bytes& payload, std::optional<std::int32_t> size) {
    const auto length = static_cast<std::int32_t>(payload.size());
    m_records.push_back({type, id, length, size.value_or(length), std::nullopt, name, payload});
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Packed(std::int32_t type, std::int32_t id, const std::string& name,
                                       const Bytes& content) {
    PackedData packed;
    EXPECT_TRUE(PackBuffer(content.data(), content.size(), packed));
    return Entry(type, id, name, Bytes(packed.begin(), packed.end()),
                 static_cast<std::int32_t>(content.size()));
}

ArchiveBuilder& ArchiveBuilder::Offset(std::int32_t offset) {
    m_records.back().offset = offset;
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Trailing(const Bytes& bytes) {
    m_trailing.insert(m_trailing.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes ArchiveBuilder::Build() const {
    Bytes bytes(ARCHIVE_MAGIC.begin(), ARCHIVE_MAGIC.end());
    AppendInt32(bytes, m_version);
    AppendInt32(bytes, m_count.value_or(static_cast<std::int32_t>(m_records.size())));
    std::uint64_t lands = DataStart(m_records.size());
    for (const SRecord& r : m_records) {
        const auto offset = r.offset.value_or(static_cast<std::int32_t>(lands));
        for (const std::int32_t field : {r.type, r.id, r.packedSize, r.size, offset})
            AppendInt32(bytes, field);
        for (std::size_t i = 0; i < ENTRY_NAME_SIZE; ++i)
            bytes.push_back(i < r.name.size() ? static_cast<std::uint8_t>(r.name[i]) : ' ');
        lands += r.payload.size();
    }
    for (const SRecord& r : m_records)
        bytes.insert(bytes.end(), r.payload.begin(), r.payload.end());
    bytes.insert(bytes.end(), m_trailing.begin(), m_trailing.end());
    return bytes;
}

Bytes SmallArchive() {
    return ArchiveBuilder()
        .Record(1, 5, 8, 20, 84, "Door", {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17})
        .Record(2, 7, 4, 3, 92, "Bell", {0xA0, 0xA1, 0xA2, 0xA3})
        .Build();
}

Bytes HandMadeArchive() {
    return ArchiveBuilder()
        .Record(1, 5, 8, 20, 192, "Door")
        .Record(2, -2, 4, 3, 200, std::string("Bell\0junk", 9))
        .Record(3, 300, 0, 0, 204, "")
        .Record(7, 1000000, 4, 12345, 204, "Tab\t\xE9t\xE9")
        .Record(-1, 0, 0, 0, 208, "ABCDEFGHIJKLMNOP")
        .Trailing(Bytes(16, 0x5A))
        .Build();
}
