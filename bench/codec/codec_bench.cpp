// Packing and unpacking throughput of the codec on a generated corpus: random
// bytes, English-like text, an 8-bit picture, an 8-bit mono 11025 Hz wave and
// long runs, 4 MiB each. The corpus is made here from fixed seeds, so every run
// measures the same bytes; with --corpus DIR the files are also written there
// for compare.sh to feed to compress(1). With --smoke each file is cut to
// 64 KiB.

#include "bench/RunBenchmarks.h"
#include "codec/Packer.h"
#include "codec/Unpacker.h"
#include "codec/WordSink.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t CORPUS_SIZE = 4 << 20;

// SplitMix64: the standard library's distributions differ between library
// versions, this does not.
struct SRandom {
    std::uint64_t state;
    std::uint64_t Next() {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
        return z ^ (z >> 31);
    }
    std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(Next() % n); }
};

void PutLe(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

Bytes RandomBytes() {
    SRandom rng{1};
    Bytes data(CORPUS_SIZE);
    for (auto& b : data)
        b = static_cast<std::uint8_t>(rng.Next() >> 56);
    return data;
}

std::vector<std::string> Vocabulary(SRandom& rng, int count) {
    static const char* const syllables[] = {"th", "e",  "an", "re", "in",  "on", "er", "at",
                                            "st", "ou", "le", "ch", "ing", "al", "or", "de",
                                            "wa", "mi", "so", "ka", "ro",  "ly", "be", "ne"};
    std::vector<std::string> words;
    for (int i = 0; i < count; ++i) {
        std::string word;
        const int parts = 1 + static_cast<int>(rng.Below(3)) + (i > 200 ? 1 : 0);
        for (int p = 0; p < parts; ++p)
            word += syllables[rng.Below(24)];
        words.push_back(word);
    }
    return words;
}

// Words drawn with Zipf frequencies (the n-th word n times rarer than the
// first), in sentences with capitals, commas, full stops and 72-column lines.
Bytes TextBytes() {
    SRandom rng{2};
    const std::vector<std::string> words = Vocabulary(rng, 4000);
    std::vector<double> cumulative;
    double total = 0;
    for (std::size_t i = 0; i < words.size(); ++i)
        cumulative.push_back(total += 1.0 / static_cast<double>(i + 1));
    std::string text;
    std::size_t lineStart = 0;
    while (text.size() < CORPUS_SIZE) {
        const int length = 4 + static_cast<int>(rng.Below(16));
        for (int w = 0; w < length; ++w) {
            const double pick = static_cast<double>(rng.Next() >> 11) / 9007199254740992.0 * total;
            std::size_t i = 0;
            while (cumulative[i] < pick)
                ++i;
            std::string word = words[i];
            if (w == 0)
                word[0] = static_cast<char>(word[0] - 'a' + 'A');
            if (text.size() - lineStart + word.size() > 72) {
                text += '\n';
                lineStart = text.size();
            } else if (!text.empty() && text.back() != '\n') {
                text += ' ';
            }
            text += word;
            if (w + 1 < length && rng.Below(8) == 0)
                text += ',';
        }
        text += '.';
    }
    return Bytes(text.begin(), text.begin() + CORPUS_SIZE);
}

// A 2048 x 2047 8-bit BMP: a dithered sky gradient, flat hills with wavy
// edges, a noisy ground texture and flat-coloured shapes on top.
Bytes PictureBytes() {
    constexpr int width = 2048, height = 2047;
    SRandom rng{3};
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height);
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (int y = 0; y < height; ++y) {
        const int hill =
            900 + static_cast<int>(120 * std::sin(y * 0.004) + 40 * std::sin(y * 0.03));
        for (int x = 0; x < width; ++x) {
            std::uint8_t v;
            if (x < 700)
                v = static_cast<std::uint8_t>(16 + (x * 64 + bayer[y & 3][x & 3] * 44) / 700);
            else if (x < hill)
                v = static_cast<std::uint8_t>(100 + (x - 700) / 64);
            else
                v = static_cast<std::uint8_t>(150 + rng.Below(6) + ((x / 16 + y / 16) & 1) * 8);
            pixels[static_cast<std::size_t>(y) * width + x] = v;
        }
    }
    for (int shape = 0; shape < 300; ++shape) {
        const int cx = static_cast<int>(rng.Below(width)), cy = static_cast<int>(rng.Below(height));
        const int r = 8 + static_cast<int>(rng.Below(90));
        const auto colour = static_cast<std::uint8_t>(200 + rng.Below(50));
        for (int y = std::max(0, cy - r); y < std::min(height, cy + r); ++y)
            for (int x = std::max(0, cx - r); x < std::min(width, cx + r); ++x)
                if ((shape & 1) || (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r)
                    pixels[static_cast<std::size_t>(y) * width + x] = colour;
    }
    Bytes bmp{'B', 'M'};
    PutLe(bmp, 1078 + static_cast<std::uint32_t>(pixels.size()), 4);
    PutLe(bmp, 0, 4);
    PutLe(bmp, 1078, 4);
    for (const std::uint32_t v : {40u, 2048u, 2047u})
        PutLe(bmp, v, 4);
    PutLe(bmp, 1, 2);
    PutLe(bmp, 8, 2);
    for (int i = 0; i < 6; ++i)
        PutLe(bmp, i == 1 ? static_cast<std::uint32_t>(pixels.size()) : 0, 4);
    for (std::uint32_t i = 0; i < 256; ++i)
        PutLe(bmp, i * 0x010101, 4);
    bmp.insert(bmp.end(), pixels.begin(), pixels.end());
    return bmp;
}

// A canonical 44-byte header, then tone bursts with noise (speech-like),
// stretches of exact silence and sustained chords.
Bytes WaveBytes() {
    SRandom rng{4};
    const std::uint32_t samples = CORPUS_SIZE - 44;
    Bytes wav{'R', 'I', 'F', 'F'};
    PutLe(wav, samples + 36, 4);
    for (const char c : std::string("WAVEfmt "))
        wav.push_back(static_cast<std::uint8_t>(c));
    for (const std::uint32_t v : {16u, 1u | 1u << 16, 11025u, 11025u, 1u | 8u << 16})
        PutLe(wav, v, 4);
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    PutLe(wav, samples, 4);
    while (wav.size() < CORPUS_SIZE) {
        const int kind = static_cast<int>(rng.Below(3));
        const std::uint32_t length = 2000 + rng.Below(20000);
        const double f1 = 100 + rng.Below(600), f2 = f1 * 1.5;
        for (std::uint32_t i = 0; i < length && wav.size() < CORPUS_SIZE; ++i) {
            const double t = i / 11025.0, envelope = std::sin(3.14159 * i / length);
            double v = 0;
            if (kind == 0)
                v = envelope * (40 * std::sin(6.2832 * f1 * t) + (rng.Below(21) - 10.0));
            else if (kind == 2)
                v = 30 * std::sin(6.2832 * f1 * t) + 20 * std::sin(6.2832 * f2 * t);
            wav.push_back(static_cast<std::uint8_t>(128 + std::lround(v)));
        }
    }
    return wav;
}

// Runs of 256 to 65535 equal bytes.
Bytes RunBytes() {
    SRandom rng{5};
    Bytes data;
    while (data.size() < CORPUS_SIZE) {
        const std::size_t length = 256 + rng.Below(65280);
        data.insert(data.end(), std::min(length, CORPUS_SIZE - data.size()),
                    static_cast<std::uint8_t>(rng.Below(256)));
    }
    return data;
}

struct SCorpusFile {
    const char* name;
    Bytes data;
    Bytes packed;
};

Bytes Pack(const Bytes& data) {
    CPacker packer(AppendWord);
    packer.Write(data.data(), static_cast<std::int32_t>(data.size()));
    packer.Finish();
    const auto* words = reinterpret_cast<const std::uint8_t*>(g_pWords);
    Bytes packed(words, words + static_cast<std::size_t>(g_wordCount) * 4);
    ReleaseWords();
    return packed;
}

// The counters of both directions: the packed size, and the most memory the
// dictionary took, per input byte and per string in the dictionary.
void SetCounters(benchmark::State& state, const SCorpusFile* file, std::uint64_t tableBytes,
                 std::uint64_t strings) {
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file->data.size()));
    state.counters["packed"] = static_cast<double>(file->packed.size());
    state.counters["table_per_byte"] =
        static_cast<double>(tableBytes) / static_cast<double>(file->data.size());
    state.counters["table_per_code"] =
        static_cast<double>(tableBytes) / static_cast<double>(strings == 0 ? 1 : strings);
}

void BM_Pack(benchmark::State& state, const SCorpusFile* file) {
    std::uint64_t tableBytes = 0;
    std::uint64_t strings = 0;
    for (auto _ : state) {
        CPacker packer(AppendWord);
        packer.Write(file->data.data(), static_cast<std::int32_t>(file->data.size()));
        packer.Finish();
        tableBytes = packer.PeakTableBytes();
        strings = packer.DictionarySize();
        benchmark::DoNotOptimize(g_pWords);
        benchmark::DoNotOptimize(g_wordCount);
        benchmark::ClobberMemory();
        ReleaseWords();
    }
    SetCounters(state, file, tableBytes, strings);
}

void BM_Unpack(benchmark::State& state, const SCorpusFile* file) {
    Bytes out(file->data.size());
    std::uint64_t tableBytes = 0;
    std::uint64_t strings = 0;
    for (auto _ : state) {
        CUnpacker unpacker(std::span{file->packed});
        bool ok = unpacker.Read(out.data(), static_cast<std::int32_t>(out.size())) ==
                  CUnpacker::Status::Ok;
        tableBytes = unpacker.TableBytes();
        strings = unpacker.DictionarySize();
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    if (out != file->data)
        state.SkipWithError("unpacked bytes differ from the input");
    SetCounters(state, file, tableBytes, strings);
}

bool WriteFile(const std::string& path, const Bytes& data) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    const bool smoke = TakeFlag(argc, argv, "--smoke");
    const std::string dir = TakeOption(argc, argv, "--corpus");
    static std::vector<SCorpusFile> corpus;
    corpus.push_back({"random.bin", RandomBytes(), {}});
    corpus.push_back({"text.txt", TextBytes(), {}});
    corpus.push_back({"picture.bmp", PictureBytes(), {}});
    corpus.push_back({"sound.wav", WaveBytes(), {}});
    corpus.push_back({"runs.bin", RunBytes(), {}});
    for (auto& file : corpus) {
        if (smoke)
            file.data.resize(64 << 10);
        file.packed = Pack(file.data);
        if (!dir.empty() && !WriteFile(dir + "/" + file.name, file.data)) {
            std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), file.name);
            return 1;
        }
        benchmark::RegisterBenchmark((std::string("Pack/") + file.name).c_str(), BM_Pack, &file)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("Unpack/") + file.name).c_str(), BM_Unpack, &file)
            ->Unit(benchmark::kMillisecond);
    }
    return RunBenchmarks(argc, argv);
}
