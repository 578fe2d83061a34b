#pragma once

#include <cstddef>
#include <cstdint>

// Sounds are stored as the difference of each byte from the one before it
// (mod 256), over the whole file as one sequence; export undoes it with a
// running sum. Both carry their previous byte across blocks.
class CDeltaEncoder {
public:
    void Encode(std::uint8_t* pBytes, std::size_t count);

private:
    std::uint8_t m_previous = 0;
};

class CDeltaDecoder {
public:
    void Decode(std::uint8_t* pBytes, std::size_t count);

private:
    std::uint8_t m_sum = 0;
};
