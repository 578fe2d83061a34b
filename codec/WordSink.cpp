#include "codec/WordSink.h"

#include "platform/LargeMemory.h"

#include <cstddef>

thread_local constinit std::uint32_t* g_pWords = nullptr;
thread_local constinit std::int32_t g_wordCapacity = 0;
thread_local constinit std::int32_t g_wordCount = 0;
thread_local constinit bool g_bWordSinkFailed = false;

namespace {

constexpr std::int32_t FIRST_CAPACITY = 10;

// Frees a thread's words when the thread ends, should a packing have left any.
struct SThreadWords {
    bool bHeld = false;
    ~SThreadWords() {
        if (bHeld)
            ReleaseWords();
    }
};
thread_local SThreadWords t_threadWords;

std::size_t Bytes(std::int32_t words) {
    return static_cast<std::size_t>(words) * sizeof(std::uint32_t);
}

// Grows the array by a third (the capacities run 10, 13, 17, 22, ...), the
// last step clamped to MAX_SINK_WORDS. Returns false, leaving the array as it
// was, when it is already at that limit or memory runs out.
bool GrowWords() {
    if (g_wordCapacity >= MAX_SINK_WORDS)
        return false;
    // 4 * cap / 3 without forming 4 * cap, which overflows near the limit.
    std::int32_t capacity = g_wordCapacity / 3 * 4 + g_wordCapacity % 3 * 4 / 3;
    if (capacity > MAX_SINK_WORDS)
        capacity = MAX_SINK_WORDS;
    void* p = ResizeZeroed(g_pWords, Bytes(g_wordCapacity), Bytes(capacity));
    if (p == nullptr)
        return false;
    g_pWords = static_cast<std::uint32_t*>(p);
    g_wordCapacity = capacity;
    return true;
}

} // namespace

void AppendWord(std::uint32_t word, bool flush) {
    if (flush || g_bWordSinkFailed)
        return;
    if (g_pWords == nullptr) {
        void* p = AllocateZeroed(Bytes(FIRST_CAPACITY));
        if (p == nullptr) {
            g_bWordSinkFailed = true;
            return;
        }
        g_pWords = static_cast<std::uint32_t*>(p);
        g_wordCapacity = FIRST_CAPACITY;
        g_wordCount = 0;
        t_threadWords.bHeld = true;
    }
    if (g_wordCount == g_wordCapacity && !GrowWords()) {
        g_bWordSinkFailed = true;
        return;
    }
    g_pWords[g_wordCount++] = word;
}

std::uint32_t* TakeWords(std::int32_t& count, std::int32_t& capacity) {
    std::uint32_t* words = g_pWords;
    count = g_wordCount;
    capacity = g_wordCapacity;
    g_pWords = nullptr;
    ReleaseWords();
    return words;
}

void ReleaseWords() {
    FreeZeroed(g_pWords, Bytes(g_wordCapacity));
    g_pWords = nullptr;
    g_wordCapacity = 0;
    g_wordCount = 0;
    g_bWordSinkFailed = false;
}
