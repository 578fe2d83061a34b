// Importing files as entries and exporting them again.

#include "archive/OstrevaneDoc.h"
#include "codec/WordSink.h"
#include "platform/File.h"
#include "platform/FileFaults.h"
#include "tests/TestFiles.h"
#include "transfer/DeltaCoding.h"
#include "transfer/EntryPacking.h"
#include "transfer/ExportPipeline.h"
#include "transfer/ImportPipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>((i * i + i / 7) % 251);
    return bytes;
}

class Transfer : public testing::Test {
protected:
    std::string Put(const std::string& name, const Bytes& bytes) {
        WriteBytes(dir.File(name), bytes);
        return dir.File(name);
    }
    ImportResult Import(const std::string& path, std::int32_t type, std::uint32_t id,
                        const std::string& name = "name") {
        return ImportFile(doc, {path, type, id, name, {}}, &owner);
    }
    Bytes Content(const CFileEntry& entry) {
        ByteBuffer out;
        EXPECT_EQ(UnpackEntryData(entry, out), UnpackStatus::Ok);
        return Bytes(out.begin(), out.end());
    }
    Bytes Exported(const CFileEntry& entry) {
        const std::string path = dir.File("exported");
        EXPECT_EQ(ExportEntry(entry, path, &owner), ExportResult::Exported);
        return ReadBytes(path);
    }
    void ExpectOneMessage(const std::string& text, const std::string& caption, void* pOwner) {
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].text, text);
        EXPECT_EQ(messages.Messages()[0].caption, caption);
        EXPECT_EQ(messages.Messages()[0].pOwner, pOwner);
        messages.Clear();
    }

    TempDir dir;
    COstrevaneDoc doc;
    MessageRecorder messages;
    int owner = 0;
};

} // namespace

TEST(DeltaCoding, CodesAndRestoresAcrossBlocks) {
    Bytes bytes{0x52, 0x49, 0x46, 0x46, 0x80, 0x81, 0x7F, 0x00, 0xFF};
    CDeltaEncoder encoder;
    encoder.Encode(bytes.data(), 4);
    encoder.Encode(bytes.data() + 4, 5);
    EXPECT_EQ(bytes, (Bytes{0x52, 0xF7, 0xFD, 0x00, 0x3A, 0x01, 0xFE, 0x81, 0xFF}));
    CDeltaDecoder decoder;
    decoder.Decode(bytes.data(), 2);
    decoder.Decode(bytes.data() + 2, 7);
    EXPECT_EQ(bytes, (Bytes{0x52, 0x49, 0x46, 0x46, 0x80, 0x81, 0x7F, 0x00, 0xFF}));

    const Bytes original = Pattern(5000);
    Bytes expected = original;
    for (std::size_t i = expected.size() - 1; i > 0; --i)
        expected[i] = static_cast<std::uint8_t>(original[i] - original[i - 1]);
    for (const std::size_t block : {1u, 16u, 17u, 33u, 1000u, 5000u}) {
        SCOPED_TRACE(block);
        Bytes coded = original;
        CDeltaEncoder blocks;
        for (std::size_t at = 0; at < coded.size(); at += block)
            blocks.Encode(coded.data() + at, std::min(block, coded.size() - at));
        EXPECT_EQ(coded, expected);
    }
}

TEST_F(Transfer, FilesOfOtherTypesAreStoredAsTheyAre) {
    const Bytes wave = MakeWave(3000);
    const Bytes picture = Pattern(4321);
    ASSERT_EQ(Import(Put("wave.wav", wave), ENTRY_PORTRAIT, 1, "Door"), ImportResult::Imported);
    ASSERT_EQ(Import(Put("pic.bmp", picture), ENTRY_BACKGROUNDS, 2, ""), ImportResult::Imported);
    ASSERT_EQ(Import(Put("empty", {}), ENTRY_VIEWPORT_OVERLAY, 3), ImportResult::Imported);
    EXPECT_TRUE(messages.Messages().empty());
    const CFileEntry* pWave = doc.FindEntry(ENTRY_PORTRAIT, 1);
    EXPECT_EQ(Content(*pWave), wave);
    EXPECT_EQ(pWave->m_size, 3044);
    EXPECT_EQ(static_cast<std::size_t>(pWave->m_packedSize), pWave->m_data.size());
    EXPECT_EQ(pWave->m_name, MakeEntryName("Door            "));
    const CFileEntry* pPicture = doc.FindEntry(ENTRY_BACKGROUNDS, 2);
    EXPECT_EQ(Exported(*pPicture), picture);
    EXPECT_EQ(pPicture->m_name, MakeEntryName("                "));
    const CFileEntry* pEmpty = doc.FindEntry(ENTRY_VIEWPORT_OVERLAY, 3);
    EXPECT_EQ(pEmpty->m_size, 0);
    EXPECT_EQ(pEmpty->m_packedSize, 0);
    EXPECT_TRUE(Exported(*pEmpty).empty());
    EXPECT_EQ(g_pWords, nullptr); // the sink is left empty
}

TEST_F(Transfer, SoundsAreDeltaCodedAndExportByteForByte) {
    Bytes wave = MakeWave(4990);
    wave[999] = 0x10;
    wave[1000] = 0x12;
    ASSERT_EQ(Import(Put("s.wav", wave), ENTRY_SOUND, 4), ImportResult::Imported);
    const CFileEntry* pSound = doc.FindEntry(ENTRY_SOUND, 4);
    const Bytes content = Content(*pSound);
    EXPECT_EQ(content[0], 'R');
    EXPECT_EQ(content[1], static_cast<std::uint8_t>('I' - 'R'));
    EXPECT_EQ(content[1000], 0x02); // coded across the 1000-byte block boundary
    EXPECT_EQ(Exported(*pSound), wave);

    ASSERT_EQ(Import(Put("h.wav", MakeWave(0)), ENTRY_SOUND, 5), ImportResult::Imported);
    EXPECT_EQ(doc.FindEntry(ENTRY_SOUND, 5)->m_size, 44);
}

TEST_F(Transfer, ExportFollowsTheTypeAtExportTime) {
    const Bytes picture = Pattern(2000);
    ASSERT_EQ(Import(Put("p.bmp", picture), ENTRY_PORTRAIT, 1), ImportResult::Imported);
    CFileEntry* pEntry = doc.FindEntry(ENTRY_PORTRAIT, 1);
    CFileEntry retype;
    retype.m_type = ENTRY_SOUND;
    doc.ModifyEntry(pEntry, retype);
    Bytes summed = picture;
    CDeltaDecoder().Decode(summed.data(), summed.size());
    EXPECT_EQ(Exported(*pEntry), summed);
}

TEST_F(Transfer, WaveHeadersAreTestedInOrder) {
    struct Row {
        const char* label;
        Bytes file;
        const char* text;
        const char* caption;
    };
    Bytes rifx = MakeWave(10);
    rifx[3] = 'X';
    Bytes avi = MakeWave(10);
    std::copy_n("AVI LIST", 8, avi.begin() + 8);
    const Row rows[] = {
        {"30 bytes", Bytes(30, 'R'), "Error reading file header", "Error"},
        {"RIFX", rifx, "That does not look like a Wave File", "error"},
        {"not WAVEfmt", avi, "That does not lok like a Wave File", "error"},
        {"format block 18", MakeWave(10, {18, 1, 1, 11025, 8}),
         "That does not look like a Wave File", "error"},
        {"format block 0", MakeWave(10, {0, 1, 1, 11025, 8}), "That does not look like a Wave File",
         "error"},
        {"format 3", MakeWave(10, {16, 3, 1, 11025, 8}),
         "That does not look like a WAVE_FORMAT_PCM file", "error"},
        {"stereo", MakeWave(10, {16, 1, 2, 11025, 8}), "That does not look like a mono wave file",
         "Error"},
        {"22050", MakeWave(10, {16, 1, 1, 22050, 8}),
         "That wave file does not\nhave sample rate 11025", "Error"},
        {"16-bit", MakeWave(10, {16, 1, 1, 11025, 16}),
         "That wave file does not\nhave 8-bit samples", "Error"},
        {"bitmap", Pattern(100), "That does not look like a Wave File", "error"},
        {"every field wrong", MakeWave(10, {18, 3, 2, 22050, 16}),
         "That does not look like a Wave File", "error"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(Import(Put("w.wav", row.file), ENTRY_SOUND, 1), ImportResult::Refused);
        ExpectOneMessage(row.text, row.caption, &owner);
        EXPECT_EQ(doc.m_pHead, nullptr);
        EXPECT_FALSE(doc.IsModified());
    }
}

TEST_F(Transfer, ClashesAskBeforeReplacing) {
    ASSERT_EQ(Import(Put("a.bmp", Pattern(10)), ENTRY_PORTRAIT, 4, "old"), ImportResult::Imported);
    ASSERT_EQ(Import(Put("s.wav", MakeWave(5)), ENTRY_SOUND, 4), ImportResult::Imported);
    EXPECT_TRUE(messages.Messages().empty()); // same ID, other type: no question
    EXPECT_EQ(doc.CountEntries(), 2);

    const std::string other = Put("b.bmp", Pattern(77));
    EXPECT_EQ(Import(other, ENTRY_PORTRAIT, 4, "new"), ImportResult::Declined);
    ExpectOneMessage("That ID is being used already\nDo you want us to replace it?", "Are you sure",
                     &owner);
    EXPECT_EQ(doc.FindEntry(ENTRY_PORTRAIT, 4)->m_size, 10);

    messages.Answer(IDYES);
    EXPECT_EQ(Import(Put("bad.wav", Bytes(20)), ENTRY_SOUND, 4), ImportResult::Refused);
    EXPECT_EQ(messages.Messages().size(), 2u); // the question, then the header
    messages.Clear();
    EXPECT_EQ(doc.FindEntry(ENTRY_SOUND, 4)->m_size, 49);

    messages.Answer(IDYES);
    EXPECT_EQ(Import(other, ENTRY_PORTRAIT, 4, "new"), ImportResult::Imported);
    EXPECT_EQ(messages.Messages()[0].style, 8196u);
    EXPECT_EQ(doc.CountEntries(), 2);
    const CFileEntry* pEntry = doc.FindEntry(ENTRY_PORTRAIT, 4);
    EXPECT_EQ(pEntry->m_size, 77);
    EXPECT_EQ(pEntry->m_name, MakeEntryName("new"));
    EXPECT_EQ(Content(*pEntry), Pattern(77));
}

TEST_F(Transfer, RefusalsLeaveTheArchiveAsItWas) {
    const std::string file = Put("f", Pattern(50));
    EXPECT_EQ(Import(dir.File("missing"), ENTRY_PORTRAIT, 1), ImportResult::Refused);
    ExpectOneMessage("Cannot open that file", "error", &owner);
    EXPECT_EQ(Import(file, 7, 1), ImportResult::Refused);
    ExpectOneMessage("Internal Error", "Fatal Error", &owner);
    EXPECT_EQ(doc.m_pHead, nullptr);
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(Transfer, LargeIdsKeepTheirBits) {
    ASSERT_EQ(Import(Put("f", Pattern(5)), ENTRY_PORTRAIT, 3000000000u), ImportResult::Imported);
    EXPECT_EQ(doc.m_pHead->m_id, -1294967296);
}

TEST_F(Transfer, FilesOfTwoGigabytesAreRefusedBeforeReading) {
    const std::string path = dir.File("sparse");
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(IMPORT_SIZE_LIMIT)), 0);
    close(fd);
    EXPECT_EQ(Import(path, ENTRY_PORTRAIT, 1), ImportResult::Refused);
    ExpectOneMessage("That file is too large to import", "error", &owner);
    EXPECT_EQ(doc.m_pHead, nullptr);
}

TEST_F(Transfer, CancelledImportChangesNothing) {
    const std::string path = Put("big", Pattern(3 << 20));
    int calls = 0;
    const ImportRequest request{path, ENTRY_PORTRAIT, 1, "big",
                                [&](std::uint64_t done, std::uint64_t total) {
                                    EXPECT_EQ(total, 3u << 20);
                                    EXPECT_GT(done, 0u);
                                    return ++calls < 2;
                                }};
    EXPECT_EQ(ImportFile(doc, request, &owner), ImportResult::Cancelled);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(doc.m_pHead, nullptr);
    EXPECT_EQ(g_pWords, nullptr);
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(Transfer, ExportReportsProgressAndACancelTouchesNoFile) {
    const Bytes content = Pattern(9 << 20);
    ASSERT_EQ(Import(Put("big", content), ENTRY_PORTRAIT, 1), ImportResult::Imported);
    const std::string target = Put("target.bin", {1, 2, 3});
    std::uint64_t last = 0;
    const auto watch = [&](std::uint64_t done, std::uint64_t total) {
        EXPECT_EQ(total, content.size());
        EXPECT_GT(done, last);
        last = done;
        return true;
    };
    EXPECT_EQ(ExportEntry(*doc.m_pHead, target, &owner, watch), ExportResult::Exported);
    EXPECT_EQ(last, content.size());
    EXPECT_EQ(ReadBytes(target), content); // read in steps, the same bytes

    const auto cancel = [](std::uint64_t, std::uint64_t) { return false; };
    Put("target.bin", {1, 2, 3});
    EXPECT_EQ(ExportEntry(*doc.m_pHead, target, &owner, cancel), ExportResult::Cancelled);
    EXPECT_EQ(ReadBytes(target), (Bytes{1, 2, 3}));
    EXPECT_TRUE(messages.Messages().empty());
}

TEST_F(Transfer, ExportRefusalsTouchNoFile) {
    ASSERT_EQ(Import(Put("p", Pattern(3000)), ENTRY_PORTRAIT, 1), ImportResult::Imported);
    CFileEntry* pEntry = doc.FindEntry(ENTRY_PORTRAIT, 1);
    const std::string target = Put("target.bin", {1, 2, 3});

    EXPECT_EQ(ExportEntry(*pEntry, dir.File("no/such/folder"), &owner), ExportResult::Refused);
    ExpectOneMessage("Cannot open that file", "error", &owner);

    SetFileFaults({1, false, false, 28});
    EXPECT_EQ(ExportEntry(*pEntry, target, &owner), ExportResult::Refused);
    ClearFileFaults();
    ExpectOneMessage("Cannot write that file", "error", &owner);

    for (std::int32_t size : {-1, 3100, INT32_MAX}) {
        SCOPED_TRACE(size);
        CFileEntry damaged;
        damaged.Record() = pEntry->Record();
        damaged.m_data = pEntry->m_data;
        damaged.m_size = size;
        EXPECT_EQ(ExportEntry(damaged, target, &owner), ExportResult::Refused);
        ExpectOneMessage("That entry's data is damaged", "error", &owner);
    }
    EXPECT_EQ(ReadBytes(target), (Bytes{1, 2, 3}));
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"p", "target.bin"}));
}

// The output is touched as it is decoded, doubling from 256 KiB, and moves
// only when it outgrows the room reserved for it: content at and past the
// first step, content far larger than its data, and reads in steps for
// someone watching all come out byte for byte.
TEST(EntryUnpacking, GrowsTheOutputAsItIsDecoded) {
    const struct {
        const char* name;
        Bytes content;
        bool bWatched;
    } rows[] = {
        {"a run filling the first step", Bytes(256 << 10, 'r'), false},
        {"a run one byte longer", Bytes((256 << 10) + 1, 'r'), false},
        {"a run of 9 MiB", Bytes(9 << 20, 'r'), false},
        {"a run of 9 MiB, watched", Bytes(9 << 20, 'r'), true},
        {"a pattern, watched", Pattern(5 << 20), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        CFileEntry entry;
        entry.m_size = static_cast<std::int32_t>(row.content.size());
        ASSERT_TRUE(PackBuffer(row.content.data(), row.content.size(), entry.m_data));
        std::vector<std::uint64_t> reports;
        const ProgressFn watch = [&](std::uint64_t done, std::uint64_t total) {
            EXPECT_EQ(total, row.content.size());
            reports.push_back(done);
            return true;
        };
        ByteBuffer out;
        EXPECT_EQ(UnpackEntryData(entry, out, nullptr, row.bWatched ? watch : ProgressFn{}),
                  UnpackStatus::Ok);
        EXPECT_TRUE(std::equal(out.begin(), out.end(), row.content.begin(), row.content.end()));
        if (row.bWatched) {
            ASSERT_FALSE(reports.empty());
            EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end()));
            EXPECT_EQ(reports.back(), row.content.size());
            EXPECT_LE(reports.size(), row.content.size() / PROGRESS_STEP);
        }
    }
}

TEST_F(Transfer, LongStringsShowTheNoticeOncePerExportAndStillExport) {
    const Bytes run(600000, 'Z'); // some seventy strings of 1024 bytes or more
    ASSERT_EQ(Import(Put("run", run), ENTRY_PORTRAIT, 1), ImportResult::Imported);
    for (const char* label : {"first export", "second export"}) {
        SCOPED_TRACE(label);
        EXPECT_EQ(Exported(*doc.m_pHead), run);
        ExpectOneMessage("NotImplemented", "error", nullptr);
    }
}

TEST_F(Transfer, ExportSaysWhyTheTargetCannotBeTaken) {
    ASSERT_EQ(Import(Put("p", Pattern(3000)), ENTRY_PORTRAIT, 1), ImportResult::Imported);
    const CFileEntry& entry = *doc.FindEntry(ENTRY_PORTRAIT, 1);
    CFileEntry damaged;
    damaged.Record() = entry.Record();
    damaged.m_data = entry.m_data;
    damaged.m_size = 3100;
    ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0755), 0);
    struct Row {
        const char* label;
        const CFileEntry* pEntry;
        std::string target;
        int nFailWrite; // fails with ENOSPC
        ExportFailure failure;
        int nFileError;
        const char* text;
    };
    std::vector<Row> rows = {
        {"fifo", &entry, dir.File("fifo"), 0, ExportFailure::CannotOpen, FILE_ERROR_NOT_REGULAR,
         "That is not a regular file"},
        {"device", &entry, "/dev/null", 0, ExportFailure::CannotOpen, FILE_ERROR_NOT_REGULAR,
         "That is not a regular file"},
        {"folder", &entry, dir.File("folder"), 0, ExportFailure::CannotOpen, EISDIR,
         "Cannot open that file"},
        {"missing folder", &entry, dir.File("no/such"), 0, ExportFailure::CannotOpen, ENOENT,
         "Cannot open that file"},
        {"disk full", &entry, dir.File("new.bin"), 1, ExportFailure::CannotWrite, ENOSPC,
         "Cannot write that file"},
        {"damaged", &damaged, dir.File("new.bin"), 0, ExportFailure::Damaged, 0,
         "That entry's data is damaged"},
    };
    // Only root can give a link in a shared sticky folder to a stranger.
    const std::string shared = dir.File("shared"), link = shared + "/link";
    ASSERT_EQ(mkdir(shared.c_str(), 0755), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    ASSERT_EQ(symlink(dir.File("victim").c_str(), link.c_str()), 0);
    if (geteuid() == 0 && lchown(link.c_str(), 12345, 12345) == 0)
        rows.push_back({"stranger's link", &entry, link, 0, ExportFailure::CannotOpen,
                        FILE_ERROR_LINK_REFUSED, "That file is a link we will not follow"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        SetFileFaults({row.nFailWrite, false, false, ENOSPC});
        const ExportOutcome outcome = ExportEntryQuietly(*row.pEntry, row.target);
        EXPECT_TRUE(messages.Messages().empty());
        EXPECT_EQ(outcome.failure, row.failure);
        EXPECT_EQ(outcome.nFileError, row.nFileError);
        SetFileFaults({row.nFailWrite, false, false, ENOSPC});
        EXPECT_EQ(ExportEntry(*row.pEntry, row.target, &owner), ExportResult::Refused);
        ClearFileFaults();
        ExpectOneMessage(row.text, "error", &owner);
    }
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"fifo", "folder", "p", "shared"}));
}
