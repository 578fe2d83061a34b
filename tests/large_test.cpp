// Archives at scale: 100,000 entries, and 1 GiB of payloads, opened,
// changed, saved and read back. Labelled "large": the default test run
// leaves them out; `ctest -L large` runs them.

#include "archive/ArchiveFormat.h"
#include "archive/OstrevaneDoc.h"
#include "tests/ArchiveBuilder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <numeric>

namespace {

// A payload whose bytes depend on the entry, so that mixed-up payloads show.
void Fill(CFileEntry& entry, std::size_t bytes) {
    std::uint8_t* pBytes = nullptr;
    entry.m_data = PackedData::Allocate(bytes, &pBytes);
    for (std::size_t i = 0; i < bytes; i += 4096)
        pBytes[i] = static_cast<std::uint8_t>(entry.m_id + i / 4096);
    std::memcpy(pBytes, &entry.m_id, sizeof entry.m_id);
    entry.m_packedSize = static_cast<std::int32_t>(bytes);
    entry.m_size = entry.m_packedSize;
}

// Writes the archive straight to disk, IDs falling, the payloads as Fill()
// makes them: the list loads in that order and is sorted by the first change.
void WriteArchive(const std::string& path, int count, std::size_t bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    // The directory is built whole, the payloads are written one by one.
    ArchiveBuilder directory;
    const auto start = static_cast<std::int64_t>(DataStart(static_cast<std::uint64_t>(count)));
    for (int i = 0; i < count; ++i)
        directory.Record(i % 4, count - i, static_cast<std::int32_t>(bytes),
                         static_cast<std::int32_t>(bytes),
                         static_cast<std::int32_t>(start + static_cast<std::int64_t>(bytes) * i),
                         "entry" + std::to_string(i));
    const Bytes head = directory.Build();
    ASSERT_EQ(std::fwrite(head.data(), 1, head.size(), file), head.size());
    for (int i = 0; i < count; ++i) {
        CFileEntry entry;
        entry.m_id = count - i;
        Fill(entry, bytes);
        ASSERT_EQ(std::fwrite(entry.m_data.data(), 1, bytes, file), bytes);
    }
    ASSERT_EQ(std::fclose(file), 0);
}

// Every entry's ID and first payload bytes agree, IDs rise (when sorted),
// offsets follow each other; returns the number of entries.
int CheckConsistent(const COstrevaneDoc& doc, bool bSorted) {
    int count = 0;
    auto offset =
        static_cast<std::int64_t>(DataStart(static_cast<std::uint64_t>(doc.CountEntries())));
    std::int32_t lastId = INT32_MIN;
    for (const CFileEntry* p = doc.m_pHead; p != nullptr; p = p->m_pNext, ++count) {
        std::int32_t stored = 0;
        std::memcpy(&stored, p->m_data.data(), sizeof stored);
        EXPECT_EQ(stored, p->m_id);
        if (bSorted) {
            EXPECT_GE(p->m_id, lastId);
        }
        EXPECT_EQ(p->m_offset, offset);
        lastId = p->m_id;
        offset += p->m_packedSize;
    }
    return count;
}

void ChangeAndSave(COstrevaneDoc& doc, const std::string& path) {
    doc.SortEntries();
    doc.RemoveEntry(doc.m_pHead);
    CFileEntry rename;
    rename.m_name = MakeEntryName("renamed");
    doc.ModifyEntry(doc.m_pHead, rename);
    CFileEntry extra;
    extra.m_type = 2;
    extra.m_id = 0;
    Fill(extra, 64);
    doc.AddEntry(std::move(extra));
    ASSERT_TRUE(doc.OnSaveDocument(path));
}

// The entry named name, or null.
const CFileEntry* Named(const COstrevaneDoc& doc, const std::string& name) {
    const EntryName wanted = MakeEntryName(name);
    for (const CFileEntry* p = doc.m_pHead; p != nullptr; p = p->m_pNext)
        if (p->m_name == wanted)
            return p;
    return nullptr;
}

void RoundTrip(int count, std::size_t bytes) {
    TempDir dir;
    const std::string path = dir.File("large.dat");
    WriteArchive(path, count, bytes);
    COstrevaneDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(CheckConsistent(doc, false), count);
    // The first change sorts: the lowest ID (1) goes, ID 2 is renamed.
    ChangeAndSave(doc, path);
    COstrevaneDoc again;
    ASSERT_TRUE(again.OnOpenDocument(path));
    EXPECT_EQ(CheckConsistent(again, true), count);
    EXPECT_EQ(Named(again, "entry" + std::to_string(count - 1)), nullptr);
    ASSERT_NE(Named(again, "renamed"), nullptr);
    EXPECT_EQ(Named(again, "renamed")->m_id, 2);
}

TEST(LargeArchive, HundredThousandEntriesOpenChangeAndSave) {
    RoundTrip(100000, 16);
}

TEST(LargeArchive, OneGibibyteOfPayloadsOpensChangesAndSaves) {
    RoundTrip(16, std::size_t{64} << 20);
}

} // namespace
