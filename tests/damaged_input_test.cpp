// Damaged and hostile input, one named row each: archives, packed data, wave
// files and size limits. Every row ends in a clear message or in a correct
// result, and leaves the files on disk as they were.

#include "archive/OstrevaneDoc.h"
#include "tests/CodeStream.h"
#include "tests/DamagedArchives.h"
#include "transfer/EntryPacking.h"
#include "transfer/ExportPipeline.h"
#include "transfer/ImportPipeline.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>

namespace {

std::vector<std::string> Names(const COstrevaneDoc& doc) {
    std::vector<std::string> names;
    for (const CFileEntry* p = doc.m_pHead; p != nullptr; p = p->m_pNext)
        names.emplace_back(p->m_name.begin(), p->m_name.end());
    return names;
}

// ---- Archives --------------------------------------------------------------

class DamagedArchive : public testing::TestWithParam<ArchiveRow> {};

TEST_P(DamagedArchive, OpensOrSaysWhyAndLeavesTheFile) {
    const ArchiveRow& row = GetParam();
    TempDir dir;
    const std::string path = WriteRowArchive(dir, row);
    MessageRecorder messages;
    COstrevaneDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(ReadBytes(path), row.bytes);
    EXPECT_EQ(doc.CountEntries(), row.entries);
    if (!row.message.empty()) {
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].text, row.message);
        EXPECT_EQ(messages.Messages()[0].caption, "Error");
        EXPECT_TRUE(doc.WasLoadRefused());
        EXPECT_EQ(doc.GetPathName(), ""); // a save cannot overwrite the file
        return;
    }
    EXPECT_TRUE(messages.Messages().empty());
    // What loads saves and loads again to the same entries.
    const std::string copy = dir.File("copy.dat");
    ASSERT_TRUE(doc.OnSaveDocument(copy));
    COstrevaneDoc again;
    ASSERT_TRUE(again.OnOpenDocument(copy));
    EXPECT_EQ(Names(again), Names(doc));
    EXPECT_TRUE(messages.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, DamagedArchive, testing::ValuesIn(ArchiveRows()),
                         [](const auto& info) { return RowTestName(info.param.name); });

// Odd IDs and duplicated pairs through every operation of the list.
TEST(DamagedArchiveOperations, OddIdsAndTwinsSurviveEveryOperation) {
    COstrevaneDoc doc;
    for (std::int32_t id : {INT_MAX, -1, INT_MIN, 4, 4}) {
        CFileEntry entry;
        entry.m_type = ENTRY_SOUND;
        entry.m_id = id;
        doc.AddEntry(entry);
    }
    EXPECT_EQ(doc.CountEntries(), 5);
    EXPECT_EQ(doc.MaxId(ENTRY_SOUND), INT_MAX);
    EXPECT_EQ(doc.ProposedId(ENTRY_SOUND), 0x80000000u); // wraps, no overflow
    CFileEntry* pTwin = doc.FindEntry(ENTRY_SOUND, 4);
    ASSERT_NE(pTwin, nullptr);
    CFileEntry rename;
    rename.m_type = ENTRY_TYPE_NONE;
    rename.m_id = ENTRY_ID_NONE;
    std::memcpy(rename.m_name.data(), "twin            ", 16);
    doc.ModifyEntry(pTwin, rename);
    doc.RemoveEntry(doc.FindEntry(ENTRY_SOUND, INT_MIN));
    std::vector<std::int32_t> ids;
    for (const CFileEntry* p = doc.m_pHead; p != nullptr; p = p->m_pNext)
        ids.push_back(p->m_id);
    EXPECT_EQ(ids, (std::vector<std::int32_t>{-1, 4, 4, INT_MAX}));
    EXPECT_TRUE(doc.ContainsEntry(pTwin));
    EXPECT_EQ(std::string(pTwin->m_name.begin(), pTwin->m_name.end()), "twin            ");
}

// ---- Packed data -------------------------------------------------------------

struct PackedRow {
    std::string name;
    Bytes data;
    std::int32_t size;
};

Bytes PackText(const std::string& text) {
    PackedData stream;
    PackBuffer(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), stream);
    return {stream.begin(), stream.end()};
}

// Codes up to the first width change: the literal 65, then the codes that
// fill 9 bits, so that the next code must be the change.
std::vector<std::uint32_t> UpToTheChange(std::vector<std::uint32_t> tail) {
    std::vector<std::uint32_t> codes(253, 65);
    codes.insert(codes.end(), tail.begin(), tail.end());
    return codes;
}

std::vector<PackedRow> PackedRows() {
    const Bytes abcde = PackText("abcde");
    Bytes ragged = abcde;
    ragged.insert(ragged.end(), {0, 0});
    Bytes extra = abcde;
    extra.insert(extra.end(), {0, 0, 0, 0, 0, 0, 0, 0});
    // Some 120 KB of packed data, which could hold INT_MAX bytes.
    std::mt19937 rng(9);
    std::string noise(100000, ' ');
    for (char& c : noise)
        c = static_cast<char>(rng() >> 24);
    const Bytes noisy = PackText(noise);
    return {
        {"length not a multiple of 4", ragged, 5},
        {"stream ends inside a code", Bytes(abcde.begin(), abcde.begin() + 4), 5},
        {"first code above 255", WriteCodes({300, 65}), 2},
        {"code above the next free code", WriteCodes({65, 66, 258}), 5},
        {"width change as the first code", WriteCodes({511, 65}), 1},
        {"width change too early", WriteCodes({65, 511, 65}), 2},
        {"width change twice in a row", WriteCodes(UpToTheChange({511, 1023, 65})), 254},
        {"other code where the width must change", WriteCodes(UpToTheChange({65})), 254},
        {"decodes to fewer bytes than the size", abcde, 10},
        {"decodes to more bytes than the size", abcde, 3},
        {"extra words after the end", extra, 5},
        {"negative size", abcde, -1},
        {"size INT_MAX with 4 packed bytes", Bytes(abcde.begin(), abcde.begin() + 4), INT_MAX},
        {"size INT_MAX with data that could hold it", noisy, INT_MAX},
        {"no data but a size", {}, 1},
    };
}

void PrintTo(const PackedRow& row, std::ostream* os) {
    *os << row.name;
}

class DamagedData : public testing::TestWithParam<PackedRow> {};

TEST_P(DamagedData, ExportRefusesItAndWritesNothing) {
    const PackedRow& row = GetParam();
    TempDir dir;
    CFileEntry entry;
    entry.m_type = ENTRY_PORTRAIT;
    entry.m_size = row.size;
    entry.m_data = PackedData(std::span(row.data.data(), row.data.size()));
    entry.m_packedSize = static_cast<std::int32_t>(row.data.size());
    MessageRecorder messages;
    int owner = 0;
    EXPECT_EQ(ExportEntry(entry, dir.File("out.bin"), &owner), ExportResult::Refused);
    ASSERT_EQ(messages.Messages().size(), 1u);
    EXPECT_EQ(messages.Messages()[0].text, "That entry's data is damaged");
    EXPECT_EQ(messages.Messages()[0].caption, "error");
    EXPECT_TRUE(dir.Listing().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, DamagedData, testing::ValuesIn(PackedRows()),
                         [](const auto& info) { return RowTestName(info.param.name); });

TEST(DamagedDataState, ADamagedEntryLeavesNothingForTheNextExport) {
    TempDir dir;
    MessageRecorder messages;
    COstrevaneDoc doc;
    const Bytes wave = MakeWave(3000);
    WriteBytes(dir.File("in.wav"), wave);
    ASSERT_EQ(ImportFile(doc, {dir.File("in.wav"), ENTRY_SOUND, 1, "bell", {}}, nullptr),
              ImportResult::Imported);
    CFileEntry damaged;
    damaged.m_type = ENTRY_SOUND;
    damaged.m_size = 40;
    const Bytes codes = WriteCodes({65, 66, 258});
    damaged.m_data = PackedData(std::span(codes.data(), codes.size()));
    damaged.m_packedSize = static_cast<std::int32_t>(codes.size());
    EXPECT_EQ(ExportEntry(damaged, dir.File("bad.wav"), nullptr), ExportResult::Refused);
    EXPECT_EQ(ExportEntry(*doc.m_pHead, dir.File("out.wav"), nullptr), ExportResult::Exported);
    EXPECT_EQ(ReadBytes(dir.File("out.wav")), wave);
}

// ---- Wave files ----------------------------------------------------------------

struct WaveRow {
    std::string name;
    Bytes file;
    std::string message; // empty: stored, and exported byte for byte
    std::string caption;
};

Bytes WithField(Bytes wave, std::size_t offset, std::initializer_list<std::uint8_t> bytes) {
    std::copy(bytes.begin(), bytes.end(), wave.begin() + static_cast<std::ptrdiff_t>(offset));
    return wave;
}

std::vector<WaveRow> WaveRows() {
    const Bytes good = MakeWave(500);
    const char* const notWave = "That does not look like a Wave File";
    return {
        {"30 bytes", Bytes(good.begin(), good.begin() + 30), "Error reading file header", "Error"},
        {"43 bytes", Bytes(good.begin(), good.begin() + 43), "Error reading file header", "Error"},
        {"exactly 44 bytes", MakeWave(0), "", ""},
        {"RIFX", WithField(good, 0, {'R', 'I', 'F', 'X'}), notWave, "error"},
        {"not WAVEfmt", WithField(good, 8, {'W', 'A', 'V', 'E', 'f', 'm', 't', '_'}),
         "That does not lok like a Wave File", "error"},
        {"format block of 0", WithField(good, 16, {0, 0, 0, 0}), notWave, "error"},
        {"format block of 18", WithField(good, 16, {18, 0, 0, 0}), notWave, "error"},
        {"format tag 3", WithField(good, 20, {3, 0}),
         "That does not look like a WAVE_FORMAT_PCM file", "error"},
        {"two channels", WithField(good, 22, {2, 0}), "That does not look like a mono wave file",
         "Error"},
        {"22050 samples a second", WithField(good, 24, {0x22, 0x56, 0, 0}),
         "That wave file does not\nhave sample rate 11025", "Error"},
        {"16-bit samples", WithField(good, 34, {16, 0}),
         "That wave file does not\nhave 8-bit samples", "Error"},
        {"RIFF size that lies", WithField(good, 4, {1, 2, 3, 4}), "", ""},
        {"data size that lies", WithField(good, 40, {0xFF, 0xFF, 0xFF, 0xFF}), "", ""},
    };
}

void PrintTo(const WaveRow& row, std::ostream* os) {
    *os << row.name;
}

class DamagedWave : public testing::TestWithParam<WaveRow> {};

TEST_P(DamagedWave, IsRefusedWithItsMessageOrComesBackWhole) {
    const WaveRow& row = GetParam();
    TempDir dir;
    WriteBytes(dir.File("in.wav"), row.file);
    MessageRecorder messages;
    COstrevaneDoc doc;
    int owner = 0;
    const ImportResult result =
        ImportFile(doc, {dir.File("in.wav"), ENTRY_SOUND, 1, "sound", {}}, &owner);
    if (!row.message.empty()) {
        EXPECT_EQ(result, ImportResult::Refused);
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].text, row.message);
        EXPECT_EQ(messages.Messages()[0].caption, row.caption);
        EXPECT_EQ(doc.m_pHead, nullptr);
        return;
    }
    ASSERT_EQ(result, ImportResult::Imported);
    EXPECT_EQ(doc.m_pHead->m_size, static_cast<std::int32_t>(row.file.size()));
    ASSERT_EQ(ExportEntry(*doc.m_pHead, dir.File("out.wav"), &owner), ExportResult::Exported);
    EXPECT_EQ(ReadBytes(dir.File("out.wav")), row.file);
    EXPECT_TRUE(messages.Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, DamagedWave, testing::ValuesIn(WaveRows()),
                         [](const auto& info) { return RowTestName(info.param.name); });

} // namespace
