// `ostr info` and `ostr waveform` on entries packed here: what each prints,
// and that an entry that cannot be unpacked fails as extract fails.

#include "archive/FileEntry.h"
#include "platform/ByteOrder.h"
#include "tests/ArchiveBuilder.h"
#include "tests/OstrRunner.h"
#include "transfer/DeltaCoding.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

// A 2 x 3 bitmap of 24 bits, its rows stored top first.
Bytes TopDownBitmap() {
    Bytes b{'B', 'M'};
    AppendLittleEndian32(b, 14 + 40 + 24);
    AppendLittleEndian32(b, 0);
    AppendLittleEndian32(b, 14 + 40);
    AppendLittleEndian32(b, 40);
    AppendInt32(b, 2);
    AppendInt32(b, -3);
    AppendLittleEndian16(b, 1);
    AppendLittleEndian16(b, 24);
    b.resize(14 + 40 + 24, 0x33);
    return b;
}

// Sounds are stored delta-coded, as an import stores them.
Bytes AsStored(Bytes sound) {
    CDeltaEncoder().Encode(sound.data(), sound.size());
    return sound;
}

// An 8-bit mono wave whose five samples are 10, 200, 30, 40, 250.
Bytes FiveSamples() {
    Bytes wave = MakeWave(5);
    const Bytes samples{10, 200, 30, 40, 250};
    std::copy(samples.begin(), samples.end(), wave.end() - 5);
    return wave;
}

class OstrInfo : public testing::Test {
protected:
    void SetUp() override {
        archive = dir.File("a.dat");
        WriteBytes(archive, ArchiveBuilder()
                                .Packed(ENTRY_PORTRAIT, 1, "Face", TopDownBitmap())
                                .Packed(ENTRY_SOUND, 2, "Bell", AsStored(MakeWave(3000)))
                                .Packed(ENTRY_VIEWPORT_OVERLAY, 3, "Junk", Bytes(100, 'B'))
                                .Packed(ENTRY_SOUND, 4, "Wide",
                                        AsStored(MakeWave(64, {16, 1, 2, 22050, 16})))
                                .Entry(ENTRY_SOUND, 5, "Bad", {0xFF, 0xFF, 0xFF, 0xFF}, 50)
                                .Packed(ENTRY_SOUND, 6, "Five", AsStored(FiveSamples()))
                                .Build());
    }

    TempDir dir;
    std::string archive;
};

} // namespace

TEST_F(OstrInfo, GivesTheKindAndItsFactsAsLinesOrJson) {
    struct Row {
        const char* address;
        std::string text;
        nlohmann::ordered_json json;
    };
    const Row rows[] = {
        {"portrait:1",
         "kind: picture\nwidth: 2\nheight: 3\nbitsPerPixel: 24\nsize: 78\n",
         {{"kind", "picture"}, {"width", 2}, {"height", 3}, {"bitsPerPixel", 24}, {"size", 78}}},
        {"sound:2",
         "kind: sound\nsampleRate: 11025\nchannels: 1\nbitsPerSample: 8\nsamples: 3000\n"
         "durationMs: 272\nsize: 3044\n",
         {{"kind", "sound"},
          {"sampleRate", 11025},
          {"channels", 1},
          {"bitsPerSample", 8},
          {"samples", 3000},
          {"durationMs", 272},
          {"size", 3044}}},
        {"overlay:3", "kind: data\nsize: 100\n", {{"kind", "data"}, {"size", 100}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.address);
        Result r = Ostr({"info", archive, row.address});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, row.text);
        r = Ostr({"info", archive, row.address, "--json"});
        ASSERT_EQ(r.status, 0) << r.err;
        // Ordered: the keys come in the order the text gives them.
        EXPECT_EQ(nlohmann::ordered_json::parse(r.out), row.json);
    }
}

TEST_F(OstrInfo, WaveformGivesEachColumnsLowestAndHighestSample) {
    Result r = Ostr({"waveform", archive, "sound:6", "--columns", "2", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "[\n  [10, 200],\n  [30, 250]\n]\n");
    EXPECT_EQ(nlohmann::json::parse(r.out), nlohmann::json::parse("[[10, 200], [30, 250]]"));
    r = Ostr({"waveform", archive, "sound:6", "--columns", "7"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "10 10\n10 10\n200 200\n30 30\n30 30\n40 40\n250 250\n");
    r = Ostr({"waveform", archive, "sound:6", "--columns", "1000000"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1000000);
}

TEST_F(OstrInfo, RefusalsPrintNothingOnStandardOutput) {
    const Result extract = Ostr({"extract", archive, "sound:5", "-o", dir.File("out.wav")});
    ASSERT_EQ(extract.err, "error: That entry's data is damaged\n");
    const std::string badColumns = "W must be a whole number from 1 to 1000000";
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string err; // all of stderr, or for usage errors a part of it
    };
    const Row rows[] = {
        {{"info", archive, "sound:5"}, 1, extract.err},
        {{"info", archive, "sound:5", "--json"}, 1, extract.err},
        {{"waveform", archive, "sound:5", "--columns", "4"}, 1, extract.err},
        {{"info", archive, "sound:9"},
         1,
         "ostr: There is no entry sound:9 in \"" + archive + "\".\n"},
        {{"waveform", archive, "portrait:1", "--columns", "4"},
         1,
         "ostr: portrait:1 is a picture, not an 8-bit mono sound.\n"},
        {{"waveform", archive, "overlay:3", "--columns", "4", "--json"},
         1,
         "ostr: overlay:3 is data, not an 8-bit mono sound.\n"},
        {{"waveform", archive, "sound:4", "--columns", "4"},
         1,
         "ostr: sound:4 is a 16-bit sound in 2 channels, not an 8-bit mono sound.\n"},
        {{"waveform", archive, "sound:6"}, 2, "--columns is required"},
        {{"waveform", archive, "sound:6", "--columns", "0"}, 2, badColumns},
        {{"waveform", archive, "sound:6", "--columns", "1000001"}, 2, badColumns},
        {{"waveform", archive, "sound:6", "--columns", "-1"}, 2, badColumns},
        {{"waveform", archive, "sound:6", "--columns", "1.5"}, 2, badColumns},
        {{"waveform", archive, "sound:6", "--columns", "4294967297"}, 2, badColumns},
        {{"info", archive, "sound"}, 2, "TYPE:ID"},
    };
    for (const Row& row : rows) {
        std::string label = row.args[0];
        for (std::size_t i = 2; i < row.args.size(); ++i)
            label += " " + row.args[i];
        SCOPED_TRACE(label);
        const Result r = Ostr(row.args);
        EXPECT_EQ(r.status, row.status);
        if (row.status == 1)
            EXPECT_EQ(r.err, row.err);
        else
            EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}
