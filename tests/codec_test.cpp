#include "codec/Packer.h"
#include "codec/StreamForm.h"
#include "codec/Unpacker.h"
#include "codec/WordSink.h"
#include "codec/WordSource.h"
#include "platform/LargeMemory.h"
#include "tests/CodeStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

// Packs data through the real word sink, in blocks of blockSize bytes (0: one
// block), and returns the stream as stored: each word least significant byte
// first.
Bytes Pack(const Bytes& data, std::size_t blockSize = 0,
           std::uint32_t wideKeysFrom = CPacker::WIDE_KEYS_FROM) {
    CPacker packer(AppendWord, wideKeysFrom);
    const std::size_t step = blockSize == 0 ? data.size() : blockSize;
    for (std::size_t at = 0; at < data.size(); at += step) {
        const std::size_t n = std::min(step, data.size() - at);
        packer.Write(data.data() + at, static_cast<std::int32_t>(n));
    }
    packer.Finish();
    EXPECT_FALSE(packer.Failed());
    EXPECT_FALSE(g_bWordSinkFailed);
    Bytes stream(static_cast<std::size_t>(g_wordCount) * 4);
    for (std::size_t i = 0; i < stream.size(); ++i)
        stream[i] = static_cast<std::uint8_t>(g_pWords[i / 4] >> (8 * (i % 4)));
    ReleaseWords();
    return stream;
}

struct SUnpacked {
    bool ok = false;
    bool clean = false;
    Bytes data;
    std::size_t wordsRead = 0;
    int notices = 0;
    std::vector<std::size_t> positions; // words read after each successful read
};

// Per thread, as the notice is a plain function and threads unpack at once.
thread_local int t_notices = 0;
void CountNotice() {
    ++t_notices;
}

// How the unpacker gets its words and where it writes.
enum class EReading {
    Ahead,      // reads the packed bytes directly, ahead of the codes
    WordByWord, // takes them from NextWord
    Appending,  // reads ahead, appending to one buffer that moves at every read
};

const char* NameOf(EReading reading) {
    switch (reading) {
    case EReading::Ahead:
        return "ahead";
    case EReading::WordByWord:
        return "word by word";
    case EReading::Appending:
        break;
    }
    return "appending";
}

// The words read so far: the unpacker's count, and with NextWord also where
// the source stands, which must agree.
std::size_t WordsRead(const CUnpacker& unpacker, EReading reading, const Bytes& stream) {
    const std::size_t words = unpacker.WordsRead();
    if (reading == EReading::WordByWord) {
        EXPECT_EQ(static_cast<std::size_t>(g_pSourceWord - stream.data()), 4 * words);
    }
    return words;
}

// Reads the next n bytes, at done, into out: a buffer of its own for every
// read, or, when appending, a new buffer that holds all the bytes before.
bool ReadNext(CUnpacker& unpacker, EReading reading, Bytes& out, std::size_t done, std::size_t n) {
    if (reading != EReading::Appending)
        return unpacker.Read(out.data() + done, static_cast<std::int32_t>(n)) ==
               CUnpacker::Status::Ok;
    Bytes moved(done + n);
    std::copy_n(out.begin(), done, moved.begin());
    const CUnpacker::Status status =
        unpacker.ReadAppending(moved.data(), done, static_cast<std::int32_t>(n));
    std::copy_n(moved.begin(), done + n, out.begin());
    return status == CUnpacker::Status::Ok;
}

// Unpacks count bytes of stream, in reads of chunk bytes (0: one read).
SUnpacked Unpack(const Bytes& stream, std::size_t count, std::size_t chunk = 0,
                 EReading reading = EReading::Ahead) {
    SUnpacked result;
    result.data.resize(count);
    t_notices = 0;
    SetWordSource(stream.data(), stream.size());
    CUnpacker unpacker = reading == EReading::WordByWord
                             ? CUnpacker(NextWord, CountNotice)
                             : CUnpacker(std::span(stream), CountNotice);
    const std::size_t step = chunk == 0 ? std::max<std::size_t>(count, 1) : chunk;
    result.ok = true;
    for (std::size_t at = 0; at < count && result.ok; at += step) {
        const std::size_t n = std::min(step, count - at);
        result.ok = ReadNext(unpacker, reading, result.data, at, n);
        if (result.ok)
            result.positions.push_back(WordsRead(unpacker, reading, stream));
    }
    result.clean = unpacker.AtCleanEnd();
    result.wordsRead = result.ok ? WordsRead(unpacker, reading, stream) : unpacker.WordsRead();
    result.notices = t_notices;
    return result;
}

constexpr EReading ALL_READINGS[] = {EReading::Ahead, EReading::WordByWord, EReading::Appending};

Bytes RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes data(n);
    for (auto& b : data)
        b = static_cast<std::uint8_t>(rng());
    return data;
}

// Words from a small vocabulary: long repeated strings, many dictionary hits.
Bytes TextBytes(std::size_t n, unsigned seed) {
    static const char* const words[] = {"the ",  "archive ", "entry ", "sound ", "packed ",
                                        "code ", "width ",   "of ",    "a ",     "portrait\n"};
    std::mt19937 rng(seed);
    Bytes data;
    while (data.size() < n) {
        const char* w = words[rng() % 10];
        data.insert(data.end(), w, w + std::strlen(w));
    }
    data.resize(n);
    return data;
}

// Bytes in which no pair of neighbours repeats, so every code is a literal.
// Taking the largest byte that makes a new pair gives all 65536 pairs; for
// each byte the pairs are used from the top down.
Bytes DistinctPairs(std::size_t n) {
    std::vector<int> nextFree(256, 255);
    Bytes data{0};
    while (data.size() < n && nextFree[data.back()] >= 0)
        data.push_back(static_cast<std::uint8_t>(nextFree[data.back()]--));
    return data;
}

// The codes of data from a plain map-based coder, width-change codes
// included, to hold the packer's own search to. With stopOneIn, it stops
// short of the longest string at random about once in that many times it
// could go on, as another coder might: the decoder then defines the entry
// it skipped a second time, under a code of its own.
std::vector<std::uint32_t> PlainCodes(const Bytes& data, unsigned stopOneIn = 0,
                                      unsigned seed = 0) {
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> codes;
    if (data.empty())
        return codes;
    std::unordered_map<std::uint64_t, std::uint32_t> children;
    std::uint32_t next = 256;
    std::uint64_t tableSize = 512;
    std::uint32_t pending = data[0];
    for (std::size_t i = 1; i < data.size(); ++i) {
        const std::uint64_t key = std::uint64_t{pending} << 8 | data[i];
        if (const auto it = children.find(key);
            it != children.end() && (stopOneIn == 0 || rng() % stopOneIn != 0)) {
            pending = it->second;
            continue;
        }
        codes.push_back(pending);
        children.emplace(key, next++);
        if (next == tableSize - 3) {
            codes.push_back(static_cast<std::uint32_t>(tableSize - 1));
            tableSize *= 2;
        }
        pending = data[i];
    }
    codes.push_back(pending);
    return codes;
}

// Random letters from an alphabet of size letters: with two, strings grow
// long and most searches find a child.
Bytes Letters(std::size_t n, unsigned size, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes data(n);
    for (auto& b : data)
        b = static_cast<std::uint8_t>('a' + rng() % size);
    return data;
}

// Runs of random lengths up to longest, of bytes drawn from values, with now
// and then a random byte between: runs that go on past, stop short of and
// reach the longest run of their byte the dictionary holds.
Bytes Runs(std::size_t n, unsigned values, std::size_t longest, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes data;
    while (data.size() < n) {
        data.insert(data.end(), 1 + rng() % longest, static_cast<std::uint8_t>(rng() % values));
        if (rng() % 4 == 0)
            data.push_back(static_cast<std::uint8_t>(rng()));
    }
    data.resize(n);
    return data;
}

Bytes Hex(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

Bytes RunOf(std::size_t n, std::uint8_t value) {
    return Bytes(n, value);
}

Bytes Sequence(int count) {
    Bytes data;
    for (int i = 0; i < count; ++i)
        data.push_back(static_cast<std::uint8_t>(i));
    return data;
}

// n(n + 1) / 2 bytes of one value: the last code stands for an n-byte string.
std::size_t Triangle(std::size_t n) {
    return n * (n + 1) / 2;
}

// Text, then noise, then one long run (an n-byte string at its end): every
// kind of code a stream holds.
Bytes TextNoiseAndRun(std::size_t textBytes, std::size_t noiseBytes, unsigned seed,
                      std::size_t runString, std::uint8_t runByte) {
    Bytes input = TextBytes(textBytes, seed);
    const Bytes noise = RandomBytes(noiseBytes, seed + 1);
    input.insert(input.end(), noise.begin(), noise.end());
    input.insert(input.end(), Triangle(runString), runByte);
    return input;
}

} // namespace

TEST(WordSink, GrowsByAThirdFromTenWords) {
    const std::int32_t expected[] = {10, 13,  17,  22,  29,  38,  50, 66,
                                     88, 117, 156, 208, 277, 369, 492};
    std::vector<std::int32_t> seen;
    for (std::uint32_t i = 0; i < 400; ++i) {
        AppendWord(i * 7, false);
        if (seen.empty() || seen.back() != g_wordCapacity)
            seen.push_back(g_wordCapacity);
    }
    EXPECT_EQ(seen, std::vector<std::int32_t>(std::begin(expected), std::end(expected)));
    ASSERT_EQ(g_wordCount, 400);
    for (std::int32_t i = 0; i < 400; ++i)
        ASSERT_EQ(g_pWords[i], static_cast<std::uint32_t>(i) * 7);
    AppendWord(1, true);
    EXPECT_EQ(g_wordCount, 400);

    ReleaseWords();
    EXPECT_EQ(g_pWords, nullptr);
    EXPECT_EQ(g_wordCapacity, 0);
    EXPECT_EQ(g_wordCount, 0);
}

TEST(WordSink, RefusesWordsPastTheInt32ByteLimit) {
    // A real small array posing as a full one, so the limit is reached
    // without allocating 2 GiB; nothing is written when the append fails.
    constexpr std::int32_t realCapacity = 4;
    g_pWords = static_cast<std::uint32_t*>(AllocateZeroed(realCapacity * sizeof(std::uint32_t)));
    g_wordCapacity = g_wordCount = MAX_SINK_WORDS;
    AppendWord(5, false);
    EXPECT_TRUE(g_bWordSinkFailed);
    EXPECT_EQ(g_wordCount, MAX_SINK_WORDS);

    // The array is freed by its capacity, so it stops posing first.
    g_wordCapacity = realCapacity;
    g_wordCount = 0;
    ReleaseWords();
    EXPECT_FALSE(g_bWordSinkFailed);
    AppendWord(5, false);
    EXPECT_EQ(g_wordCount, 1);
    ReleaseWords();
}

// Every thread has a word sink and a word source of its own, so packings and
// unpackings on several threads at once give each the same bytes as alone.
TEST(WordSinkAndSource, ThreadsPackAndUnpackAtOnce) {
    constexpr int THREADS = 4;
    std::vector<Bytes> inputs;
    std::vector<Bytes> streams;
    for (int t = 0; t < THREADS; ++t) {
        inputs.push_back(TextNoiseAndRun(30000 + 1000 * t, 20000, 60 + t, 1100 + t,
                                         static_cast<std::uint8_t>('a' + t)));
        streams.push_back(Pack(inputs.back()));
    }
    std::vector<int> sound(THREADS, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round) {
                const Bytes stream = Pack(inputs[t], 777);
                const SUnpacked unpacked =
                    Unpack(stream, inputs[t].size(), 1000, EReading::WordByWord);
                if (stream == streams[t] && unpacked.ok && unpacked.clean &&
                    unpacked.data == inputs[t] && unpacked.notices == 1100 + t - 1023)
                    ++sound[t];
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(sound, std::vector<int>(THREADS, 3));
}

TEST(Packer, WritesTheWorkedExamples) {
    const struct {
        const char* name;
        Bytes input;
        Bytes stream;
    } rows[] = {
        {"empty", {}, {}},
        {"one byte", Hex({0x41}), Hex({0x41, 0, 0, 0})},
        {"abcde, fourth code split", Hex({0x61, 0x62, 0x63, 0x64, 0x65}),
         Hex({0x61, 0xC4, 0x8C, 0x31, 0x54, 0x06, 0, 0})},
        {"ten equal bytes", RunOf(10, 0x41), Hex({0x41, 0, 0x06, 0x84, 0x02, 0, 0, 0})},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Pack(row.input), row.stream);
    }
}

TEST(Packer, PadsWithAZeroWordOnlyAtAWordBoundary) {
    const struct {
        int values;
        std::size_t bytes;
    } rows[] = {{32, 40}, {31, 36}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.values);
        const Bytes stream = Pack(Sequence(row.values));
        ASSERT_EQ(stream.size(), row.bytes);
        if (row.values == 32) {
            EXPECT_EQ(Bytes(stream.end() - 4, stream.end()), Bytes(4, 0));
        }
    }
}

TEST(Packer, EmptyInputOnlyFlushes) {
    static std::vector<std::pair<std::uint32_t, bool>> calls;
    calls.clear();
    CPacker packer([](std::uint32_t word, bool flush) { calls.emplace_back(word, flush); });
    const std::uint8_t byte = 1;
    packer.Write(&byte, 0);
    packer.Write(&byte, -3);
    packer.Finish();
    EXPECT_EQ(calls, (std::vector<std::pair<std::uint32_t, bool>>{{0, true}}));
}

TEST(Packer, ARunOf1000BytesTakes13Words) {
    EXPECT_EQ(Pack(RunOf(1000, 0x55)).size(), 13u * 4);
}

TEST(Packer, ChangesWidthAfterCreatingCode508) {
    const Bytes input = DistinctPairs(800);
    std::vector<std::uint32_t> codes = ReadCodes(Pack(input));
    // 253 literals create codes 256-508; then 511 at 9 bits. After 765
    // literals 1023 follows at 10 bits.
    std::vector<std::uint32_t> expected(input.begin(), input.end());
    expected.insert(expected.begin() + 765, 1023);
    expected.insert(expected.begin() + 253, 511);
    ASSERT_GE(codes.size(), expected.size());
    codes.resize(expected.size());
    EXPECT_EQ(codes, expected);
}

TEST(Packer, KeepsTheWidthRulePast16Bits) {
    const Bytes input = RandomBytes(1 << 20, 7);
    const std::vector<std::uint32_t> codes = ReadCodes(Pack(input));
    int width = 9;
    std::uint64_t created = 0;
    for (std::size_t i = 0; i + 1 < codes.size(); ++i) {
        const std::uint32_t change = (std::uint32_t{1} << width) - 1;
        if (codes[i] == change) {
            SCOPED_TRACE(width);
            ASSERT_EQ(255 + created, change - 3);
            ++width;
        } else {
            ASSERT_LT(codes[i], 256 + created);
            ++created;
        }
    }
    EXPECT_GE(width, 18);
}

TEST(Packer, StreamDoesNotDependOnBlockSizes) {
    Bytes input = RandomBytes(90000, 1);
    const Bytes text = TextBytes(60000, 2);
    input.insert(input.end(), text.begin(), text.end());
    input.insert(input.end(), 5000, 0);
    const Bytes whole = Pack(input);

    for (const std::size_t block : {1000u, 7u, 1u}) {
        SCOPED_TRACE(block);
        EXPECT_EQ(Pack(input, block), whole);
    }
    CPacker packer(AppendWord);
    std::mt19937 rng(3);
    for (std::size_t at = 0; at < input.size();) {
        const std::size_t n = std::min<std::size_t>(rng() % 3000, input.size() - at);
        packer.Write(input.data() + at, static_cast<std::int32_t>(n));
        at += n;
    }
    packer.Finish();
    EXPECT_EQ(g_wordCount * 4u, whole.size());
    EXPECT_EQ(std::memcmp(g_pWords, whole.data(), whole.size()), 0);
    ReleaseWords();
}

// The hash grows many times over these, finds long chains of children and
// starts searches with fewer than three bytes left in a block.
TEST(Packer, MatchesAPlainCoder) {
    Bytes mixed = RandomBytes(40000, 31);
    const Bytes run = RunOf(Triangle(300), 0x20);
    const Bytes text = TextBytes(40000, 32);
    mixed.insert(mixed.end(), run.begin(), run.end());
    mixed.insert(mixed.end(), text.begin(), text.end());
    const struct {
        const char* name;
        Bytes data;
        std::size_t block;
    } rows[] = {
        {"random", RandomBytes(300000, 33), 0},
        {"two letters", Letters(300000, 2, 34), 0},
        {"sixteen letters", Letters(200000, 16, 35), 4099},
        {"text", TextBytes(200000, 36), 0},
        {"mixed, blocks of 1", mixed, 1},
        {"mixed, blocks of 2", mixed, 2},
        {"mixed, blocks of 3", mixed, 3},
        {"runs", Runs(300000, 3, 700, 37), 0},
        {"runs, blocks of 5", Runs(100000, 256, 300, 38), 5},
        {"runs, blocks of 1", Runs(20000, 2, 40, 39), 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Pack(row.data, row.block), WriteCodes(PlainCodes(row.data)));
    }
}

// Keys of 64 bits take over from 32-bit ones while the hash is in use: the
// strings found before must still be found, across later growth too.
TEST(Packer, MatchesAPlainCoderAcrossTheChangeToWideKeys) {
    Bytes input = TextBytes(100000, 44);
    const Bytes random = RandomBytes(200000, 45);
    const Bytes runs = Runs(100000, 4, 500, 46);
    input.insert(input.end(), random.begin(), random.end());
    input.insert(input.end(), runs.begin(), runs.end());
    input.insert(input.end(), input.begin(), input.begin() + 100000);
    input.insert(input.end(), runs.begin(), runs.end());
    const Bytes expected = WriteCodes(PlainCodes(input));
    for (const std::uint32_t from : {512u, 5000u, 60000u}) {
        SCOPED_TRACE(from);
        EXPECT_EQ(Pack(input, 0, from), expected);
        EXPECT_EQ(Pack(input, 777, from), expected);
    }
}

// Past a few hundred thousand strings the hash grows to what the rest of a
// long Write() is expected to need, many times its size at once; a block that
// changes kind then, or short blocks that predict little, must not change the
// codes.
TEST(Packer, MatchesAPlainCoderWhereTheHashGrowsManyFold) {
    Bytes input = RandomBytes(700000, 41);
    const Bytes text = TextBytes(300000, 42);
    input.insert(input.end(), text.begin(), text.end());
    const Bytes expected = WriteCodes(PlainCodes(input));
    for (const std::size_t block : {std::size_t{0}, std::size_t{65536}}) {
        SCOPED_TRACE(block);
        EXPECT_EQ(Pack(input, block), expected);
    }
}

// Random bytes predict a hash for a random input as long as the whole Write();
// when the rest is one long run the hash must not have grown for it.
TEST(Packer, KeepsTheHashNearWhatTheStringsNeed) {
    Bytes input = RandomBytes(1 << 20, 43);
    input.resize(32 << 20, 0x11);
    CPacker packer(AppendWord);
    packer.Write(input.data(), static_cast<std::int32_t>(input.size()));
    packer.Finish();
    EXPECT_FALSE(packer.Failed());
    EXPECT_LT(packer.PeakTableBytes(), std::uint64_t{48} << 20);
    ReleaseWords();
}

TEST(Packer, IgnoresWritesAfterFinish) {
    const Bytes data = TextBytes(5000, 37);
    CPacker packer(AppendWord);
    packer.Write(data.data(), static_cast<std::int32_t>(data.size()));
    packer.Finish();
    const std::int32_t words = g_wordCount;
    packer.Write(data.data(), static_cast<std::int32_t>(data.size()));
    packer.Finish();
    EXPECT_EQ(g_wordCount, words);
    EXPECT_FALSE(packer.Failed());
    ReleaseWords();
}

TEST(Unpacker, ReadsTheWorkedExamples) {
    const struct {
        const char* name;
        Bytes data;
        std::size_t wordsRead;
    } rows[] = {
        {"abcde, code split across words", Hex({0x61, 0x62, 0x63, 0x64, 0x65}), 2},
        {"ten equal bytes, code being defined", RunOf(10, 0x41), 2},
        {"starts with code 255", Hex({0xFF, 0x41}), 1},
        {"32 values, zero word not read", Sequence(32), 9},
        {"31 values", Sequence(31), 9},
    };
    for (const auto& row : rows) {
        for (const EReading reading : ALL_READINGS) {
            SCOPED_TRACE(std::string(row.name) + ", " + NameOf(reading));
            const SUnpacked result = Unpack(Pack(row.data), row.data.size(), 0, reading);
            EXPECT_TRUE(result.ok);
            EXPECT_TRUE(result.clean);
            EXPECT_EQ(result.data, row.data);
            EXPECT_EQ(result.wordsRead, row.wordsRead);
        }
    }
}

TEST(Unpacker, CountZeroReadsNoWord) {
    const Bytes stream = Pack(Hex({1, 2, 3}));
    const SUnpacked result = Unpack(stream, 0);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.wordsRead, 0u);
}

TEST(Unpacker, ReadsInPiecesAsInOneCall) {
    const Bytes input = TextNoiseAndRun(150000, 150000, 4, 1100, 0x33);
    const Bytes stream = Pack(input);

    for (const EReading reading : {EReading::Ahead, EReading::Appending}) {
        for (const std::size_t chunk : {0u, 3u, 1000u, 4093u, 1u}) {
            if (reading == EReading::Appending && chunk != 0 && chunk < 1000)
                continue; // each read copies the whole output
            SCOPED_TRACE(std::string(NameOf(reading)) + ", chunk " + std::to_string(chunk));
            const SUnpacked result = Unpack(stream, input.size(), chunk, reading);
            EXPECT_TRUE(result.ok);
            EXPECT_TRUE(result.clean);
            EXPECT_TRUE(result.data == input);
            EXPECT_EQ(result.notices, 1100 - 1023);
        }
    }
}

// Short strings are copied in 16-byte blocks; none may reach past the bytes
// asked for, in one read or in many, however the output is kept.
TEST(Unpacker, NeverWritesPastTheBytesAskedFor) {
    // Ends in a run, whose codes are each the code being defined.
    Bytes input = TextBytes(3000, 21);
    input.insert(input.end(), 300, 0x7A);
    const Bytes stream = Pack(input);
    constexpr std::size_t GUARD = 32;
    for (const std::size_t count : {1u, 2u, 15u, 16u, 17u, 100u, 2999u, 3000u, 3290u, 3300u}) {
        SCOPED_TRACE(count);
        CUnpacker unpacker(std::span{stream});
        Bytes out(count + GUARD, 0xEE);
        ASSERT_EQ(unpacker.Read(out.data(), static_cast<std::int32_t>(count)),
                  CUnpacker::Status::Ok);
        EXPECT_TRUE(std::equal(out.begin(), out.begin() + count, input.begin()));
        EXPECT_EQ(Bytes(out.begin() + count, out.end()), Bytes(GUARD, 0xEE));
    }
    for (const std::size_t chunk : {7u, 20u}) {
        SCOPED_TRACE(chunk);
        CUnpacker unpacker(std::span{stream});
        for (std::size_t at = 0; at < input.size(); at += chunk) {
            const std::size_t n = std::min(chunk, input.size() - at);
            Bytes out(n + GUARD, 0xEE);
            ASSERT_EQ(unpacker.Read(out.data(), static_cast<std::int32_t>(n)),
                      CUnpacker::Status::Ok);
            ASSERT_TRUE(std::equal(out.begin(), out.begin() + n, input.begin() + at));
            ASSERT_EQ(Bytes(out.begin() + n, out.end()), Bytes(GUARD, 0xEE));
        }
        EXPECT_TRUE(unpacker.AtCleanEnd());
    }
    for (const std::size_t chunk : {7u, 20u}) {
        SCOPED_TRACE(std::to_string(chunk) + ", appending");
        CUnpacker unpacker(std::span{stream});
        Bytes out(input.size() + GUARD, 0xEE);
        for (std::size_t at = 0; at < input.size(); at += chunk) {
            const std::size_t n = std::min(chunk, input.size() - at);
            ASSERT_EQ(unpacker.ReadAppending(out.data(), at, static_cast<std::int32_t>(n)),
                      CUnpacker::Status::Ok);
            ASSERT_TRUE(std::equal(out.begin(), out.begin() + at + n, input.begin()));
            ASSERT_EQ(Bytes(out.begin() + at + n, out.end()),
                      Bytes(input.size() - at - n + GUARD, 0xEE));
        }
        EXPECT_TRUE(unpacker.AtCleanEnd());
    }
}

TEST(Unpacker, RoundTripsPastEveryWidthChange) {
    const struct {
        const char* name;
        Bytes data;
    } rows[] = {
        {"random, a few thousand bytes", RandomBytes(5000, 11)},
        {"random, 1 MiB", RandomBytes(1 << 20, 12)},
        {"text", TextBytes(1 << 20, 13)},
        {"all byte pairs", DistinctPairs(65537)},
        {"two letters", Letters(1 << 20, 2, 14)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const Bytes stream = Pack(row.data);
        const SUnpacked result = Unpack(stream, row.data.size());
        EXPECT_TRUE(result.ok);
        EXPECT_TRUE(result.clean);
        EXPECT_TRUE(result.data == row.data);
        EXPECT_GE(MaxUnpackedSize(stream.size()), row.data.size());
    }
}

// The first code defines code 255, so a first byte of 255 is a literal that
// equals the code being defined.
TEST(Unpacker, ReadsAFirstByteOf255AsALiteral) {
    Bytes input(40, 0xFF);
    const Bytes text = TextBytes(2000, 15);
    input.insert(input.end(), text.begin(), text.end());
    const Bytes stream = Pack(input);
    for (const std::size_t chunk : {0u, 1u, 5u}) {
        SCOPED_TRACE(chunk);
        const SUnpacked result = Unpack(stream, input.size(), chunk);
        EXPECT_TRUE(result.ok);
        EXPECT_TRUE(result.data == input);
    }
}

TEST(Unpacker, AnnouncesEachStringOf1024BytesOrMore) {
    const struct {
        std::size_t longest;
        int notices;
    } rows[] = {{1023, 0}, {1024, 1}, {1500, 477}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.longest);
        const Bytes input = RunOf(Triangle(row.longest), 0x7E);
        const Bytes stream = Pack(input);
        const SUnpacked result = Unpack(stream, input.size());
        EXPECT_TRUE(result.ok);
        EXPECT_TRUE(result.clean);
        EXPECT_TRUE(result.data == input);
        EXPECT_EQ(result.notices, row.notices);
        // A run is the longest output a stream of its size can give.
        EXPECT_GE(MaxUnpackedSize(stream.size()), input.size());
    }
}

TEST(Unpacker, RejectsDamagedStreams) {
    // 253 literals bring the next code to 508, where the width must change.
    std::vector<std::uint32_t> full(253, 'x');
    auto with = [&](std::vector<std::uint32_t> tail) {
        std::vector<std::uint32_t> codes = full;
        codes.insert(codes.end(), tail.begin(), tail.end());
        return codes;
    };
    const Bytes abcde = Pack(Hex({0x61, 0x62, 0x63, 0x64, 0x65}));
    const struct {
        const char* name;
        Bytes stream;
        std::size_t count;
    } rows[] = {
        {"truncated", Bytes(abcde.begin(), abcde.begin() + 4), 5},
        {"asks for more than the stream holds", abcde, 100},
        {"no data", {}, 1},
        {"first code not a literal", WriteCodes({256}), 2},
        {"width change as the first code", WriteCodes({511, 65}), 1},
        {"code above the next free", WriteCodes({65, 66, 258}), 5},
        {"width change too early", WriteCodes({65, 511, 65}), 2},
        {"other code where the width must change", WriteCodes(with({65})), 254},
        {"width change twice", WriteCodes(with({511, 1023, 65})), 254},
    };
    for (const auto& row : rows) {
        for (const bool byWord : {false, true}) {
            SCOPED_TRACE(std::string(row.name) + (byWord ? ", word by word" : ", ahead"));
            SetWordSource(row.stream.data(), row.stream.size());
            CUnpacker unpacker = byWord ? CUnpacker(NextWord) : CUnpacker(std::span{row.stream});
            Bytes out(row.count + 8, 0xEE);
            EXPECT_EQ(unpacker.Read(out.data(), static_cast<std::int32_t>(row.count)),
                      CUnpacker::Status::Damaged);
            EXPECT_EQ(unpacker.Read(out.data(), 0), CUnpacker::Status::Damaged);
            EXPECT_FALSE(unpacker.AtCleanEnd());
            EXPECT_LE(g_pSourceWord, g_pSourceEnd);
            EXPECT_EQ(Bytes(out.end() - 8, out.end()), Bytes(8, 0xEE));
        }
    }
    // The same builder, with the width change where it belongs, is accepted.
    const SUnpacked good = Unpack(WriteCodes(with({511, 65})), 254);
    EXPECT_TRUE(good.ok);
}

TEST(Unpacker, TellsWhetherTheStreamEndsWhereThePackerEndsIt) {
    const Bytes abcde = Pack(Hex({0x61, 0x62, 0x63, 0x64, 0x65}));
    const Bytes padded = Pack(Sequence(32));
    auto plus = [](Bytes stream, Bytes tail) {
        stream.insert(stream.end(), tail.begin(), tail.end());
        return stream;
    };
    const struct {
        const char* name;
        Bytes stream;
        std::size_t count;
        bool clean;
    } rows[] = {
        {"exact", abcde, 5, true},
        {"exact with the zero word", padded, 32, true},
        {"zero word left off", Bytes(padded.begin(), padded.end() - 4), 32, true},
        {"empty", {}, 0, true},
        {"a zero word where no code ended", plus(abcde, Bytes(4, 0)), 5, false},
        {"an extra word", plus(padded, Hex({1, 0, 0, 0})), 32, false},
        {"two zero words", plus(padded, Bytes(4, 0)), 32, false},
        {"decodes to more bytes", abcde, 4, false},
        {"one more byte than a whole word", plus(abcde, Hex({0})), 5, false},
        {"a zero word and nothing read", Bytes(4, 0), 0, false},
    };
    for (const auto& row : rows) {
        for (const EReading reading : {EReading::Ahead, EReading::WordByWord}) {
            SCOPED_TRACE(std::string(row.name) + ", " + NameOf(reading));
            const SUnpacked result = Unpack(row.stream, row.count, 0, reading);
            EXPECT_TRUE(result.ok);
            EXPECT_EQ(result.clean, row.clean);
        }
    }
}

TEST(Unpacker, MaxUnpackedSizeCountsNineBitCodes) {
    const struct {
        std::uint64_t packed;
        std::uint64_t bound;
    } rows[] = {
        {0, 0}, {4, 6}, {8, 28}, {9, 36}, {36, 528}, {UINT64_MAX, UINT64_MAX},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.packed);
        EXPECT_EQ(MaxUnpackedSize(row.packed), row.bound);
    }
}

// Codes read ahead of the output must leave the words read, the end check
// and the notices as reading word by word does, after every read.
TEST(Unpacker, ReadingAheadMatchesReadingWordByWord) {
    const Bytes input = TextNoiseAndRun(120000, 80000, 45, 1200, 0x5A);
    const Bytes stream = Pack(input);
    Bytes trailing = stream;
    trailing.insert(trailing.end(), 8, 0xFF);
    const struct {
        const char* name;
        const Bytes& stream;
        std::size_t count;
    } rows[] = {
        {"whole stream", stream, input.size()},
        {"stops short", stream, input.size() - 1000},
        {"damaged words after the end", trailing, input.size()},
        {"asks past the end", stream, input.size() + 10},
    };
    for (const auto& row : rows) {
        for (const std::size_t chunk :
             {row.count, std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
            const SUnpacked single = Unpack(row.stream, row.count, chunk, EReading::WordByWord);
            for (const EReading reading : {EReading::Ahead, EReading::Appending}) {
                if (reading == EReading::Appending && chunk < 4096)
                    continue; // each read copies the whole output
                SCOPED_TRACE(std::string(row.name) + ", chunk " + std::to_string(chunk) + ", " +
                             NameOf(reading));
                const SUnpacked ahead = Unpack(row.stream, row.count, chunk, reading);
                EXPECT_EQ(ahead.ok, single.ok);
                EXPECT_EQ(ahead.clean, single.clean);
                EXPECT_EQ(ahead.notices, single.notices);
                EXPECT_EQ(ahead.positions, single.positions);
                EXPECT_TRUE(ahead.data == single.data);
            }
        }
    }
}

// Strings decoded by an earlier read are no longer in the output, so a
// later read has to walk their prefixes, which the decoding loop leaves out
// and which are entered then.
TEST(Unpacker, WalksStringsAfterALargeRead) {
    Bytes input = RandomBytes(60000, 47);
    const Bytes text = TextBytes(60000, 48);
    input.insert(input.end(), text.begin(), text.end());
    const Bytes stream = Pack(input);
    CUnpacker unpacker(std::span{stream});
    Bytes out(input.size());
    const std::size_t first = 100000;
    ASSERT_EQ(unpacker.Read(out.data(), static_cast<std::int32_t>(first)), CUnpacker::Status::Ok);
    for (std::size_t at = first; at < out.size(); ++at)
        ASSERT_EQ(unpacker.Read(out.data() + at, 1), CUnpacker::Status::Ok);
    EXPECT_TRUE(out == input);
    EXPECT_TRUE(unpacker.AtCleanEnd());
}

// Streams that stop short of the longest string now and then are told from
// the packer's own, as packing their bytes again confirms.
TEST(StreamForm, TellsThePackersOwnStreamFromOthers) {
    const struct {
        const char* name;
        Bytes data;
    } rows[] = {
        {"empty", {}},
        {"one byte", {7}},
        {"run", RunOf(5000, 0x20)},
        {"random", RandomBytes(20000, 51)},
        {"two letters", Letters(20000, 2, 52)},
        {"text", TextBytes(20000, 53)},
        // Its last code ends on a word boundary.
        {"found by fuzzing",
         Hex({0xc8, 0x00, 0x71, 0x61, 0x63, 0x61, 0x64, 0xc8, 0x00, 0xc8, 0x00, 0xc8,
              0x2c, 0x20, 0xc8, 0x00, 0xc8, 0x61, 0x63, 0x61, 0x64, 0xc8, 0x00, 0xc8,
              0x61, 0x2c, 0x20, 0xc8, 0x00, 0xc8, 0x61, 0x63, 0x61, 0x64, 0xc8, 0x00,
              0x71, 0x61, 0x3a, 0x20, 0xc8, 0x20, 0x7f, 0xc8, 0x00, 0xc8, 0x61, 0x20,
              0xc8, 0x6e, 0x64, 0x20, 0xc8, 0x20, 0x00, 0x71, 0x61, 0x00})},
    };
    int cutOnABoundary = 0;
    for (const auto& row : rows) {
        const Bytes packers = Pack(row.data);
        for (const unsigned stopOneIn : {0u, 2u, 50u, 5000u}) {
            SCOPED_TRACE(std::string(row.name) + ", stopping once in " + std::to_string(stopOneIn));
            const Bytes stream = WriteCodes(PlainCodes(row.data, stopOneIn, stopOneIn));
            EXPECT_EQ(Unpack(stream, row.data.size()).data, row.data);
            const StreamForm form = stream == packers ? StreamForm::Packers : StreamForm::Other;
            EXPECT_EQ(StreamFormOf(stream, row.data.size()), form);
            EXPECT_EQ(StreamFormOf(stream, row.data.size(), 4), form) << "growing its table";
            EXPECT_EQ(StreamFormOf(packers, row.data.size()), StreamForm::Packers);
            Bytes padded = packers;
            padded.insert(padded.end(), 4, 0);
            EXPECT_EQ(StreamFormOf(padded, row.data.size()), StreamForm::Other);
            // The packer's zero word after a last code that fills its word
            // is left out: the unpacker takes that too.
            if (packers.size() >= 8 && ReadCodes(packers).back() == 0 &&
                Unpack(Bytes(packers.begin(), packers.end() - 4), row.data.size()).clean) {
                EXPECT_EQ(StreamFormOf(Bytes(packers.begin(), packers.end() - 4), row.data.size()),
                          StreamForm::Other);
                ++cutOnABoundary;
            }
        }
    }
    EXPECT_GE(cutOnABoundary, 1);
}
