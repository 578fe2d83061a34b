#include "transfer/DeltaCoding.h"

void CDeltaEncoder::Encode(std::uint8_t* pBytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t byte = pBytes[i];
        pBytes[i] = static_cast<std::uint8_t>(byte - m_previous);
        m_previous = byte;
    }
}

void CDeltaDecoder::Decode(std::uint8_t* pBytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        m_sum = static_cast<std::uint8_t>(m_sum + pBytes[i]);
        pBytes[i] = m_sum;
    }
}
