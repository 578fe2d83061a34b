#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

// What an entry's content (the bytes Export writes) is, as the preview pane
// and `ostr info` show it. Only headers are read, always within the bytes
// given: a header may claim anything.

enum class ContentKind { Data, Picture, Sound };

// A bitmap file: content that starts with "BM" and has an info header of at
// least 40 bytes (or the 12-byte core header), width > 0, height not 0, and
// 1, 4, 8, 16, 24 or 32 bits per pixel.
struct SPictureFacts {
    std::uint32_t width = 0;
    std::uint32_t height = 0; // absolute, also for a top-down bitmap
    std::uint32_t bitsPerPixel = 0;
    bool bTopDown = false;
};

// A RIFF/WAVE file whose "fmt " chunk says PCM. Its samples are the "data"
// chunk's bytes, cut to what the file holds.
struct SSoundFacts {
    std::uint32_t sampleRate = 0;
    std::uint32_t channels = 0;
    std::uint32_t bitsPerSample = 0;
    std::uint64_t samples = 0;    // sample frames
    std::uint64_t durationMs = 0; // samples * 1000 / sampleRate, rounded down (0 at rate 0)
    std::size_t dataOffset = 0;   // where the samples start in the content
    std::size_t dataBytes = 0;    // and how many bytes of them the content holds
};

struct SContentInfo {
    ContentKind kind = ContentKind::Data;
    std::uint64_t size = 0; // content bytes
    SPictureFacts picture;  // for a Picture
    SSoundFacts sound;      // for a Sound
};

SContentInfo ClassifyContent(std::span<const std::uint8_t> content);

// "picture", "sound" or "data".
const char* ContentKindName(ContentKind kind);

// The waveform of 8-bit samples in columns: for each column the lowest and
// highest raw sample value (0-255). With N samples, column c covers samples
// floor(c*N/W) up to but not including floor((c+1)*N/W); when that range is
// empty (N < W) it is the one sample floor(c*N/W). So there are always W
// columns, together covering every sample. No samples, or no columns: an
// empty list. Takes two bytes per column, whatever N is: callers bound W
// (std::bad_alloc when the list cannot be had).
using WaveColumn = std::pair<std::uint8_t, std::uint8_t>;
std::vector<WaveColumn> SummarizeWaveform(std::span<const std::uint8_t> samples,
                                          std::uint32_t columns);

// A hex view's line: the offset (8 hex digits), the up to 16 bytes in hex,
// then the same bytes as Latin-1 text with control characters (below 0x20,
// and 0x7F to 0x9F) as ".". Lines of fewer bytes are padded so that their
// text column lines up. Exactly:
//
//   "00000010  41 42 43 44 45 46 47 48  49 4A 4B 4C 4D 4E 4F 50  ABCDEFGHIJKLMNOP"
//
// the offset in upper-case hex, at least 8 digits (more only past 4 GiB);
// two spaces; the bytes as upper-case pairs one space apart, with one more
// space after the eighth, a missing byte as two spaces; two spaces; the text,
// one character per byte, not padded. So a line of n bytes is 60 + n
// characters long (offsets below 4 GiB) and its text starts at column 60.
// The string holds Latin-1 (0xE9 is the one byte 0xE9): convert it for
// display. Bytes after the 16th are not shown.
std::string HexLine(std::span<const std::uint8_t> bytes, std::uint64_t offset);
