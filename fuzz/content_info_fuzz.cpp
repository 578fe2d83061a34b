// Property: any content is classified without reading outside it, and what
// is reported holds in the bytes: a picture starts with "BM", has a header of
// 12 or at least 40 bytes inside the content, a positive width and height and
// one of the six depths; a sound's samples lie inside the content, right
// after a "data" chunk header whose size covers them (or runs to the end),
// and its frame and duration counts follow from its format; anything else
// carries no facts. The waveform of the input (and of a sound's samples) for
// column counts drawn from the input has exactly W columns (none when there
// are no samples), each the true lowest and highest of the samples it
// covers. Every hex line is 60 + n characters long with its bytes and text
// where they belong.

#include "FuzzSupport.h"

#include "transfer/ContentInfo.h"

#include <algorithm>

namespace {

// Enough for the longest inputs the fuzzer makes, and small enough that
// the brute-force check of every column stays fast.
constexpr std::uint32_t MOST_COLUMNS = 20000;

using Content = std::span<const std::uint8_t>;

std::uint32_t Field(Content content, std::size_t offset, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= static_cast<std::uint32_t>(content[offset + i]) << (8 * i);
    return value;
}

void CheckPicture(Content content, const SPictureFacts& facts) {
    FUZZ_CHECK(content.size() >= 18 && content[0] == 'B' && content[1] == 'M');
    const std::uint32_t headerSize = Field(content, 14, 4);
    FUZZ_CHECK(headerSize == 12 || headerSize >= 40);
    FUZZ_CHECK(headerSize <= content.size() - 14);
    FUZZ_CHECK(facts.width > 0 && facts.height > 0);
    const std::uint32_t bits = facts.bitsPerPixel;
    FUZZ_CHECK(bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
    if (headerSize == 12) {
        FUZZ_CHECK(facts.width == Field(content, 18, 2) && facts.height == Field(content, 20, 2));
        FUZZ_CHECK(bits == Field(content, 24, 2) && !facts.bTopDown);
    } else {
        FUZZ_CHECK(facts.width == Field(content, 18, 4) && facts.width <= 0x7FFFFFFF);
        const std::uint32_t height = Field(content, 22, 4);
        FUZZ_CHECK(facts.bTopDown == (height >= 0x80000000u));
        FUZZ_CHECK(facts.height == (facts.bTopDown ? 0u - height : height));
        FUZZ_CHECK(bits == Field(content, 28, 2));
    }
}

void CheckSound(Content content, const SSoundFacts& facts) {
    FUZZ_CHECK(content.size() >= 12 && std::memcmp(content.data(), "RIFF", 4) == 0 &&
               std::memcmp(content.data() + 8, "WAVE", 4) == 0);
    // Header, a format chunk of at least 16 bytes, the data chunk's header.
    FUZZ_CHECK(facts.dataOffset >= 12 + 8 + 16 + 8);
    FUZZ_CHECK(facts.dataOffset <= content.size());
    FUZZ_CHECK(facts.dataBytes <= content.size() - facts.dataOffset);
    FUZZ_CHECK(std::memcmp(content.data() + facts.dataOffset - 8, "data", 4) == 0);
    const std::uint32_t claimed = Field(content, facts.dataOffset - 4, 4);
    FUZZ_CHECK(facts.dataBytes == claimed ||
               (claimed > facts.dataBytes && facts.dataOffset + facts.dataBytes == content.size()));
    FUZZ_CHECK(facts.channels <= 0xFFFF && facts.bitsPerSample <= 0xFFFF);
    const std::uint64_t frame = std::uint64_t{facts.channels} * ((facts.bitsPerSample + 7) / 8);
    if (frame == 0) {
        FUZZ_CHECK(facts.samples == 0);
    } else {
        FUZZ_CHECK(facts.samples == facts.dataBytes / frame);
    }
    if (facts.sampleRate == 0) {
        FUZZ_CHECK(facts.durationMs == 0);
    } else {
        // Both sides stay far below 2^64 for inputs that fit in memory.
        FUZZ_CHECK(facts.durationMs * facts.sampleRate <= facts.samples * 1000);
        FUZZ_CHECK((facts.durationMs + 1) * facts.sampleRate > facts.samples * 1000);
    }
}

void CheckClassification(Content content, const SContentInfo& info) {
    FUZZ_CHECK(info.size == content.size());
    const bool bNoPicture = info.picture.width == 0 && info.picture.height == 0 &&
                            info.picture.bitsPerPixel == 0 && !info.picture.bTopDown;
    const bool bNoSound = info.sound.sampleRate == 0 && info.sound.channels == 0 &&
                          info.sound.bitsPerSample == 0 && info.sound.samples == 0 &&
                          info.sound.durationMs == 0 && info.sound.dataOffset == 0 &&
                          info.sound.dataBytes == 0;
    switch (info.kind) {
    case ContentKind::Picture:
        CheckPicture(content, info.picture);
        FUZZ_CHECK(bNoSound);
        break;
    case ContentKind::Sound:
        CheckSound(content, info.sound);
        FUZZ_CHECK(bNoPicture);
        break;
    case ContentKind::Data:
        FUZZ_CHECK(bNoPicture && bNoSound);
        break;
    }
}

void CheckWaveform(Content samples, std::uint32_t columns) {
    const std::vector<WaveColumn> waveform = SummarizeWaveform(samples, columns);
    const std::uint64_t n = samples.size();
    if (n == 0 || columns == 0) {
        FUZZ_CHECK(waveform.empty());
        return;
    }
    FUZZ_CHECK(waveform.size() == columns);
    for (std::uint64_t c = 0; c < columns; ++c) {
        const std::uint64_t first = c * n / columns;
        const std::uint64_t end = std::max((c + 1) * n / columns, first + 1);
        FUZZ_CHECK(end <= n);
        const auto [lo, hi] =
            std::minmax_element(samples.begin() + static_cast<std::ptrdiff_t>(first),
                                samples.begin() + static_cast<std::ptrdiff_t>(end));
        FUZZ_CHECK(waveform[c].first == *lo && waveform[c].second == *hi);
        FUZZ_CHECK(waveform[c].first <= waveform[c].second);
    }
}

// Columns from the input's last bytes: one, fewer, as many and more than
// the samples, so every shape of the split comes up.
std::vector<std::uint32_t> ColumnCounts(Content content) {
    std::vector<std::uint32_t> counts{0, 1};
    const std::uint32_t n =
        static_cast<std::uint32_t>(std::min<std::size_t>(content.size(), MOST_COLUMNS));
    counts.push_back(n);
    counts.push_back(std::min(n + 1, MOST_COLUMNS));
    if (content.size() >= 2)
        counts.push_back(1 + Field(content, content.size() - 2, 2) % MOST_COLUMNS);
    return counts;
}

void CheckHexLines(Content content, std::uint64_t offset) {
    static constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
    for (std::size_t at = 0; at < content.size() && at < 64; at += 16) {
        const Content bytes = content.subspan(at, std::min<std::size_t>(16, content.size() - at));
        const std::string line = HexLine(bytes, offset + at);
        const int written =
            std::snprintf(nullptr, 0, "%llX", static_cast<unsigned long long>(offset + at));
        const std::size_t digits = std::max<std::size_t>(8, static_cast<std::size_t>(written));
        FUZZ_CHECK(line.size() == digits + 52 + bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const std::size_t hex = digits + 2 + 3 * i + (i >= 8 ? 1 : 0);
            FUZZ_CHECK(line[hex] == HEX_DIGITS[bytes[i] >> 4]);
            FUZZ_CHECK(line[hex + 1] == HEX_DIGITS[bytes[i] & 0xF]);
            const auto shown = static_cast<std::uint8_t>(line[digits + 52 + i]);
            const bool bControl = bytes[i] < 0x20 || (bytes[i] >= 0x7F && bytes[i] <= 0x9F);
            FUZZ_CHECK(shown == (bControl ? '.' : bytes[i]));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const CExactBytes input(data, size);
    const Content content(input.data(), input.size());
    const SContentInfo info = ClassifyContent(content);
    CheckClassification(content, info);

    const std::vector<std::uint32_t> counts = ColumnCounts(content);
    for (const std::uint32_t columns : counts)
        CheckWaveform(content, columns);
    if (info.kind == ContentKind::Sound)
        for (const std::uint32_t columns : counts)
            CheckWaveform(content.subspan(info.sound.dataOffset, info.sound.dataBytes), columns);

    const std::uint64_t offset = size >= 8 ? ReadLittleEndian32(data) * std::uint64_t{0x1000} : 0;
    CheckHexLines(content, offset);
    return 0;
}
