#include "transfer/DeltaCoding.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Walks from the end, so that each byte is still unchanged when the one after
// it takes it off: there is then no chain from byte to byte, and sixteen
// bytes go at a time.
void CDeltaEncoder::Encode(std::uint8_t* pBytes, std::size_t count) {
    if (count == 0)
        return;
    const std::uint8_t last = pBytes[count - 1];
    std::size_t i = count;
#if defined(__SSE2__)
    for (; i >= 17; i -= 16) {
        auto* const at = reinterpret_cast<__m128i*>(pBytes + i - 16);
        const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pBytes + i - 17));
        _mm_storeu_si128(at, _mm_sub_epi8(_mm_loadu_si128(at), before));
    }
#endif
    for (; i > 1; --i)
        pBytes[i - 1] = static_cast<std::uint8_t>(pBytes[i - 1] - pBytes[i - 2]);
    pBytes[0] = static_cast<std::uint8_t>(pBytes[0] - m_previous);
    m_previous = last;
}

void CDeltaDecoder::Decode(std::uint8_t* pBytes, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        m_sum = static_cast<std::uint8_t>(m_sum + pBytes[i]);
        pBytes[i] = m_sum;
    }
}
