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
// extends the pending one by a byte is found by direct indexing for literals,
// in a list of its own for runs of one byte, and by a hash for longer
// strings; the search only decides speed, never the stream.
class CPacker {
public:
    using SinkFn = void (*)(std::uint32_t word, bool flush);

    static constexpr std::uint32_t NO_CODE = 0xFFFFFFFF;

    // Codes from which the hash keys take 64 bits instead of 32.
    static constexpr std::uint32_t WIDE_KEYS_FROM = 1u << 24;

    // Stores the sink, which receives every finished word and, from Finish(),
    // one call with (0, true). wideKeysFrom, at most WIDE_KEYS_FROM, is
    // lowered only by tests, to reach the wide keys with little input.
    explicit CPacker(SinkFn pfnSink, std::uint32_t wideKeysFrom = WIDE_KEYS_FROM);
    ~CPacker();
    CPacker(const CPacker&) = delete;
    CPacker& operator=(const CPacker&) = delete;

    // Packs length bytes. A length of 0 or below does nothing, and so does
    // every call once Failed() is true or Finish() has emitted the stream.
    void Write(const std::uint8_t* data, std::int32_t length);

    // Says how many bytes all Write() calls together will give, when the
    // caller knows: the hash then grows straight to the size they call for,
    // as it does when one Write() is given everything, instead of a step at
    // a time. The stream does not depend on it.
    void ExpectBytes(std::uint64_t total) { m_expectedBytes = total; }

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

    // Strings entered into the dictionary so far, beyond the 256 literals.
    std::uint64_t DictionarySize() const { return m_nextCode > 256 ? m_nextCode - 256 : 0; }

private:
    // Slots of the hash of strings of three bytes or more, keyed exactly by
    // the string's parent code and last byte; code 0 marks a slot empty. The
    // slot is chosen by the top bits of a hash of the string's bytes, which
    // the input gives before the dictionary is searched, so slots can be
    // fetched early, and the key alone then decides. While every code is
    // below m_wideKeysFrom the key is parent << 8 | byte in 32 bits.
    struct SNarrowSlot {
        using Key = std::uint32_t;
        Key key;
        std::uint32_t code;
    };
    struct __attribute__((packed, aligned(4))) SWideSlot {
        using Key = std::uint64_t;
        Key key;
        std::uint32_t code;
    };

    // The codes of the runs of one byte value in the dictionary, two bytes
    // long and up, in order of length, with the hash of each run's bytes. A
    // run of one byte is found here whole, by counting the bytes, instead of
    // a search a byte; runs are not entered into the hash.
    struct SRunCodes {
        std::uint32_t* codes = nullptr;
        std::uint64_t* hashes = nullptr;
        std::uint32_t count = 0;
        std::uint32_t capacity = 0;
    };

    bool CreateTables();
    bool AppendRun(std::uint8_t byte, std::uint32_t code, std::uint64_t hash);
    bool ResizeTags(std::uint64_t count);
    template <typename Slot>
    const std::uint8_t* PackStrings(const std::uint8_t* data, const std::uint8_t* end);
    bool AfterString(std::uint64_t bytesLeft);
    bool ChangeWidth();
    bool GrowHash(std::int32_t bits, bool wide, std::uint64_t bytesLeft);
    template <typename From, typename To>
    void MoveSlots(To* slots, std::int32_t bits) const;
    std::int32_t GrownSlotBits(std::uint64_t bytesLeft) const;
    static void* AllocateSlots(std::int32_t bits, std::size_t slotSize);
    std::uint64_t SlotCount() const { return std::uint64_t{1} << m_slotBits; }
    std::size_t SlotSize() const { return m_bWideKeys ? sizeof(SWideSlot) : sizeof(SNarrowSlot); }
    std::uint64_t SlotBytes() const { return SlotCount() * SlotSize(); }
    void AddTableBytes(std::int64_t bytes);
    void PutCode(std::uint32_t code, std::int32_t width);

    // Children of the 256 literals, indexed by literal << 8 | byte (NO_CODE
    // where none).
    std::uint32_t* m_pRootChild = nullptr;
    // The top 32 bits of the hash of every code's string from 256 on: read
    // only to place the slots again when the hash grows.
    std::uint32_t* m_pTag = nullptr;
    void* m_pSlots = nullptr; // SNarrowSlot, or SWideSlot once m_bWideKeys
    bool m_bWideKeys = false;
    std::uint32_t m_wideKeysFrom;
    std::int32_t m_slotBits = 0;
    std::uint64_t m_slotsUsed = 0;
    std::uint64_t m_growAt = 0; // m_slotsUsed that makes the hash grow

    std::uint32_t m_pending = NO_CODE;
    std::uint64_t m_hash = 0;   // hash of the pending string's bytes
    std::uint32_t m_length = 0; // of the pending string, modulo 2^32
    // The byte the pending string is a run of, or -1 when it is not one.
    std::int32_t m_runByte = -1;
    SRunCodes m_runs[256];
    const std::uint8_t* m_pPrefetched = nullptr; // input up to here is prefetched
    std::uint32_t m_nextCode = 0;
    // Codes the current width can name, 2^m_codeWidth, and the entries the
    // tag table holds; 64 bits wide because the 32-bit stage holds 2^32.
    std::uint64_t m_tableSize = 0;
    std::int32_t m_codeWidth = 9;
    // Bits not yet sent, the oldest at the bottom; fewer than 32 between codes.
    std::uint64_t m_bits = 0;
    std::int32_t m_bitCount = 0;
    std::uint64_t m_bytesGiven = 0;    // to all Write() calls that packed
    std::uint64_t m_expectedBytes = 0; // by all of them, when told
    std::uint64_t m_grownSlots = 0;    // m_slotsUsed when the hash last grew
    std::uint64_t m_grownBytes = 0;    // and the bytes packed then
    std::uint64_t m_tableBytes = 0;
    std::uint64_t m_peakBytes = 0;
    SinkFn m_pfnSink;
    bool m_bFailed = false;
};
