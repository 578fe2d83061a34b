#include "tests/CodeStream.h"

std::vector<std::uint32_t> ReadCodes(const Bytes& stream) {
    auto bit = [&](std::size_t i) { return (stream[i / 8] >> (i % 8)) & 1u; };
    std::vector<std::uint32_t> codes;
    std::size_t pos = 0;
    int width = 9;
    while (pos + width <= stream.size() * 8) {
        const std::size_t free = 32 - pos % 32;
        std::uint32_t code = 0;
        if (free >= static_cast<std::size_t>(width)) {
            for (int i = width - 1; i >= 0; --i)
                code = code << 1 | bit(pos + i);
        } else {
            // High part: the top bits of this word; low part: the next word's bottom.
            for (std::size_t i = 0; i < free; ++i)
                code = code << 1 | bit(pos + free - 1 - i);
            for (std::size_t i = 0; i < width - free; ++i)
                code = code << 1 | bit(pos + free + (width - free - 1 - i));
        }
        pos += width;
        codes.push_back(code);
        if (code == (std::uint32_t{1} << width) - 1)
            ++width;
    }
    return codes;
}

Bytes WriteCodes(const std::vector<std::uint32_t>& codes) {
    std::vector<bool> bits;
    int width = 9;
    for (const std::uint32_t code : codes) {
        const std::size_t free = 32 - bits.size() % 32;
        if (free >= static_cast<std::size_t>(width)) {
            for (int i = 0; i < width; ++i)
                bits.push_back((code >> i) & 1u);
        } else {
            const std::size_t low = width - free;
            std::vector<bool> word(bits.end() - (32 - free), bits.end());
            for (std::size_t i = 0; i < free; ++i)
                bits.push_back((code >> (low + i)) & 1u);
            for (std::size_t i = 0; i < low; ++i)
                bits.push_back((code >> i) & 1u);
        }
        if (code == (std::uint32_t{1} << width) - 1)
            ++width;
    }
    bits.resize((bits.size() / 32 + 1) * 32, false);
    Bytes stream(bits.size() / 8);
    for (std::size_t i = 0; i < bits.size(); ++i)
        stream[i / 8] |= static_cast<std::uint8_t>(bits[i] << (i % 8));
    return stream;
}
