#include "transfer/WaveHeader.h"

#include "platform/ByteOrder.h"

#include <cstring>

namespace {

// The misspelt "lok" of the second test is what users have always seen.
constexpr WaveRefusal NOT_RIFF{"That does not look like a Wave File", "error"};
constexpr WaveRefusal NOT_WAVE{"That does not lok like a Wave File", "error"};
constexpr WaveRefusal WRONG_FORMAT_SIZE{"That does not look like a Wave File", "error"};
constexpr WaveRefusal NOT_PCM{"That does not look like a WAVE_FORMAT_PCM file", "error"};
constexpr WaveRefusal NOT_MONO{"That does not look like a mono wave file", "Error"};
constexpr WaveRefusal NOT_RATE{"That wave file does not\nhave sample rate 11025", "Error"};
constexpr WaveRefusal NOT_EIGHT_BIT{"That wave file does not\nhave 8-bit samples", "Error"};
constexpr WaveRefusal SHORT_HEADER{"Error reading file header", "Error"};

} // namespace

// The fields lie where the canonical header has them: format block size at
// 16, format 20, channels 22, samples per second 24, bits per sample 34.
const WaveRefusal* CheckWaveHeader(const std::uint8_t* pHeader) {
    if (std::memcmp(pHeader, "RIFF", 4) != 0)
        return &NOT_RIFF;
    if (std::memcmp(pHeader + 8, "WAVEfmt ", 8) != 0)
        return &NOT_WAVE;
    if (ReadLittleEndian32(pHeader + 16) != 16)
        return &WRONG_FORMAT_SIZE;
    if (ReadLittleEndian16(pHeader + 20) != 1)
        return &NOT_PCM;
    if (ReadLittleEndian16(pHeader + 22) != 1)
        return &NOT_MONO;
    if (ReadLittleEndian32(pHeader + 24) != 11025)
        return &NOT_RATE;
    if (ReadLittleEndian16(pHeader + 34) != 8)
        return &NOT_EIGHT_BIT;
    return nullptr;
}

const WaveRefusal& ShortWaveHeader() {
    return SHORT_HEADER;
}
