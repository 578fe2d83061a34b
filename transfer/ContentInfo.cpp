#include "transfer/ContentInfo.h"

#include "platform/ByteOrder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

using Content = std::span<const std::uint8_t>;

constexpr std::size_t BITMAP_FILE_HEADER_SIZE = 14;
constexpr std::uint32_t CORE_HEADER_SIZE = 12;
constexpr std::uint32_t INFO_HEADER_SIZE = 40;

constexpr std::size_t RIFF_HEADER_SIZE = 12; // "RIFF", size, "WAVE"
constexpr std::size_t CHUNK_HEADER_SIZE = 8;
constexpr std::uint32_t PCM_FORMAT_SIZE = 16;
constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

constexpr std::size_t HEX_LINE_BYTES = 16;

bool HasTag(Content content, std::size_t offset, const char (&tag)[5]) {
    return content.size() >= 4 && offset <= content.size() - 4 &&
           std::memcmp(content.data() + offset, tag, 4) == 0;
}

bool IsBitmapDepth(std::uint32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The core header's fields are unsigned 16-bit, so it has no top-down form;
// the info header's height is signed, negative for rows stored top first.
std::optional<SPictureFacts> ReadBitmap(Content content) {
    if (content.size() < BITMAP_FILE_HEADER_SIZE + 4 || content[0] != 'B' || content[1] != 'M')
        return std::nullopt;
    const std::uint8_t* p = content.data();
    const std::uint32_t headerSize = ReadLittleEndian32(p + BITMAP_FILE_HEADER_SIZE);
    if (headerSize != CORE_HEADER_SIZE && headerSize < INFO_HEADER_SIZE)
        return std::nullopt;
    if (headerSize > content.size() - BITMAP_FILE_HEADER_SIZE)
        return std::nullopt;
    SPictureFacts facts;
    if (headerSize == CORE_HEADER_SIZE) {
        facts.width = ReadLittleEndian16(p + 18);
        facts.height = ReadLittleEndian16(p + 20);
        facts.bitsPerPixel = ReadLittleEndian16(p + 24);
    } else {
        const std::int32_t width = ReadLittleEndianInt32(p + 18);
        const std::int32_t height = ReadLittleEndianInt32(p + 22);
        if (width <= 0)
            return std::nullopt;
        facts.width = static_cast<std::uint32_t>(width);
        facts.bTopDown = height < 0;
        // Unsigned negation: INT32_MIN's magnitude still fits.
        facts.height = facts.bTopDown ? 0u - static_cast<std::uint32_t>(height)
                                      : static_cast<std::uint32_t>(height);
        facts.bitsPerPixel = ReadLittleEndian16(p + 28);
    }
    if (facts.width == 0 || facts.height == 0 || !IsBitmapDepth(facts.bitsPerPixel))
        return std::nullopt;
    return facts;
}

// floor(samples * 1000 / rate) without forming the product.
std::uint64_t DurationMs(std::uint64_t samples, std::uint32_t rate) {
    if (rate == 0)
        return 0;
    return samples / rate * 1000 + samples % rate * 1000 / rate;
}

void ReadPcmFormat(const std::uint8_t* p, SSoundFacts& facts) {
    facts.channels = ReadLittleEndian16(p + 2);
    facts.sampleRate = ReadLittleEndian32(p + 4);
    facts.bitsPerSample = ReadLittleEndian16(p + 14);
}

void CountSamples(SSoundFacts& facts) {
    const std::uint64_t frameBytes =
        std::uint64_t{facts.channels} * ((std::uint64_t{facts.bitsPerSample} + 7) / 8);
    facts.samples = frameBytes == 0 ? 0 : facts.dataBytes / frameBytes;
    facts.durationMs = DurationMs(facts.samples, facts.sampleRate);
}

// Walks the chunks after the RIFF header up to the end of the content, not
// to where the RIFF size field says the file ends: writers that stream leave
// that field 0 or -1. Each step moves forward by at least a chunk header, so
// the walk ends whatever the sizes claim. The format must come before the
// samples, as every reader that streams a wave file needs it to.
std::optional<SSoundFacts> ReadWave(Content content) {
    if (content.size() < RIFF_HEADER_SIZE || !HasTag(content, 0, "RIFF") ||
        !HasTag(content, 8, "WAVE"))
        return std::nullopt;
    const std::uint64_t total = content.size();
    SSoundFacts facts;
    bool bHaveFormat = false;
    for (std::uint64_t at = RIFF_HEADER_SIZE; total - at >= CHUNK_HEADER_SIZE;) {
        const std::uint8_t* pChunk = content.data() + at;
        const std::uint64_t size = ReadLittleEndian32(pChunk + 4);
        const std::uint64_t body = at + CHUNK_HEADER_SIZE;
        const std::uint64_t held = std::min(size, total - body);
        if (HasTag(content, at, "fmt ") && !bHaveFormat) {
            if (size < PCM_FORMAT_SIZE || held < PCM_FORMAT_SIZE ||
                ReadLittleEndian16(pChunk + CHUNK_HEADER_SIZE) != WAVE_FORMAT_PCM)
                return std::nullopt;
            ReadPcmFormat(pChunk + CHUNK_HEADER_SIZE, facts);
            bHaveFormat = true;
        } else if (HasTag(content, at, "data")) {
            if (!bHaveFormat)
                return std::nullopt;
            facts.dataOffset = static_cast<std::size_t>(body);
            facts.dataBytes = static_cast<std::size_t>(held);
            CountSamples(facts);
            return facts;
        }
        // Chunks are padded to an even size; the pad byte is not counted.
        at = body + size + (size & 1);
        if (at > total)
            break;
    }
    return std::nullopt;
}

} // namespace

SContentInfo ClassifyContent(std::span<const std::uint8_t> content) {
    SContentInfo info;
    info.size = content.size();
    if (const auto picture = ReadBitmap(content)) {
        info.kind = ContentKind::Picture;
        info.picture = *picture;
    } else if (const auto sound = ReadWave(content)) {
        info.kind = ContentKind::Sound;
        info.sound = *sound;
    }
    return info;
}

const char* ContentKindName(ContentKind kind) {
    switch (kind) {
    case ContentKind::Picture:
        return "picture";
    case ContentKind::Sound:
        return "sound";
    case ContentKind::Data:
        break;
    }
    return "data";
}

// Column c starts at floor(c*N/W), computed as c*(N/W) + floor(c*(N%W)/W):
// c*(N%W) < W*W fits in 64 bits for any 32-bit W, where c*N might not.
std::vector<WaveColumn> SummarizeWaveform(std::span<const std::uint8_t> samples,
                                          std::uint32_t columns) {
    std::vector<WaveColumn> out;
    const std::uint64_t n = samples.size();
    if (n == 0 || columns == 0)
        return out;
    const std::uint64_t w = columns;
    const auto start = [n, w](std::uint64_t c) { return c * (n / w) + c * (n % w) / w; };
    out.reserve(columns);
    for (std::uint64_t c = 0; c < w; ++c) {
        const std::uint64_t first = start(c);
        const std::uint64_t end = std::max(start(c + 1), first + 1);
        const auto [lo, hi] =
            std::minmax_element(samples.begin() + static_cast<std::ptrdiff_t>(first),
                                samples.begin() + static_cast<std::ptrdiff_t>(end));
        out.emplace_back(*lo, *hi);
    }
    return out;
}

std::string HexLine(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    static constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
    const std::size_t count = std::min<std::size_t>(bytes.size(), HEX_LINE_BYTES);
    char offsetText[17];
    std::snprintf(offsetText, sizeof offsetText, "%08llX", static_cast<unsigned long long>(offset));
    std::string line = offsetText;
    line += ' ';
    for (std::size_t i = 0; i < HEX_LINE_BYTES; ++i) {
        line += i == HEX_LINE_BYTES / 2 ? "  " : " ";
        if (i < count) {
            line += HEX_DIGITS[bytes[i] >> 4];
            line += HEX_DIGITS[bytes[i] & 0xF];
        } else {
            line += "  ";
        }
    }
    line += "  ";
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = bytes[i];
        const bool bControl = byte < 0x20 || (byte >= 0x7F && byte <= 0x9F);
        line += bControl ? '.' : static_cast<char>(byte);
    }
    return line;
}
