#pragma once

#include "codec/WordSource.h"
#include "platform/ByteOrder.h"

#include <cstdint>

// What reading one code of a packed stream gave.
enum class ECode {
    Entry,       // a code that also defines the next dictionary entry
    WidthChange, // the all-ones code announcing one more bit
    Bad,         // a code the packer never writes where it stands
    End,         // the words ran out
};

// Reads codes from words, following the width changes the packer makes and
// refusing every code it never writes. This is the one place the rules of
// the code stream live; the unpacker and the check of a stream's form both
// read through it.
struct SCodeReader {
    using SourceFn = std::uint32_t (*)();

    static constexpr std::int32_t MAX_WIDTH = 32;

    SourceFn pfnSource = nullptr;       // when set, words come from here
    const std::uint8_t* word = nullptr; // else the next word to take
    const std::uint8_t* end = nullptr;  // and the end of the packed bytes
    std::uint64_t bits = 0;             // bits taken but not yet used
    std::int32_t left = 0;              // how many
    std::int32_t width = 9;
    std::uint64_t tableSize = 512;
    std::uint32_t next = 255; // the code the next entry defines

    ECode Next(std::uint32_t& code);
    bool TakeWord(std::uint32_t& word);
};

// The count lowest bits set.
inline std::uint64_t CodeBits(std::int32_t count) {
    return (std::uint64_t{1} << count) - 1;
}

inline ECode SCodeReader::Next(std::uint32_t& code) {
    std::int32_t split = width; // bits taken from the current word
    if (left < width) {
        std::uint32_t fresh = 0;
        if (!TakeWord(fresh))
            return ECode::End;
        bits |= std::uint64_t{fresh} << left;
        split = left;
        left += 32;
    }
    const std::uint64_t raw = bits & CodeBits(width);
    code = static_cast<std::uint32_t>(
        split == width ? raw : (raw & CodeBits(split)) << (width - split) | raw >> split);
    bits >>= width;
    left -= width;
    if (next == tableSize - 4) {
        // Past 32 bits there is no wider code to change to.
        if (code != tableSize - 1 || width == MAX_WIDTH)
            return ECode::Bad;
        tableSize *= 2;
        ++width;
        return ECode::WidthChange;
    }
    if (code > next)
        return ECode::Bad;
    ++next;
    return ECode::Entry;
}

inline bool SCodeReader::TakeWord(std::uint32_t& fresh) {
    if (pfnSource != nullptr) {
        fresh = pfnSource();
        return !g_bSourceExhausted;
    }
    if (end - word < 4)
        return false;
    fresh = ReadLittleEndian32(word);
    word += 4;
    return true;
}
