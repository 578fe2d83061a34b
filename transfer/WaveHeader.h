#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t WAVE_HEADER_SIZE = 44;

// Why a sound file was refused: the message and caption users see.
struct WaveRefusal {
    const char* text;
    const char* caption;
};

// Tests the fields of the 44-byte header that a sound must have (RIFF,
// "WAVEfmt ", format block 16, PCM, mono, 11025 per second, 8 bits), in that
// order. Returns the first failing field's refusal, or null when all hold.
// Nothing else in the header is looked at.
const WaveRefusal* CheckWaveHeader(const std::uint8_t* pHeader);

// The refusal for a file too short to hold the header.
const WaveRefusal& ShortWaveHeader();
