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

    // Strings entered into the dictionary so far, beyond the 256 literals.
    std::uint64_t DictionarySize() const { return m_nextCode > 256 ? m_nextCode - 256 : 0; }

private:
    // Codes read ahead of the one being decoded when the source is NextWord:
    // their table entries and the output they copy from are fetched early.
    static constexpr std::uint32_t AHEAD = 256;

    // Reads codes straight from the word source's bytes: for the ring, and a
    // second time for the prefixes.
    struct SReader {
        const std::uint8_t* word = nullptr; // the next word to take bits from
        std::uint64_t bits = 0;             // bits taken but not yet used
        std::int32_t left = 0;              // how many
        std::int32_t width = 9;
        std::uint64_t tableSize = 512;
        std::uint32_t next = 255; // the code the next entry defines
    };
    enum class ECode { Entry, WidthChange, Bad, End };

    static ECode NextCode(SReader& reader, std::uint32_t& code);
    void CompletePrefixes();
    bool Decode(std::uint32_t code, std::uint8_t*& out, const std::uint8_t* end);
    bool DecodeAhead(std::uint8_t*& out, const std::uint8_t* end);
    void DecodeRun(std::uint8_t*& out, const std::uint8_t* end);
    void FillAhead();
    void SyncSource();
    void CopyString(std::uint8_t* out, const std::uint8_t* end, std::uint64_t from,
                    std::uint64_t length);
    bool PushString(std::uint64_t length);
    void AddEntry(std::uint64_t start, std::uint32_t head);
    std::uint8_t* Deliver(std::uint8_t* out, const std::uint8_t* end);
    std::uint32_t GetCode();
    bool Grow();
    bool CreateTables(std::uint64_t size);

    // Where a code's string was first decoded in the output, modulo 2^32, and
    // its first HEAD_BYTES bytes (byte i in bits 8i to 8i + 7), so that a
    // short string is written without reading the output. The entry after a
    // code starts where its last byte was decoded, so a code's length is the
    // gap to the next entry plus one; the entry after the newest code holds
    // the current string's position.
    struct SEntry {
        std::uint32_t start;
        std::uint32_t head;
    };
    static constexpr std::uint64_t HEAD_BYTES = 4;

    SourceFn m_pfnSource;
    // The entry, prefix and suffix tables share one allocation of
    // m_tableSize * BYTES_PER_CODE bytes, so growing them succeeds or fails
    // as one.
    static constexpr std::uint64_t BYTES_PER_CODE = 13;
    std::uint8_t* m_pTables = nullptr;
    SEntry* m_pEntry = nullptr;
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
    std::uint64_t m_oldStart = 0; // output position of the previous string
    std::uint32_t m_oldHead = 0;  // and its first bytes, as in SEntry
    std::uint64_t m_produced = 0; // bytes decoded so far, delivered or not
    // Where the current Read() call's out began, and its output position, so
    // that strings decoded earlier in the same call can be copied from there.
    const std::uint8_t* m_pOutBase = nullptr;
    std::uint64_t m_outBasePos = 0;
    bool m_bFailed = false;

    // Read-ahead state. Bits are counted from m_pAheadBase; m_consumedBits
    // covers the codes decoded so far, and the source and bit buffer are set
    // back to match it when a Read() succeeds, so that callers see the words
    // read as one code at a time would leave them. The ring holds each code
    // and its width; the ahead counters follow the width changes ahead of
    // the decoder.
    bool m_bAheadStarted = false;
    bool m_bAheadStopped = false; // a code that fails decoding was read ahead
    const std::uint8_t* m_pAheadBase = nullptr;
    SReader m_ahead;
    std::uint64_t m_consumedBits = 0;
    // Prefixes are entered up to m_prefixes.next; m_prefixCode is the last
    // code read there.
    SReader m_prefixes;
    std::uint32_t m_prefixCode = 0;
    std::uint32_t m_aheadPos = 0; // ring counters, taken modulo AHEAD
    std::uint32_t m_aheadEnd = 0;
    std::uint32_t m_aheadCode[AHEAD] = {};
    std::uint8_t m_aheadCodeWidth[AHEAD] = {};
};

// Upper bound of the bytes any stream of packedBytes bytes can decode to: it
// holds at most n codes of 9 bits or more, and the i-th code's string has at
// most i bytes, so n(n + 1) / 2, saturated at UINT64_MAX. Lets a caller refuse
// a declared size before allocating for it.
std::uint64_t MaxUnpackedSize(std::uint64_t packedBytes);
