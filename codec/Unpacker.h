#pragma once

#include "codec/CodeReader.h"
#include "platform/LargeMemory.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

// LZW decoder for the stream CPacker writes. It hands out exactly the bytes
// asked for and keeps its whole state (dictionary, unread bits, undelivered
// bytes) between Read() calls, so reading in several calls gives the same
// bytes as one call.
//
// Its words come either from the packed bytes themselves, which it then reads
// ahead of the codes it decodes (the fast way), or from a source function,
// one word at a time and only when a code needs its bits. Both ways read
// codes with one reader and decode them with one step.
class CUnpacker {
public:
    using SourceFn = std::uint32_t (*)();
    using NoticeFn = void (*)();

    enum class Status {
        Ok,
        Damaged,     // the stream cannot give the bytes asked for
        OutOfMemory, // the dictionary or the string stack could not grow
    };

    // Strings of at least this many bytes are announced through the notice.
    static constexpr std::size_t LONG_STRING = 1024;

    // Reads the words of packed, which must outlive the unpacker, least
    // significant byte first; never reads a byte outside it.
    // pfnLongStringNotice, when not null, is called once for each decoded
    // string of LONG_STRING bytes or more; the string is still delivered whole.
    explicit CUnpacker(std::span<const std::uint8_t> packed,
                       NoticeFn pfnLongStringNotice = nullptr);

    // Takes each word from pfnSource when a code first needs its bits. The
    // source runs out when g_bSourceExhausted (codec/WordSource.h) is set; a
    // source that hands out the thread's word source, as NextWord does, lets
    // AtCleanEnd() look at the words after the last code.
    explicit CUnpacker(SourceFn pfnSource, NoticeFn pfnLongStringNotice = nullptr);

    ~CUnpacker();
    CUnpacker(const CUnpacker&) = delete;
    CUnpacker& operator=(const CUnpacker&) = delete;

    // Writes the next count bytes of the stream to out. Ok when all count
    // bytes were written. Damaged when the words run out first, a code is
    // neither a literal, a known code, the code being defined nor the
    // width-change code where the packer puts it, or the width would pass 32
    // bits; OutOfMemory when the dictionary or the string stack cannot grow.
    // After either, out holds an unspecified prefix and every later call
    // returns the same status at once. A count of 0 reads no word; a negative
    // count reads nothing and returns Damaged. Never writes past out + count.
    Status Read(std::uint8_t* out, std::int32_t count);

    // The same for output kept whole in one buffer, which may move between
    // calls: output holds the delivered bytes delivered so far, and the next
    // count bytes go right after them. Strings are then copied from anywhere
    // in the output instead of being rebuilt through the stack, however the
    // reads are split. Returns Damaged, reading nothing, when count is
    // negative or delivered is not the number of bytes delivered so far.
    Status ReadAppending(std::uint8_t* output, std::uint64_t delivered, std::int32_t count);

    // After the caller has read exactly the entry's size: true when the stream
    // ends where the packer ends it: nothing decoded but undelivered, the rest
    // of the current word zero, and after it either nothing or, when the last
    // code ended on a word boundary, one zero word. With a source function the
    // words after the last code are those of the thread's word source
    // (g_pSourceWord up to g_pSourceEnd). False after a failure.
    bool AtCleanEnd() const;

    // Words the codes decoded so far have taken, as reading one word at a
    // time takes them: a word counts once a code needs one of its bits.
    std::uint64_t WordsRead() const { return (m_consumedBits + 31) / 32; }

    // Bytes the dictionary tables and the string stack hold. They only grow,
    // so this is also the most they have held.
    std::uint64_t TableBytes() const;

    // Strings entered into the dictionary so far, beyond the 256 literals.
    std::uint64_t DictionarySize() const {
        return m_state.nextCode > 256 ? m_state.nextCode - 256 : 0;
    }

private:
    // Codes read ahead of the one being decoded when reading the packed bytes:
    // their table entries and the output they copy from are fetched early.
    static constexpr std::uint32_t AHEAD = 256;

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

    // What decoding one code reads and changes. The decoding loop works on a
    // copy in locals: kept in members, it would be loaded again after every
    // store through the output, which may change any member as far as the
    // compiler can tell.
    struct SState {
        SEntry* pEntry = nullptr;
        std::uint32_t* pPrefix = nullptr;
        std::uint8_t* pSuffix = nullptr;
        // Where the current call's output lies, and the output position of
        // its start, so that strings decoded before in it can be copied.
        const std::uint8_t* pOutBase = nullptr;
        std::uint64_t outBasePos = 0;
        std::uint64_t produced = 0; // bytes decoded so far, delivered or not
        std::uint64_t oldStart = 0; // output position of the previous string
        std::uint32_t oldHead = 0;  // and its first bytes, as in SEntry
        std::uint32_t oldCode = 0;
        std::uint32_t nextCode = 255; // the code the next entry defines
    };
    // A code's string: where it was decoded first, its length and first
    // bytes, and whether it is the code being defined.
    struct SString {
        std::uint64_t from;
        std::uint64_t length;
        std::uint32_t head;
        bool defined;
    };

    static SString Resolve(const SState& s, std::uint32_t code);
    bool Emit(const SState& s, const SString& string, std::uint8_t* out,
              const std::uint8_t* end) const;
    static void Enter(SState& s, const SString& string);
    bool DecodeDirect(SState& s, std::uint32_t code, std::uint8_t*& out, const std::uint8_t* end);
    Status Decode(std::uint32_t code, std::uint8_t*& out, const std::uint8_t* end);
    Status ReadTo(std::uint8_t* out, const std::uint8_t* end);
    Status DecodeAhead(std::uint8_t*& out, const std::uint8_t* end);
    Status DecodeNext(std::uint8_t*& out, const std::uint8_t* end);
    bool DecodeRun(std::uint8_t*& out, const std::uint8_t* end);
    void FillAhead();
    void CompletePrefixes();
    bool PushString(std::uint32_t code, const SString& string);
    void PushFromOutput(const SString& string);
    void PushByPrefixes(std::uint32_t code, const SString& string);
    std::uint8_t* Deliver(std::uint8_t* out, const std::uint8_t* end);
    bool Grow();
    bool CreateTables(std::uint64_t size);
    // The width of the codes the decoder takes now: m_tableSize is 2^width.
    std::uint64_t CodeWidth() const {
        return static_cast<std::uint64_t>(std::countr_zero(m_tableSize));
    }
    bool RestIsClean(std::uint64_t restBits, std::int32_t restLeft, const std::uint8_t* rest,
                     const std::uint8_t* restEnd) const;

    // One field of every code, zero past the codes entered. It grows where
    // it lies when it can (ResizeZeroed), so that growing neither copies the
    // codes nor touches pages the decoding has not: reading the packed bytes,
    // the prefixes and suffixes are seldom needed.
    template <typename T>
    struct SCodeTable {
        T* p = nullptr;
        std::uint64_t codes = 0;
        SCodeTable() = default;
        SCodeTable(const SCodeTable&) = delete;
        SCodeTable& operator=(const SCodeTable&) = delete;
        ~SCodeTable() { FreeZeroed(p, codes * sizeof(T)); }
        // False, keeping the table as it was, when memory runs out.
        bool Resize(std::uint64_t count) {
            if (count > SIZE_MAX / sizeof(T))
                return false;
            void* q = ResizeZeroed(p, codes * sizeof(T), count * sizeof(T));
            if (q == nullptr)
                return false;
            p = static_cast<T*>(q);
            codes = count;
            return true;
        }
    };

    // The entry, prefix and suffix tables; each holds m_tableSize codes once
    // growing them has succeeded, and 64 bits wide because the 32-bit stage
    // holds 2^32 entries.
    static constexpr std::uint64_t BYTES_PER_CODE = sizeof(SEntry) + 4 + 1;
    SCodeTable<SEntry> m_entries;
    SCodeTable<std::uint32_t> m_prefixTable;
    SCodeTable<std::uint8_t> m_suffixTable;
    std::uint64_t m_tableSize = 512;
    SState m_state;
    std::uint8_t* m_pStack = nullptr;
    std::size_t m_depth = 0;
    std::size_t m_stackSize = LONG_STRING;
    NoticeFn m_pfnLongStringNotice;
    Status m_failure = Status::Ok;

    // The reader, and the bits the codes decoded so far took: the decoder
    // stands there, while reading the packed bytes the reader runs ahead.
    SCodeReader m_reader;
    const std::uint8_t* m_pPacked = nullptr; // the packed bytes, when read directly
    std::uint64_t m_consumedBits = 0;
    // The codes read ahead, between the ring counters (taken modulo AHEAD);
    // m_bAheadStopped once the reader has met the end of the words or a code
    // it refuses.
    bool m_bAheadStopped = false;
    std::uint32_t m_aheadPos = 0;
    std::uint32_t m_aheadEnd = 0;
    std::uint32_t m_aheadCode[AHEAD] = {};
    // Reading the packed bytes, the decoding loop leaves the prefixes out, as
    // only a string walked through the stack needs them; before a walk they
    // are entered up to m_prefixes.next from the codes read a second time,
    // m_prefixCode being the last of them.
    SCodeReader m_prefixes;
    std::uint32_t m_prefixCode = 0;
};

// Upper bound of the bytes any stream of packedBytes bytes can decode to: it
// holds at most n codes of 9 bits or more, and the i-th code's string has at
// most i bytes, so n(n + 1) / 2, saturated at UINT64_MAX. Lets a caller refuse
// a declared size before allocating for it.
std::uint64_t MaxUnpackedSize(std::uint64_t packedBytes);
