// The archive file: layout byte for byte, the reader's refusals, and saving.

#include "archive/ArchiveWriter.h"
#include "archive/OstrevaneDoc.h"
#include "platform/Archive.h"
#include "platform/FileFaults.h"
#include "platform/MemFile.h"
#include "tests/ArchiveBuilder.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// A header with no records after it.
Bytes Header(std::int32_t version, std::int32_t count) {
    return ArchiveBuilder().Version(version).Count(count).Build();
}

void Load(COstrevaneDoc& doc, const Bytes& bytes) {
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    doc.Serialize(ar);
}

Bytes Store(COstrevaneDoc& doc) {
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    doc.Serialize(ar);
    return file.GetWritten();
}

std::vector<std::int32_t> Ids(const COstrevaneDoc& doc) {
    std::vector<std::int32_t> ids;
    for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
        ids.push_back(p->m_id);
    return ids;
}

} // namespace

TEST(ArchiveFile, EmptyArchiveIsTwelveBytes) {
    COstrevaneDoc doc;
    EXPECT_EQ(Store(doc), Header(1, 0));
}

TEST(ArchiveFile, TwoEntryArchiveByteForByte) {
    COstrevaneDoc doc;
    CFileEntry first;
    first.m_type = 1;
    first.m_id = 5;
    first.m_packedSize = 8;
    first.m_size = 20;
    first.m_name = MakeEntryName("Door");
    first.m_data = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17};
    CFileEntry second;
    second.m_type = 2;
    second.m_id = 7;
    second.m_packedSize = 4;
    second.m_size = 3;
    second.m_name = MakeEntryName("Bell");
    second.m_data = {0xA0, 0xA1, 0xA2, 0xA3};
    doc.AddEntry(second);
    doc.AddEntry(first);
    const Bytes written = Store(doc);
    ASSERT_EQ(written.size(), 96u);
    EXPECT_EQ(written, SmallArchive());
}

TEST(ArchiveFile, ReadThenWriteGivesTheSameBytes) {
    COstrevaneDoc doc;
    Load(doc, SmallArchive());
    ASSERT_EQ(doc.CountEntries(), 2);
    EXPECT_EQ(doc.m_pHead->m_offset, 84);
    EXPECT_EQ(doc.m_pHead->m_pNext->m_data[3], 0xA3);
    EXPECT_EQ(Store(doc), SmallArchive());
}

TEST(ArchiveFile, VersionIsIgnoredAndWrittenAsOne) {
    for (std::int32_t version : {0, 2, -7, INT32_MAX}) {
        SCOPED_TRACE(version);
        Bytes bytes = SmallArchive();
        Bytes header = Header(version, 2);
        std::copy(header.begin(), header.end(), bytes.begin());
        COstrevaneDoc doc;
        Load(doc, bytes);
        EXPECT_EQ(doc.CountEntries(), 2);
        EXPECT_EQ(Store(doc), SmallArchive());
    }
}

TEST(ArchiveFile, TrailingBytesAfterTheDataAreIgnored) {
    Bytes empty = Header(1, 0);
    empty.insert(empty.end(), 50, 0xEE);
    COstrevaneDoc emptyDoc;
    MessageRecorder messages;
    Load(emptyDoc, empty);
    EXPECT_EQ(emptyDoc.m_pHead, nullptr);
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_EQ(emptyDoc.GetLayoutReport().trailingBytes, 50u); // reported, though ignored
    EXPECT_EQ(Store(emptyDoc), Header(1, 0));
    Bytes bytes = SmallArchive();
    bytes.insert(bytes.end(), {1, 2, 3});
    COstrevaneDoc doc;
    Load(doc, bytes);
    EXPECT_EQ(doc.GetLayoutReport().trailingBytes, 3u);
    EXPECT_TRUE(doc.GetLayoutReport().offsets.empty());
    EXPECT_EQ(Store(doc), SmallArchive());
    Load(doc, SmallArchive());
    EXPECT_TRUE(doc.GetLayoutReport().IsEmpty());
}

TEST(ArchiveFile, EmptyPayloadAndStoredOffsetsAreKept) {
    const Bytes bytes = ArchiveBuilder()
                            .Record(0, 9, 0, 0, 5555, "empty")
                            .Record(1, 2, 4, 4, -1, "second", {1, 2, 3, 4})
                            .Record(3, 4, 2, 2, 0, "third", {5, 6})
                            .Build();
    COstrevaneDoc doc;
    Load(doc, bytes);
    ASSERT_EQ(Ids(doc), (std::vector<std::int32_t>{9, 2, 4})); // file order
    EXPECT_TRUE(doc.m_pHead->m_data.empty());
    EXPECT_EQ(doc.m_pHead->m_pNext->m_data[0], 1);
    EXPECT_EQ(doc.m_pHead->m_pNext->m_pNext->m_data[1], 6);
    EXPECT_EQ(doc.m_pHead->m_offset, 5555); // stored offsets until the first change
    EXPECT_FALSE(doc.IsModified());
    const LayoutReport& layout = doc.GetLayoutReport();
    ASSERT_EQ(layout.offsets.size(), 3u); // the data lies at 120, 120 and 124
    EXPECT_EQ(layout.offsets[1].index, 1u);
    EXPECT_EQ(layout.offsets[1].stored, -1);
    EXPECT_EQ(layout.offsets[2].backToBack, 124u);
    EXPECT_EQ(layout.trailingBytes, 0u);
    EXPECT_EQ(Store(doc), bytes); // unchanged archives save in file order

    CFileEntry* pSecond = doc.FindEntry(1, 2);
    CFileEntry rename;
    rename.m_name = MakeEntryName("renamed");
    doc.ModifyEntry(pSecond, rename);
    EXPECT_EQ(Ids(doc), (std::vector<std::int32_t>{2, 4, 9}));
    EXPECT_EQ(doc.m_pHead, pSecond);
    EXPECT_EQ(doc.m_pHead->m_offset, 120);
    EXPECT_EQ(doc.m_pHead->m_pNext->m_offset, 124);
    EXPECT_EQ(doc.m_pHead->m_pNext->m_pNext->m_offset, 126);
}

TEST(ArchiveFile, WrongMagicLeavesAnEmptyNewDocument) {
    for (const Bytes& bytes : {Bytes{}, Bytes{'O', 's', 't'}, Bytes{'o', 's', 't', 'r', 1, 0, 0, 0},
                               Bytes{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}) {
        SCOPED_TRACE(bytes.size());
        COstrevaneDoc doc;
        Load(doc, SmallArchive());
        doc.SetModifiedFlag(true);
        MessageRecorder messages;
        Load(doc, bytes);
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].text, "That does not look like a Ostrevane file");
        EXPECT_EQ(messages.Messages()[0].caption, "Error");
        EXPECT_EQ(messages.Messages()[0].style, MB_OK);
        EXPECT_EQ(messages.Messages()[0].pOwner, nullptr);
        EXPECT_EQ(doc.m_pHead, nullptr);
        EXPECT_FALSE(doc.IsModified());
    }
}

TEST(ArchiveFile, DamagedFilesAreRefusedWhole) {
    struct Row {
        const char* label;
        Bytes bytes;
        const char* detail;
    };
    const Bytes negativePacked = ArchiveBuilder().Record(1, 1, -4, 4, 48, "x").Build();
    const Bytes pastEnd = ArchiveBuilder()
                              .Record(1, 1, 4, 4, 84, "x", Bytes(4, 0))
                              .Record(1, 2, 9, 9, 88, "y", Bytes(8, 0))
                              .Build();
    const Bytes hugeCount = ArchiveBuilder().Count(INT32_MAX).Record(1, 1, 0, 0, 48, "x").Build();
    const Bytes whole = SmallArchive();
    const Row rows[] = {
        {"header cut", Bytes{'O', 's', 't', 'r', 1, 0, 0, 0, 2, 0, 0},
         "The file ends inside its header."},
        {"directory passes the end", Bytes(whole.begin(), whole.begin() + 60),
         "Its directory of 2 entries does not fit in the file."},
        {"count INT_MAX", hugeCount,
         "Its directory of 2147483647 entries does not fit in the file."},
        {"negative packed size", negativePacked, "Entry 1 of 1 has a negative packed size (-4)."},
        {"packed size past the end", pastEnd,
         "The data of entry 2 of 2 runs past the end of the file."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        COstrevaneDoc doc;
        Load(doc, SmallArchive());
        MessageRecorder messages;
        Load(doc, row.bytes);
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].text,
                  std::string("That Ostrevane file is damaged\n") + row.detail);
        EXPECT_EQ(messages.Messages()[0].caption, "Error");
        EXPECT_EQ(messages.Messages()[0].pOwner, nullptr);
        EXPECT_EQ(doc.m_pHead, nullptr);
    }
}

TEST(ArchiveFile, EveryCutOfAValidArchiveIsRefused) {
    const Bytes whole = SmallArchive();
    for (std::size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE(length);
        COstrevaneDoc doc;
        MessageRecorder messages;
        Load(doc, Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
        ASSERT_EQ(messages.Messages().size(), 1u);
        const std::string expected = length < 4 ? "That does not look like a Ostrevane file"
                                                : "That Ostrevane file is damaged\n";
        EXPECT_EQ(messages.Messages()[0].text.substr(0, expected.size()), expected);
        EXPECT_EQ(doc.m_pHead, nullptr);
    }
}

TEST(ArchiveFile, OpenAndSaveThroughTheDisk) {
    TempDir dir;
    const std::string path = dir.File("archive.dat");
    WriteBytes(path, SmallArchive());
    COstrevaneDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_FALSE(doc.WasLoadRefused());
    EXPECT_EQ(doc.GetTitle(), "archive.dat");
    doc.RemoveEntry(doc.FindEntry(1, 5));
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(ReadBytes(path).size(), 12u + 36u + 4u);
    EXPECT_EQ(dir.Listing(), std::vector<std::string>{"archive.dat"});
}

TEST(ArchiveFile, RefusedLoadLeavesAnUntitledDocument) {
    TempDir dir;
    const std::string path = dir.File("picture.bmp");
    WriteBytes(path, {'B', 'M', 1, 2, 3, 4});
    COstrevaneDoc doc;
    MessageRecorder messages;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_TRUE(doc.WasLoadRefused());
    EXPECT_EQ(doc.GetPathName(), "");
    EXPECT_EQ(doc.GetTitle(), "Untitled");
    EXPECT_EQ(messages.Messages().size(), 1u);
}

TEST(ArchiveFile, FailedSavesLeaveTheOldFileWhole) {
    struct Row {
        const char* label;
        CFileFaults faults;
    };
    const Row rows[] = {
        {"first write", {1, false, false, 28}},
        {"third write", {3, false, false, 5}},
        {"sync", {0, true, false, 5}},
        {"rename", {0, false, true, 13}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir dir;
        const std::string path = dir.File("archive.dat");
        WriteBytes(path, SmallArchive());
        COstrevaneDoc doc;
        ASSERT_TRUE(doc.OnOpenDocument(path));
        doc.RemoveEntry(doc.m_pHead);
        MessageRecorder messages;
        SetFileFaults(row.faults);
        EXPECT_FALSE(doc.OnSaveDocument(path));
        ClearFileFaults();
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(ReadBytes(path), SmallArchive());
        EXPECT_EQ(dir.Listing(), std::vector<std::string>{"archive.dat"});
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].text.rfind("Cannot save \"" + path + "\":\n", 0), 0u);
    }
}

// Long opens and saves report how far they have gone and can be cancelled:
// a cancelled open leaves a new document, a cancelled save the old file,
// and a save can no longer be cancelled once it is committing.
TEST(ArchiveFile, OpensAndSavesReportProgressAndCanBeCancelled) {
    TempDir dir;
    const std::string path = dir.File("big.dat");
    const Bytes archive = ArchiveBuilder()
                              .Entry(1, 1, "One", Bytes(9 << 20, 1))
                              .Entry(1, 2, "Two", Bytes(3 << 20, 2))
                              .Build();
    for (const int cancelAt : {-1, 0, 1}) {
        SCOPED_TRACE(cancelAt);
        WriteBytes(path, archive);
        std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
        bool bCommitting = false;
        COstrevaneDoc doc;
        doc.SetProgress({[&](std::uint64_t done, std::uint64_t total) {
                             reports.emplace_back(done, total);
                             return static_cast<int>(reports.size()) - 1 != cancelAt;
                         },
                         [&] { bCommitting = true; }});
        ASSERT_TRUE(doc.OnOpenDocument(path));
        EXPECT_EQ(doc.CountEntries(), cancelAt < 0 ? 2 : 0);
        EXPECT_EQ(doc.WasLoadRefused(), cancelAt >= 0);
        ASSERT_GE(reports.size(), cancelAt < 0 ? 3u : 1u);
        EXPECT_EQ(reports.back().second, 12u << 20);
        if (cancelAt >= 0)
            continue;
        EXPECT_EQ(reports.back().first, 12u << 20);
        doc.RemoveEntry(doc.m_pHead->m_pNext);
        for (const int saveCancelAt : {0, -1}) {
            int calls = 0;
            bCommitting = false;
            doc.SetProgress({[&](std::uint64_t, std::uint64_t) { return calls++ != saveCancelAt; },
                             [&] { bCommitting = true; }});
            EXPECT_EQ(doc.OnSaveDocument(path), saveCancelAt < 0);
            EXPECT_EQ(bCommitting, saveCancelAt < 0);
            EXPECT_EQ(ReadBytes(path).size(),
                      saveCancelAt < 0 ? 12u + 36u + (9u << 20) : archive.size());
            EXPECT_EQ(dir.Listing(), std::vector<std::string>{"big.dat"});
        }
    }
}

TEST(ArchiveFile, LayoutPastTwoGigabytesIsRefusedBeforeWriting) {
    TempDir dir;
    const std::string path = dir.File("archive.dat");
    WriteBytes(path, SmallArchive());
    COstrevaneDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    // The size alone: the writer refuses before it reads a byte.
    static const std::uint8_t NEVER_READ = 0;
    doc.m_pHead->m_data = PackedData(nullptr, &NEVER_READ, std::size_t{1} << 31);
    doc.m_pHead->m_packedSize = INT32_MAX;
    doc.SetModifiedFlag(true);
    MessageRecorder messages;
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_EQ(ReadBytes(path), SmallArchive());
    EXPECT_EQ(dir.Listing(), std::vector<std::string>{"archive.dat"});
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].caption, "Error");
    EXPECT_TRUE(doc.IsModified());
}

// Written entry by entry, the directory filled in last, an archive has the
// bytes it was read from; a write failing anywhere leaves no file.
TEST(ArchiveFile, StreamedArchiveMatchesTheArchiveReadAndFailsWhole) {
    TempDir dir;
    const Bytes archive = ArchiveBuilder()
                              .Version(7)
                              .Packed(1, 1, "One", Bytes(5000, 1))
                              .Packed(2, -3, "Two", {})
                              .Packed(0, 9, "Three", Bytes(300, 3))
                              .Build();
    WriteBytes(dir.File("a.dat"), archive);
    COstrevaneDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(dir.File("a.dat")));
    // Writes: the header, the blank directory, each entry, the directory.
    for (const int failAt : {0, 1, 2, 4, 6}) {
        SCOPED_TRACE(failAt);
        CFile file;
        ASSERT_TRUE(file.OpenForReplace(dir.File("b.dat")));
        SetFileFaults({failAt});
        CArchiveStreamWriter writer(file, doc.CountEntries(), 7);
        for (const CFileEntry* p = doc.m_pHead; p; p = p->m_pNext)
            writer.Add(*p);
        const WriteStatus status = writer.Finish().status;
        ClearFileFaults();
        EXPECT_EQ(status, failAt == 0 ? WriteStatus::Ok : WriteStatus::WriteFailed);
        if (status == WriteStatus::Ok && file.Commit()) {
            EXPECT_EQ(ReadBytes(dir.File("b.dat")), archive);
            std::filesystem::remove(dir.File("b.dat"));
        }
        file.Abort();
        EXPECT_EQ(dir.Listing(), std::vector<std::string>{"a.dat"});
    }
}
