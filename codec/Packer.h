#pragma once

#include <cstddef>
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
    // every call once Failed() is true or Finish() has emitted the stream.
    void Write(const std::uint8_t* data, std::int32_t length);

    // Emits the pending code, pads the last word and calls the sink with
    // (0, true). Empty input gives no words at all. After a failure it only
    // calls the sink with (0, true).
    void Finish();

    // True once the dictionary could not be enlarged; the words sent to the
    // sink are then not a usable stream.
    bool Failed() const { return m_bFailed; }

    // Most bytes the dictionary tables have held at once, counting both
    // tables while the hash is being enlarged.
    std::uint64_t PeakTableBytes() const { return m_peakBytes; }

private:
    // A slot of the hash of strings of three bytes or more; code 0 marks it
    // empty. The slot is chosen by the top bits of a hash of the string's
    // bytes, which the input gives before the dictionary is searched, so the
    // slot can be fetched early; tag is the hash's top 32 bits.
    struct SSlot {
        std::uint32_t tag;
        std::uint32_t code;
    };

    bool CreateTables();
    const std::uint8_t* Extend(const std::uint8_t* data, const std::uint8_t* end);
    bool EndString(std::uint8_t byte, std::uint64_t bytesLeft);
    void Prefetch(const std::uint8_t* data, const std::uint8_t* end);
    bool ChangeWidth();
    bool GrowHash(std::uint64_t bytesLeft);
    std::int32_t GrownSlotBits(std::uint64_t bytesLeft) const;
    static SSlot* AllocateSlots(std::int32_t bits);
    void AddTableBytes(std::int64_t bytes);
    void PutCode(std::uint32_t code, std::int32_t width);

    // Children of the 256 literals, indexed by literal << 8 | byte (NO_CODE
    // where none).
    std::uint32_t* m_pRootChild = nullptr;
    // The parent of every code from 256 on: a slot whose tag matches is the
    // child wanted when its parent is the pending code.
    std::uint32_t* m_pParent = nullptr;
    SSlot* m_pSlots = nullptr;
    std::uint64_t m_slotMask = 0;
    std::int32_t m_slotBits = 0;
    std::uint64_t m_slotsUsed = 0;
    std::uint64_t m_growAt = 0;   // m_slotsUsed that makes the hash grow
    std::uint64_t m_freeSlot = 0; // where the last search that found nothing ended

    std::uint32_t m_pending = NO_CODE;
    std::uint64_t m_hash = 0;                    // hash of the pending string's bytes
    std::uint64_t m_missHash = 0;                // of the pending string and the byte that ended it
    const std::uint8_t* m_pPrefetched = nullptr; // input up to here is prefetched
    std::uint32_t m_nextCode = 0;
    // 64 bits wide because the 32-bit stage holds 2^32 entries.
    std::uint64_t m_tableSize = 0;
    std::int32_t m_codeWidth = 9;
    // Bits not yet sent, the oldest at the bottom; fewer than 32 between codes.
    std::uint64_t m_bits = 0;
    std::int32_t m_bitCount = 0;
    std::uint64_t m_bytesGiven = 0; // to all Write() calls that packed
    std::uint64_t m_grownSlots = 0; // m_slotsUsed when the hash last grew
    std::uint64_t m_grownBytes = 0; // and the bytes packed then
    std::uint64_t m_tableBytes = 0;
    std::uint64_t m_peakBytes = 0;
    SinkFn m_pfnSink;
    bool m_bFailed = false;
};
