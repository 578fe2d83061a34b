#include "transfer/WaveHeader.h"

#include <cstring>

namespace {

std::uint32_t Field(const std::uint8_t* p, std::size_t offset, std::size_t width) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i)
        value |= static_cast<std::uint32_t>(p[offset + i]) << (8 * i);
    return value;
}

// The misspelt "lok" of the second test is what users have always seen.
constexpr WaveRefusal kNotRiff{"That does not look like a Wave File", "error"};
constexpr WaveRefusal kNotWave{"That does not lok like a Wave File", "error"};
constexpr WaveRefusal kFormatSize{"That does not look like a Wave File", "error"};
constexpr WaveRefusal kNotPcm{"That does not look like a WAVE_FORMAT_PCM file", "error"};
constexpr WaveRefusal kNotMono{"That does not look like a mono wave file", "Error"};
constexpr WaveRefusal kNotRate{"That wave file does not\nhave sample rate 11025", "Error"};
constexpr WaveRefusal kNotEightBit{"That wave file does not\nhave 8-bit samples", "Error"};
constexpr WaveRefusal kShort{"Error reading file header", "Error"};

} // namespace

const WaveRefusal* CheckWaveHeader(const std::uint8_t* pHeader) {
    if (std::memcmp(pHeader, "RIFF", 4) != 0)
        return &kNotRiff;
    if (std::memcmp(pHeader + 8, "WAVEfmt ", 8) != 0)
        return &kNotWave;
    if (Field(pHeader, 16, 4) != 16)
        return &kFormatSize;
    if (Field(pHeader, 20, 2) != 1)
        return &kNotPcm;
    if (Field(pHeader, 22, 2) != 1)
        return &kNotMono;
    if (Field(pHeader, 24, 4) != 11025)
        return &kNotRate;
    if (Field(pHeader, 34, 2) != 8)
        return &kNotEightBit;
    return nullptr;
}

const WaveRefusal& ShortWaveHeader() {
    return kShort;
}
