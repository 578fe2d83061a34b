#pragma once

#include <cstddef>
#include <cstdint>

// LZW decoder for the stream CPacker writes. It hands out exactly the bytes
// asked for and keeps its whole state (dictionary, unread bits, undelivered
// bytes) between Read() calls, so reading in several calls gives the same
// bytes as one call. Words come from a source function; running out of words
// is seen through g_bSourceExhausted (codec/WordSource.h).
class CUnpacker {
public:
    using SourceFn = std::uint32_t (*)();
    using NoticeFn = void (*)();

    // Strings of at least this many bytes are announced through the notice.
    static constexpr std::size_t LONG_STRING = 1024;

    // pfnLongStringNotice, when not null, is called once for each decoded
    // string of LONG_STRING bytes or more; the string is still delivered whole.
    explicit CUnpacker(SourceFn pfnSource, NoticeFn pfnLongStringNotice = nullptr);
    ~CUnpacker();
    CUnpacker(const CUnpacker&) = delete;
    CUnpacker& operator=(const CUnpacker&) = delete;

    // Writes the next count bytes of the stream to out. Returns true when all
    // count bytes were written. Returns false when the stream is damaged: the
    // words run out first, a code is neither a literal, a known code, the code
    // being defined nor the width-change code where the packer puts it, the
    // width would pass 32 bits, or memory runs out. Then out holds an
    // unspecified prefix, and every later call returns false at once. A count
    // of 0 reads no word; a negative count reads nothing and returns false.
    // Never writes past out + count, never reads a word past the source's end.
    bool Read(std::uint8_t* out, std::int32_t count);

    // After the caller has read exactly the entry's size: true when the stream
    // ends where the packer ends it: nothing decoded but undelivered, the rest
    // of the current word zero, and after it either nothing or, when the last
    // code ended on a word boundary, one zero word. Reads the global word
    // source's position (g_pSourceWord, g_pSourceEnd). False after a failure.
    bool AtCleanEnd() const;

    // Bytes the dictionary tables and the string stack hold. They only grow,
    // so this is also the most they have held.
    std::uint64_t TableBytes() const;

private:
    // Where a code's string was first decoded in the output, and its length.
    // Entries are far below 2^32 bytes; a string that starts past 2^32 gets
    // start 0, which the copy path then never takes, as it lies before any
    // later call's output.
    struct SSpan {
        std::uint32_t start;
        std::uint32_t length;
    };

    bool Decode(std::uint8_t*& out, const std::uint8_t* end);
    bool Classify(std::uint64_t& length) const;
    void CopyString(std::uint8_t* out, const std::uint8_t* end, std::uint64_t length);
    bool PushString(std::uint64_t length);
    void AddEntry(std::uint64_t start, std::uint64_t length);
    std::uint8_t* Deliver(std::uint8_t* out, const std::uint8_t* end);
    std::uint32_t GetCode();
    bool Grow();

    SourceFn m_pfnSource;
    std::uint32_t* m_pPrefix = nullptr;
    std::uint8_t* m_pSuffix = nullptr;
    std::int32_t m_bitsLeft = 0;
    std::uint32_t m_bitBuffer = 0;
    std::uint32_t m_nextCode = 255;
    // 64 bits wide because the 32-bit stage holds 2^32 entries.
    std::uint64_t m_tableSize = 512;
    std::int32_t m_codeWidth = 9;
    std::uint8_t* m_pStack = nullptr;
    std::size_t m_depth = 0;
    std::size_t m_stackSize = LONG_STRING;
    std::uint32_t m_oldCode = 0;
    std::uint32_t m_code = 0;
    std::int32_t m_firstByte = 0;
    std::uint32_t m_cursor = 0;

    NoticeFn m_pfnLongStringNotice;
    // Lets a code whose string lies in the current call's output be copied
    // from there instead of walking its prefix chain.
    SSpan* m_pSpan = nullptr;
    std::uint64_t m_oldStart = 0;  // output position of the previous string
    std::uint64_t m_oldLength = 0; // and its length
    std::uint64_t m_produced = 0;  // bytes decoded so far, delivered or not
    // Where the current Read() call's out began, and its output position, so
    // that strings decoded earlier in the same call can be copied from there.
    const std::uint8_t* m_pOutBase = nullptr;
    std::uint64_t m_outBasePos = 0;
    bool m_bFailed = false;
};

// Upper bound of the bytes any stream of packedBytes bytes can decode to: it
// holds at most n codes of 9 bits or more, and the i-th code's string has at
// most i bytes, so n(n + 1) / 2, saturated at UINT64_MAX. Lets a caller refuse
// a declared size before allocating for it.
std::uint64_t MaxUnpackedSize(std::uint64_t packedBytes);
