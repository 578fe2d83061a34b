#pragma once

#include <cstdint>

// LZW coder for entry payloads. Codes start 9 bits wide; the code with all
// bits set at the current width announces one more bit, and is emitted right
// after the code that created dictionary code 2^w - 4. Codes are laid into
// 32-bit words from the least significant bit; a code that does not fit puts
// its high bits at the top of the current word and its low bits at the bottom
// of the next. After the last code the word is filled with zero bits, and a
// last code ending exactly on a word boundary is followed by one zero word.
// The stream depends only on the bytes given, never on how Write() split them.
//
// The dictionary is never reset: codes and the pending code are 32 bits wide,
// and the width keeps growing past 16 bits by the same rule. Which code
// extends the pending one by a byte is found by direct indexing for literals
// and by a hash for longer strings; the search only decides speed, never the
// stream.
class CPacker {
public:
    using SinkFn = void (*)(std::uint32_t word, bool flush);

    static constexpr std::uint32_t NO_CODE = 0xFFFFFFFF;

    // Stores the sink, which receives every finished word and, from Finish(),
    // one call with (0, true).
    explicit CPacker(SinkFn pfnSink);
    ~CPacker();
    CPacker(const CPacker&) = delete;
    CPacker& operator=(const CPacker&) = delete;

    // Packs length bytes. A length of 0 or below does nothing, and so does
    // every call once Failed() is true.
    void Write(const std::uint8_t* data, std::int32_t length);

    // Emits the pending code, pads the last word and calls the sink with
    // (0, true). Empty input gives no words at all. After a failure it only
    // calls the sink with (0, true).
    void Finish();

    // True once the dictionary could not be enlarged; the words sent to the
    // sink are then not a usable stream.
    bool Failed() const { return m_bFailed; }

private:
    // A slot of a hash of (prefix, byte) -> code; code 0 marks it empty.
    struct SSlot {
        std::uint32_t key; // prefix << 8 | byte, cut to 32 bits
        std::uint32_t code;
    };
    // Linear probing with at least twice as many slots as codes, so that a
    // search for a missing child ends after a probe or two.
    struct SHash {
        SSlot* pSlots = nullptr;
        std::uint64_t mask = 0;
        std::int32_t bits = 0;
        std::uint64_t freeSlot = 0; // where the last search that found nothing ended
    };

    bool CreateTables();
    bool ChangeWidth();
    bool RebuildLateCodes();
    std::uint32_t FindChild(std::uint32_t prefix, std::uint8_t byte);
    std::uint32_t Probe(SHash& hash, std::uint32_t prefix, std::uint8_t byte);
    void AddChild(std::uint32_t prefix, std::uint8_t byte);
    void PutCode(std::uint32_t code, std::int32_t width);

    std::uint32_t* m_pPrefix = nullptr;
    std::uint32_t m_pending = NO_CODE;
    std::uint8_t* m_pSuffix = nullptr;
    std::uint8_t m_byte = 0;
    // The search for a child, fastest first. Children of the 256 literals are
    // indexed directly by literal << 8 | byte (NO_CODE where none). A string
    // of three bytes or more remembers the child it was last extended by,
    // (byte << 32) | code, which on repetitive input is nearly always the one
    // wanted; two-byte strings have too many children for that to pay. Then
    // the hashes: codes created early, which most searches end at, in one of
    // fixed size that stays in cache, the later ones in one that doubles
    // with the width.
    std::uint32_t* m_pRootChild = nullptr;
    std::uint64_t* m_pLastChild = nullptr;
    bool m_bPendingPair = false; // m_pending stands for two bytes
    SHash m_early;
    SHash m_late;
    std::uint32_t m_nextCode = 0;
    // 64 bits wide because the 32-bit stage holds 2^32 entries.
    std::uint64_t m_tableSize = 0;
    std::int32_t m_codeWidth = 9;
    std::int32_t m_freeBits = 32;
    std::uint32_t m_accum = 0;
    SinkFn m_pfnSink;
    bool m_bFailed = false;
};
