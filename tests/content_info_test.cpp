// What an entry's content is (picture, sound or data) as read from its
// headers, the waveform of a sound's samples, and the hex view's lines.

#include "platform/ByteOrder.h"
#include "tests/TestFiles.h"
#include "transfer/ContentInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <optional>

namespace {

// A bitmap's file header and a header of headerSize bytes (the core
// header's layout for 12, else the info header's, zero past its fields),
// then pixelBytes bytes of pixels.
Bytes Bitmap(std::uint32_t headerSize, std::int32_t width, std::int32_t height, std::uint16_t bits,
             std::size_t pixelBytes = 4) {
    Bytes b{'B', 'M'};
    AppendLittleEndian32(b, 14 + headerSize + static_cast<std::uint32_t>(pixelBytes));
    AppendLittleEndian32(b, 0);
    AppendLittleEndian32(b, 14 + headerSize);
    AppendLittleEndian32(b, headerSize);
    if (headerSize == 12) {
        AppendLittleEndian16(b, static_cast<std::uint16_t>(width));
        AppendLittleEndian16(b, static_cast<std::uint16_t>(height));
    } else {
        AppendInt32(b, width);
        AppendInt32(b, height);
    }
    AppendLittleEndian16(b, 1);
    AppendLittleEndian16(b, bits);
    b.resize(14 + headerSize + pixelBytes);
    return b;
}

Bytes Cut(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

Bytes With(Bytes bytes, std::size_t at, const std::string& text) {
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    return bytes;
}

struct Chunk {
    std::string id;
    Bytes body;
    std::optional<std::uint32_t> claimed; // the size field, when it lies
};

// A RIFF file of these chunks, each padded to an even size; the RIFF size
// field is right unless riffSize is given.
Bytes Riff(const std::vector<Chunk>& chunks, const std::string& form = "WAVE",
           std::optional<std::uint32_t> riffSize = {}) {
    Bytes b{'R', 'I', 'F', 'F', 0, 0, 0, 0};
    b.insert(b.end(), form.begin(), form.end());
    for (const Chunk& chunk : chunks) {
        b.insert(b.end(), chunk.id.begin(), chunk.id.end());
        AppendLittleEndian32(b,
                             chunk.claimed.value_or(static_cast<std::uint32_t>(chunk.body.size())));
        b.insert(b.end(), chunk.body.begin(), chunk.body.end());
        if (chunk.body.size() % 2 != 0)
            b.push_back(0);
    }
    WriteLittleEndian32(b.data() + 4, riffSize.value_or(static_cast<std::uint32_t>(b.size() - 8)));
    return b;
}

Chunk Fmt(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
          std::size_t size = 16) {
    Bytes b;
    AppendLittleEndian16(b, tag);
    AppendLittleEndian16(b, channels);
    AppendLittleEndian32(b, rate);
    AppendLittleEndian32(b, rate * channels * ((bits + 7u) / 8));
    AppendLittleEndian16(b, static_cast<std::uint16_t>(channels * ((bits + 7u) / 8)));
    AppendLittleEndian16(b, bits);
    b.resize(size);
    return {"fmt ", b, {}};
}

Chunk Data(std::size_t bytes, std::optional<std::uint32_t> claimed = {}) {
    return {"data", Bytes(bytes, 0x80), claimed};
}

const Chunk MONO8 = Fmt(1, 1, 11025, 8);

SContentInfo Picture(std::uint32_t width, std::uint32_t height, std::uint32_t bits,
                     bool bTopDown = false) {
    SContentInfo info;
    info.kind = ContentKind::Picture;
    info.picture = {width, height, bits, bTopDown};
    return info;
}

SContentInfo Sound(std::uint32_t rate, std::uint32_t channels, std::uint32_t bits,
                   std::uint64_t samples, std::uint64_t durationMs, std::size_t dataOffset,
                   std::size_t dataBytes) {
    SContentInfo info;
    info.kind = ContentKind::Sound;
    info.sound = {rate, channels, bits, samples, durationMs, dataOffset, dataBytes};
    return info;
}

const SContentInfo DATA;

} // namespace

TEST(ClassifyContent, ReadsOnlyWellFormedHeadersWithinTheContent) {
    struct Row {
        const char* label;
        Bytes content;
        SContentInfo expected; // but for its size, the content's always
    };
    const Row rows[] = {
        {"info header, 8 bits", Bitmap(40, 16, 8, 8), Picture(16, 8, 8)},
        {"core header, 24 bits", Bitmap(12, 3, 2, 24), Picture(3, 2, 24)},
        {"core header, widest", Bitmap(12, 65535, 65535, 4), Picture(65535, 65535, 4)},
        {"v5 header, 32 bits", Bitmap(124, 1, 1, 32), Picture(1, 1, 32)},
        {"odd header size 41, 16 bits", Bitmap(41, 2, 2, 16), Picture(2, 2, 16)},
        {"top-down", Bitmap(40, 5, -7, 1), Picture(5, 7, 1, true)},
        {"top-down, lowest height", Bitmap(40, 1, INT_MIN, 1), Picture(1, 2147483648u, 1, true)},
        {"header ends with the content", Bitmap(40, 1, 1, 8, 0), Picture(1, 1, 8)},
        {"core header ends with the content", Bitmap(12, 1, 1, 8, 0), Picture(1, 1, 8)},
        {"2 bits", Bitmap(40, 1, 1, 2), DATA},
        {"0 bits", Bitmap(40, 1, 1, 0), DATA},
        {"width 0", Bitmap(40, 0, 1, 8), DATA},
        {"negative width", Bitmap(40, -3, 1, 8), DATA},
        {"height 0", Bitmap(40, 1, 0, 8), DATA},
        {"core header, width 0", Bitmap(12, 0, 1, 8), DATA},
        {"core header, height 0", Bitmap(12, 1, 0, 8), DATA},
        {"header size 39", Bitmap(39, 1, 1, 8), DATA},
        {"header size 13", Bitmap(13, 1, 1, 8), DATA},
        {"header a byte short", Cut(Bitmap(40, 1, 1, 8, 0), 53), DATA},
        {"core header a byte short", Cut(Bitmap(12, 1, 1, 8, 0), 25), DATA},
        {"header size past 4 GiB", Bitmap(0xFFFFFFFF, 1, 1, 8, 0), DATA},
        {"\"BM\" alone", {'B', 'M'}, DATA},
        {"\"BM\" and no header size", Cut(Bitmap(40, 1, 1, 8), 17), DATA},
        {"lower-case \"bm\"", With(Bitmap(40, 1, 1, 8), 0, "bm"), DATA},
        {"8-bit mono", Riff({MONO8, Data(22055)}), Sound(11025, 1, 8, 22055, 2000, 44, 22055)},
        {"16-bit stereo, a partial frame", Riff({Fmt(1, 2, 44100, 16), Data(4003)}),
         Sound(44100, 2, 16, 1000, 22, 44, 4003)},
        {"12 bits take 2 bytes", Riff({Fmt(1, 1, 8000, 12), Data(10)}),
         Sound(8000, 1, 12, 5, 0, 44, 10)},
        {"rate 0", Riff({Fmt(1, 1, 0, 8), Data(10)}), Sound(0, 1, 8, 10, 0, 44, 10)},
        {"0 channels", Riff({Fmt(1, 0, 8000, 8), Data(10)}), Sound(8000, 0, 8, 0, 0, 44, 10)},
        {"0 bits", Riff({Fmt(1, 1, 8000, 0), Data(10)}), Sound(8000, 1, 0, 0, 0, 44, 10)},
        {"no samples", Riff({MONO8, Data(0)}), Sound(11025, 1, 8, 0, 0, 44, 0)},
        {"data claims more than the file holds", Riff({MONO8, Data(10, 1000)}),
         Sound(11025, 1, 8, 10, 0, 44, 10)},
        {"data claims 4 GiB", Riff({MONO8, Data(10, 0xFFFFFFFF)}),
         Sound(11025, 1, 8, 10, 0, 44, 10)},
        {"data claims less", Riff({MONO8, Data(10, 4)}), Sound(11025, 1, 8, 4, 0, 44, 4)},
        {"RIFF size says 4", Riff({MONO8, Data(10)}, "WAVE", 4), Sound(11025, 1, 8, 10, 0, 44, 10)},
        {"odd chunk before the data", Riff({MONO8, {"LIST", {1, 2, 3}, {}}, Data(2)}),
         Sound(11025, 1, 8, 2, 0, 56, 2)},
        {"odd format chunk is padded", Riff({Fmt(1, 1, 11025, 8, 17), Data(2)}),
         Sound(11025, 1, 8, 2, 0, 46, 2)},
        {"longer format chunk", Riff({Fmt(1, 1, 11025, 8, 18), Data(2)}),
         Sound(11025, 1, 8, 2, 0, 46, 2)},
        {"RIFF without WAVE", Riff({MONO8, Data(10)}, "AVI "), DATA},
        {"RIFX", With(Riff({MONO8, Data(10)}), 0, "RIFX"), DATA},
        {"float format", Riff({Fmt(3, 1, 11025, 32), Data(8)}), DATA},
        {"extensible format", Riff({Fmt(0xFFFE, 1, 11025, 8, 40), Data(8)}), DATA},
        {"format chunk of 14 bytes", Riff({Fmt(1, 1, 11025, 8, 14), Data(8)}), DATA},
        {"format chunk cut by the end", Cut(Riff({MONO8}), 35), DATA},
        {"data before format", Riff({Data(8), MONO8}), DATA},
        {"no data", Riff({MONO8, {"LIST", {1, 2}, {}}}), DATA},
        {"no format", Riff({Data(8)}), DATA},
        {"data header cut", Cut(Riff({MONO8, Data(0)}), 43), DATA},
        {"chunk claiming 4 GiB", Riff({MONO8, {"junk", {1, 2}, 0xFFFFFFFF}, Data(2)}), DATA},
        {"RIFF header alone", Riff({}), DATA},
        {"empty", {}, DATA},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const SContentInfo info = ClassifyContent(row.content);
        EXPECT_EQ(info.kind, row.expected.kind);
        EXPECT_EQ(info.size, row.content.size());
        EXPECT_EQ(info.picture.width, row.expected.picture.width);
        EXPECT_EQ(info.picture.height, row.expected.picture.height);
        EXPECT_EQ(info.picture.bitsPerPixel, row.expected.picture.bitsPerPixel);
        EXPECT_EQ(info.picture.bTopDown, row.expected.picture.bTopDown);
        EXPECT_EQ(info.sound.sampleRate, row.expected.sound.sampleRate);
        EXPECT_EQ(info.sound.channels, row.expected.sound.channels);
        EXPECT_EQ(info.sound.bitsPerSample, row.expected.sound.bitsPerSample);
        EXPECT_EQ(info.sound.samples, row.expected.sound.samples);
        EXPECT_EQ(info.sound.durationMs, row.expected.sound.durationMs);
        EXPECT_EQ(info.sound.dataOffset, row.expected.sound.dataOffset);
        EXPECT_EQ(info.sound.dataBytes, row.expected.sound.dataBytes);
    }
}

TEST(SummarizeWaveform, EachColumnGivesTheLowestAndHighestOfItsShare) {
    struct Row {
        const char* label;
        Bytes samples;
        std::uint32_t columns;
        std::vector<WaveColumn> expected;
    };
    const Row rows[] = {
        {"no samples", {}, 3, {}},
        {"no columns", {1, 2, 3}, 0, {}},
        {"one column", {3, 9, 1, 7, 5}, 1, {{1, 9}}},
        {"one sample a column", {5, 1, 9}, 3, {{5, 5}, {1, 1}, {9, 9}}},
        {"fewer samples than columns",
         {10, 20},
         5,
         {{10, 10}, {10, 10}, {10, 10}, {20, 20}, {20, 20}}},
        {"one sample, many columns", {7}, 3, {{7, 7}, {7, 7}, {7, 7}}},
        {"uneven split", {9, 2, 7, 7, 0, 255, 3}, 3, {{2, 9}, {7, 7}, {0, 255}}},
        {"one more sample than columns", {1, 2, 3, 4}, 3, {{1, 1}, {2, 2}, {3, 4}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(SummarizeWaveform(row.samples, row.columns), row.expected);
    }
}

TEST(HexLine, LinesUpItsColumnsWhateverTheBytes) {
    struct Row {
        const char* label;
        Bytes bytes;
        std::uint64_t offset;
        std::string expected;
    };
    const Row rows[] = {
        {"full line",
         {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P'},
         0x10,
         "00000010  41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50  ABCDEFGHIJKLMNOP"},
        {"short line",
         {'H', 'i', '!'},
         0x20,
         "00000020  48 69 21" + std::string(13 * 3 + 1, ' ') + "  Hi!"},
        {"nine bytes", Bytes(9, '0'), 0xFFFFFFF0,
         "FFFFFFF0  30 30 30 30 30 30 30 30  30" + std::string(7 * 3, ' ') + "  000000000"},
        {"controls",
         {0x00, 0x1F, 0x20, 0x7E, 0x7F, 0x80, 0x9F, 0xA0},
         0,
         "00000000  00 1F 20 7E 7F 80 9F A0" + std::string(8 * 3 + 1, ' ') + "  .. ~...\xA0"},
        {"high Latin-1",
         {0xE9, 0xFF, 0xAD},
         0xAB,
         "000000AB  E9 FF AD" + std::string(13 * 3 + 1, ' ') + "  \xE9\xFF\xAD"},
        {"offset past 4 GiB",
         {'x'},
         0x123456789,
         "123456789  78" + std::string(15 * 3 + 1, ' ') + "  x"},
        {"bytes past the sixteenth", Bytes(17, 'z'), 0,
         "00000000  7A 7A 7A 7A 7A 7A 7A 7A  7A 7A 7A 7A 7A 7A 7A 7A  zzzzzzzzzzzzzzzz"},
        {"no bytes", {}, 0, "00000000" + std::string(16 * 3 + 2, ' ') + "  "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(HexLine(row.bytes, row.offset), row.expected);
    }
}
