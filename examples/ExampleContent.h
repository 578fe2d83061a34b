#pragma once

#include <cstdint>
#include <vector>

using ByteVector = std::vector<std::uint8_t>;

// Made-up content for the example archive: 8-bit BMP pictures and an 8-bit
// mono 11025 Hz wave, complete files as a user would import them.
ByteVector DrawPortrait();
ByteVector DrawBackground();
ByteVector DrawOverlay();
ByteVector SynthesizeChime();
