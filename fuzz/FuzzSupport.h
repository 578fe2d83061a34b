#pragma once

// What the fuzz targets share: a check that stops the run, exact-size copies
// of input bytes, block sizes drawn from fuzzer bytes, a recorder for the
// messages the code under test shows, and (in AddressSanitizer builds) a
// watch over the allocations made while it runs.

#include "platform/ByteOrder.h"
#include "platform/MessageBox.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define OSTREVANE_FUZZ_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OSTREVANE_FUZZ_ASAN 1
#endif
#endif

// The allocation watch needs the sanitizer's hooks, whose header comes with
// clang (and not with every gcc).
#if defined(OSTREVANE_FUZZ_ASAN) && __has_include(<sanitizer/allocator_interface.h>)
#define OSTREVANE_FUZZ_ALLOC_HOOKS 1
#include <sanitizer/allocator_interface.h>
#endif

[[noreturn]] inline void FuzzFail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

// Stops the run (a crash to libFuzzer, a failure to the replay) when cond is false.
#define FUZZ_CHECK(cond) ((cond) ? static_cast<void>(0) : FuzzFail(__FILE__, __LINE__, #cond))

// Bytes in a heap block of exactly their size, so that AddressSanitizer
// reports any read or write one byte past them.
class CExactBytes {
public:
    CExactBytes(const std::uint8_t* data, std::size_t size)
        : m_pBytes(new std::uint8_t[size]), m_size(size) {
        if (size > 0)
            std::memcpy(m_pBytes.get(), data, size);
    }
    explicit CExactBytes(std::size_t size) : m_pBytes(new std::uint8_t[size]), m_size(size) {}

    std::uint8_t* data() { return m_pBytes.get(); }
    const std::uint8_t* data() const { return m_pBytes.get(); }
    std::size_t size() const { return m_size; }
    std::vector<std::uint8_t> ToVector() const { return {data(), data() + m_size}; }

private:
    std::unique_ptr<std::uint8_t[]> m_pBytes;
    std::size_t m_size;
};

// Block sizes from a 32-bit seed: empty blocks, a few bytes, hundreds,
// thousands, half of what is left and all of it, so that a sequence of calls
// splits its data at every kind of boundary.
class CBlockSizes {
public:
    explicit CBlockSizes(std::uint32_t seed) : m_state(seed != 0 ? seed : 0x6D2B79F5u) {}

    // The next block size, at most rest.
    std::size_t Next(std::size_t rest) {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        const std::size_t r = m_state >> 3;
        std::size_t size = rest;
        switch (m_state & 7) {
        case 0:
            size = 0;
            break;
        case 1:
        case 2:
            size = 1 + r % 16;
            break;
        case 3:
            size = 1 + r % 512;
            break;
        case 4:
            size = 1 + r % 8192;
            break;
        case 5:
            size = rest / 2;
            break;
        default:
            break;
        }
        return size < rest ? size : rest;
    }

private:
    std::uint32_t m_state;
};

struct SShownMessage {
    std::string text;
    std::string caption;
};

// Records every message shown while it lives, giving the answer that
// changes nothing; the previous handler comes back after.
class CMessageRecorder {
public:
    CMessageRecorder()
        : m_previous(SetMessageBoxHandler(
              [this](void*, const std::string& text, const std::string& caption, unsigned style) {
                  m_messages.push_back({text, caption});
                  return DefaultAnswer(style);
              })) {}
    ~CMessageRecorder() { SetMessageBoxHandler(std::move(m_previous)); }
    CMessageRecorder(const CMessageRecorder&) = delete;
    CMessageRecorder& operator=(const CMessageRecorder&) = delete;

    const std::vector<SShownMessage>& Messages() const { return m_messages; }
    void Clear() { m_messages.clear(); }

private:
    std::vector<SShownMessage> m_messages;
    MessageBoxHandler m_previous;
};

// The largest single allocation and the sum of all allocations made while a
// watch is running. Only AddressSanitizer builds can see allocations; other
// builds report Available() false and count nothing.
class CAllocationWatch {
public:
    CAllocationWatch() {
        Install();
        State() = {true, 0, 0};
    }
    ~CAllocationWatch() { State().bWatching = false; }
    CAllocationWatch(const CAllocationWatch&) = delete;
    CAllocationWatch& operator=(const CAllocationWatch&) = delete;

    static constexpr bool Available() {
#if defined(OSTREVANE_FUZZ_ALLOC_HOOKS)
        return true;
#else
        return false;
#endif
    }
    void Stop() {
        State().bWatching = false;
    }
    std::size_t Largest() const {
        return State().largest;
    }
    std::size_t Total() const {
        return State().total;
    }

private:
    struct SState {
        bool bWatching;
        std::size_t largest;
        std::size_t total;
    };

    static SState& State() {
        static SState state{false, 0, 0};
        return state;
    }

    static void Install() {
#if defined(OSTREVANE_FUZZ_ALLOC_HOOKS)
        static const bool bInstalled = [] {
            __sanitizer_install_malloc_and_free_hooks(
                [](const volatile void*, std::size_t size) {
                    SState& state = State();
                    if (!state.bWatching)
                        return;
                    state.total += size;
                    if (size > state.largest)
                        state.largest = size;
                },
                [](const volatile void*) {});
            return true;
        }();
        (void)bInstalled;
#endif
    }
};
