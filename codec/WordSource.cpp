#include "codec/WordSource.h"

#include "platform/ByteOrder.h"
thread_local constinit const std::uint8_t* g_pSourceWord = nullptr;
thread_local constinit const std::uint8_t* g_pSourceEnd = nullptr;
thread_local constinit bool g_bSourceExhausted = false;

void SetWordSource(const std::uint8_t* data, std::size_t size) {
    g_pSourceWord = data;
    g_pSourceEnd = data + size;
    g_bSourceExhausted = false;
}

std::uint32_t NextWord() {
    if (g_pSourceEnd - g_pSourceWord < 4) {
        g_bSourceExhausted = true;
        return 0;
    }
    const std::uint8_t* p = g_pSourceWord;
    g_pSourceWord += 4;
    return ReadLittleEndian32(p);
}
