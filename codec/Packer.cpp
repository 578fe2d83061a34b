#include "codec/Packer.h"

#include "codec/TableResize.h"
#include "platform/LargeMemory.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint64_t FIRST_TABLE_SIZE = 512;
constexpr std::int32_t MAX_WIDTH = 32;
constexpr std::size_t ROOT_CHILDREN = 256 * 256;
constexpr std::int32_t FIRST_SLOT_BITS = 12;
// The hash's index comes from the 32-bit tag, so it stops growing there and
// only fills further (it always keeps empty slots: there are fewer codes).
constexpr std::int32_t MAX_SLOT_BITS = 32;
// From this size on the hash grows to what the input so far predicts; before,
// the rate strings come at is too young to tell.
constexpr std::int32_t PROJECTED_SLOT_BITS = 18;
// The most the hash grows by at once, in bits: an input that changes its kind
// cannot make it more than this much larger than the strings seen so far need.
constexpr std::int32_t MAX_GROWTH_BITS = 5;
// Input positions whose three-byte string is prefetched ahead of the search,
// and the most new ones a string's end adds. Short strings keep the whole
// distance fetched; a long one, such as a run of one byte (which never
// reaches the hash), does not have every position it passed fetched at once,
// when most of them lie in the run.
constexpr std::ptrdiff_t LOOKAHEAD = 64;
constexpr std::ptrdiff_t NEW_AT_ONCE = 4;
// The longest string whose slot is prefetched when a string begins.
constexpr std::ptrdiff_t MAX_PATH_DEPTH = 12;

// The hash of a string is the sum of one term for each of its bytes: a
// random value for the byte, rotated by the byte's place in the string. A
// long string's search then waits on one addition a byte, where a
// multiplication would take three cycles and more. It only picks where a
// search starts: the slot's key decides.
constexpr std::array<std::uint64_t, 256> BYTE_TERMS = [] {
    std::array<std::uint64_t, 256> terms{};
    std::uint64_t state = 0x243F6A8885A308D3;
    for (auto& term : terms) {
        // splitmix64
        state += 0x9E3779B97F4A7C15;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
        term = z ^ (z >> 31);
    }
    return terms;
}();

// The hash of a string of place bytes extended by byte.
std::uint64_t Mix(std::uint64_t hash, std::uint32_t place, std::uint8_t byte) {
    return hash + std::rotl(BYTE_TERMS[byte], static_cast<int>(place % 64));
}

std::uint64_t HashOfByte(std::uint8_t byte) {
    return BYTE_TERMS[byte];
}

// The hash with its bits spread evenly: the sums of strings that differ
// little would otherwise crowd together (a string and the same string with
// 64 more of one byte at its end differ by that byte's term's bit count).
std::uint64_t Spread(std::uint64_t hash) {
    return hash * 0x9E3779B97F4A7C15;
}

// The tag of a spread hash: its top 32 bits.
std::uint32_t TagOf(std::uint64_t spread) {
    return static_cast<std::uint32_t>(spread >> 32);
}

// The hash doubles once three quarters of its slots are used: a search that
// finds nothing still ends within a cache line or two, and the slots cost 11
// to 21 bytes a string.
std::uint64_t GrowPoint(std::uint64_t slots) {
    return slots / 4 * 3;
}

// Adds code, width bits, to the bitCount bits not yet sent, and sends a word
// once 32 are there. A code that fits the current word goes above the bits
// already there. One that does not is rotated so that its high bits end this
// word and its low bits start the next; from then on the bits are sent oldest
// first.
[[gnu::always_inline]] inline void PutBits(std::uint64_t& bits, std::int32_t& bitCount,
                                           std::uint32_t code, std::int32_t width,
                                           CPacker::SinkFn sink) {
    const std::int32_t room = 32 - bitCount;
    std::uint64_t value = code;
    if (width > room) {
        const std::int32_t low = width - room;
        value = (code >> low) | (value & ((std::uint64_t{1} << low) - 1)) << room;
    }
    bits |= value << bitCount;
    bitCount += width;
    if (bitCount < 32)
        return;
    sink(static_cast<std::uint32_t>(bits), false);
    bits >>= 32;
    bitCount -= 32;
}

// Starts fetching the hash slots of the three-byte strings at the next
// NEW_AT_ONCE positions of data up to LOOKAHEAD on that are not fetched yet
// (those before prefetched): wherever the next strings begin, their first
// search that reaches the hash is then already on its way. A search that
// finds nothing often runs on past the end of its slot's cache line, so the
// next 32 bytes are fetched too. Returns how far the positions are fetched
// now.
template <typename Slot>
const std::uint8_t* PrefetchSlots(const Slot* slots, std::int32_t shift,
                                  const std::uint8_t* prefetched, const std::uint8_t* data,
                                  const std::uint8_t* end) {
    const std::ptrdiff_t left = end - data - 2;
    if (left <= 0)
        return prefetched;
    const std::uint8_t* const stop = data + (left < LOOKAHEAD ? left : LOOKAHEAD);
    const std::uint8_t* p = prefetched > data ? prefetched : data;
    const std::uint8_t* const last = stop - p > NEW_AT_ONCE ? p + NEW_AT_ONCE : stop;
    for (; p < last; ++p) {
        const auto* slot = reinterpret_cast<const std::uint8_t*>(
            &slots[Spread(Mix(Mix(HashOfByte(p[0]), 1, p[1]), 2, p[2])) >> shift]);
        __builtin_prefetch(slot);
        __builtin_prefetch(slot + 32);
    }
    return p > prefetched ? p : prefetched;
}

// Starts fetching the slots of the strings that extend the one of hash, of
// length bytes, by data[0] up to each of data[skip] to data[skip + count - 1].
template <typename Slot>
void PrefetchExtensions(const Slot* slots, std::int32_t shift, std::uint64_t hash,
                        std::uint32_t length, const std::uint8_t* data, std::ptrdiff_t skip,
                        std::ptrdiff_t count) {
    for (std::ptrdiff_t k = 0; k < skip; ++k)
        hash = Mix(hash, length++, data[k]);
    for (std::ptrdiff_t k = skip; k < skip + count; ++k) {
        hash = Mix(hash, length++, data[k]);
        __builtin_prefetch(&slots[Spread(hash) >> shift]);
    }
}

// Starts fetching the slots that the search of the string just begun at
// data[-1], whose hash is hash, reads after its three-byte one (which
// PrefetchSlots has on its way already): those of its strings of four up to
// depth bytes, depth at most MAX_PATH_DEPTH. Without this the search waits
// for each of them in turn. Neighbouring strings tend to be alike in length,
// so the caller passes one more than the length of the string before: on
// random input, whose strings are two or three bytes, nothing is fetched.
template <typename Slot>
void PrefetchPath(const Slot* slots, std::int32_t shift, std::uint64_t hash,
                  const std::uint8_t* data, const std::uint8_t* end, std::ptrdiff_t depth) {
    depth = std::min(depth, MAX_PATH_DEPTH);
    if (depth >= 4 && end - data >= depth - 1)
        PrefetchExtensions(slots, shift, hash, 1, data, 2, depth - 3);
}

// How many of the bytes from data on, at most limit, are byte.
std::size_t RunLength(const std::uint8_t* data, std::size_t limit, std::uint8_t byte) {
    std::size_t n = 0;
    if constexpr (std::endian::native == std::endian::little) {
        const std::uint64_t pattern = byte * std::uint64_t{0x0101010101010101};
        for (; n + 8 <= limit; n += 8) {
            std::uint64_t word;
            std::memcpy(&word, data + n, sizeof word);
            if (const std::uint64_t differ = word ^ pattern; differ != 0)
                return n + static_cast<std::size_t>(std::countr_zero(differ)) / 8;
        }
    }
    while (n < limit && data[n] == byte)
        ++n;
    return n;
}

} // namespace

CPacker::CPacker(SinkFn pfnSink, std::uint32_t wideKeysFrom)
    : m_wideKeysFrom(std::clamp(wideKeysFrom, std::uint32_t{512}, WIDE_KEYS_FROM)),
      m_pfnSink(pfnSink) {}

CPacker::~CPacker() {
    for (SRunCodes& run : m_runs) {
        std::free(run.codes);
        std::free(run.hashes);
    }
    FreeZeroed(m_pTag, m_tableSize * sizeof(std::uint32_t));
    std::free(m_pRootChild);
    FreeZeroed(m_pSlots, SlotBytes());
}

void CPacker::AddTableBytes(std::int64_t bytes) {
    m_tableBytes += static_cast<std::uint64_t>(bytes);
    if (m_tableBytes > m_peakBytes)
        m_peakBytes = m_tableBytes;
}

// Makes the tag table hold count entries, keeping those it holds.
bool CPacker::ResizeTags(std::uint64_t count) {
    if (count > SIZE_MAX / sizeof(std::uint32_t))
        return false;
    void* tags = ResizeZeroed(m_pTag, m_tableSize * sizeof(std::uint32_t),
                              static_cast<std::size_t>(count) * sizeof(std::uint32_t));
    if (tags == nullptr)
        return false;
    m_pTag = static_cast<std::uint32_t*>(tags);
    m_tableSize = count;
    return true;
}

// Enters code, the run of byte one longer than the longest so far, whose
// bytes have the hash given. Returns false when the list cannot grow.
bool CPacker::AppendRun(std::uint8_t byte, std::uint32_t code, std::uint64_t hash) {
    SRunCodes& run = m_runs[byte];
    if (run.count == run.capacity) {
        const std::uint32_t capacity = run.capacity == 0 ? 64 : run.capacity * 2;
        if (capacity <= run.capacity || !ResizeTable(run.codes, capacity) ||
            !ResizeTable(run.hashes, capacity))
            return false;
        AddTableBytes(static_cast<std::int64_t>((capacity - run.capacity) *
                                                (sizeof(std::uint32_t) + sizeof(std::uint64_t))));
        run.capacity = capacity;
    }
    run.codes[run.count] = code;
    run.hashes[run.count] = hash;
    ++run.count;
    return true;
}

bool CPacker::CreateTables() {
    if (!ResizeTags(FIRST_TABLE_SIZE) || !ResizeTable(m_pRootChild, ROOT_CHILDREN))
        return false;
    std::memset(m_pRootChild, 0xFF, ROOT_CHILDREN * sizeof(std::uint32_t));
    m_slotBits = FIRST_SLOT_BITS;
    m_pSlots = AllocateSlots(m_slotBits, SlotSize());
    if (m_pSlots == nullptr)
        return false;
    m_growAt = GrowPoint(SlotCount());
    AddTableBytes(static_cast<std::int64_t>(FIRST_TABLE_SIZE * sizeof(std::uint32_t) +
                                            ROOT_CHILDREN * sizeof(std::uint32_t) + SlotBytes()));
    m_nextCode = 256;
    return true;
}

void CPacker::Write(const std::uint8_t* data, std::int32_t length) {
    if (length <= 0 || m_bFailed)
        return;
    const std::uint8_t* const end = data + length;
    if (m_pTag == nullptr) {
        if (!CreateTables()) {
            m_bFailed = true;
            return;
        }
        m_pending = *data;
        m_length = 1;
        m_runByte = *data;
        m_hash = HashOfByte(*data++);
    } else if (m_pending == NO_CODE) {
        return; // after Finish()
    }
    m_bytesGiven += static_cast<std::uint64_t>(length);
    m_pPrefetched = data;
    while (data != end) {
        data =
            m_bWideKeys ? PackStrings<SWideSlot>(data, end) : PackStrings<SNarrowSlot>(data, end);
        if (m_bFailed || !AfterString(static_cast<std::uint64_t>(end - data))) {
            m_bFailed = true;
            return;
        }
    }
}

// Packs the strings along data until the input ends or a string ends that
// needs AfterString(). Each string follows the dictionary from the pending
// code: the children of literals by direct indexing, longer strings through
// the hash. At the byte no child matches, the pending code is emitted,
// pending + byte is entered as the next code and byte starts a new string.
// This is where nearly all the time goes, so it is one loop over locals: kept
// in members, the state would be loaded again after every store to a table
// and every call of the sink, either of which may change any member as far as
// the compiler can tell.
template <typename Slot>
const std::uint8_t* CPacker::PackStrings(const std::uint8_t* data, const std::uint8_t* end) {
    using Key = typename Slot::Key;
    Slot* const slots = static_cast<Slot*>(m_pSlots);
    std::uint32_t* const rootChild = m_pRootChild;
    std::uint32_t* const tag = m_pTag;
    const std::int32_t shift = 64 - m_slotBits;
    const std::uint64_t mask = SlotCount() - 1;
    const std::int32_t width = m_codeWidth;
    const SinkFn sink = m_pfnSink;
    // Strings that may end before AfterString() can have work: each brings
    // the next code one nearer the width change and the wide keys, and the
    // hash at most one slot nearer growing. At least one string always ends.
    std::uint64_t quiet = std::min(m_tableSize - 3 - m_nextCode, m_growAt - m_slotsUsed);
    if (!m_bWideKeys)
        quiet = std::min<std::uint64_t>(quiet, m_wideKeysFrom - m_nextCode);
    quiet = std::max<std::uint64_t>(quiet, 1);
    std::uint32_t code = m_pending;
    std::uint64_t hash = m_hash;
    std::uint32_t length = m_length;
    std::uint32_t next = m_nextCode;
    std::uint64_t used = m_slotsUsed;
    std::uint64_t bits = m_bits;
    std::int32_t bitCount = m_bitCount;
    const std::uint8_t* prefetched = m_pPrefetched;
    // Just after the pending string's first byte, as far as this call knows.
    const std::uint8_t* begun = data;
    std::int32_t runByte = m_runByte;
    while (data != end) {
        bool inHash = true;
        if (*data == runByte) {
            // The pending string is a run of this byte: it goes on as far as
            // both the input and the longest such run of the dictionary do.
            const SRunCodes& run = m_runs[runByte];
            const std::size_t more = RunLength(
                data,
                std::min<std::size_t>(static_cast<std::size_t>(end - data), run.count + 1 - length),
                static_cast<std::uint8_t>(runByte));
            if (more != 0) {
                length += static_cast<std::uint32_t>(more);
                code = run.codes[length - 2];
                hash = run.hashes[length - 2];
                data += more;
                if (data == end)
                    break;
            }
            inHash = *data != runByte;
        } else if (code < 256) {
            const std::uint32_t pair = rootChild[code << 8 | *data];
            inHash = pair != NO_CODE;
            if (inHash) {
                code = pair;
                hash = Mix(hash, length++, *data++);
            }
        }
        std::uint64_t freeSlot = 0;
        std::uint64_t missHash = 0;
        if (inHash)
            runByte = -1;
        for (; inHash && data != end; ++data) {
            const std::uint64_t extended = Mix(hash, length, *data);
            const Key key = Key{code} << 8 | *data;
            std::uint64_t i = Spread(extended) >> shift;
            std::uint32_t child = slots[i].code;
            while (child != 0 && slots[i].key != key) {
                i = (i + 1) & mask;
                child = slots[i].code;
            }
            if (child == 0) {
                freeSlot = i;
                missHash = Spread(extended);
                break;
            }
            code = child;
            hash = extended;
            ++length;
        }
        if (data == end)
            break;
        const std::uint8_t byte = *data++;
        PutBits(bits, bitCount, code, width, sink);
        const std::uint32_t added = next++;
        if (byte == runByte) {
            if (!AppendRun(byte, added, Mix(hash, length, byte))) {
                m_bFailed = true;
                break;
            }
        } else if (code < 256) {
            rootChild[code << 8 | byte] = added;
        } else {
            tag[added] = TagOf(missHash);
            slots[freeSlot] = Slot{Key{code} << 8 | byte, added};
            ++used;
        }
        code = byte;
        hash = HashOfByte(byte);
        length = 1;
        runByte = byte;
        PrefetchPath(slots, shift, hash, data, end, data - begun + 1);
        begun = data;
        prefetched = PrefetchSlots(slots, shift, prefetched, data, end);
        if (--quiet == 0)
            break;
    }
    m_pending = code;
    m_hash = hash;
    m_length = length;
    m_runByte = runByte;
    m_nextCode = next;
    m_slotsUsed = used;
    m_bits = bits;
    m_bitCount = bitCount;
    m_pPrefetched = prefetched;
    return data;
}

// After a string has been entered: changes the width or grows the hash when
// the new code calls for it. Returns false when the tables cannot grow.
bool CPacker::AfterString(std::uint64_t bytesLeft) {
    if (m_nextCode == m_tableSize - 3 && !ChangeWidth())
        return false;
    if (!m_bWideKeys && m_nextCode >= m_wideKeysFrom && !GrowHash(m_slotBits, true, bytesLeft))
        return false;
    return m_slotsUsed < m_growAt || GrowHash(GrownSlotBits(bytesLeft), m_bWideKeys, bytesLeft);
}

// The width-change code, the all-ones code at the old width, is emitted
// before the tag table doubles. Returns false when it cannot grow; past 32
// bits there is no wider code to change to.
bool CPacker::ChangeWidth() {
    PutCode(static_cast<std::uint32_t>(m_tableSize - 1), m_codeWidth);
    if (m_codeWidth == MAX_WIDTH)
        return false;
    const std::uint64_t added = m_tableSize;
    if (!ResizeTags(m_tableSize * 2))
        return false;
    AddTableBytes(static_cast<std::int64_t>(added * sizeof(std::uint32_t)));
    ++m_codeWidth;
    return true;
}

// Enough bits for the strings expected by the end of the bytes already given
// (or of those the caller said to expect), if they keep coming at the rate
// since the last enlargement, and at least one
// bit more: each enlargement moves every string and takes fresh memory, so a
// long input that would fill the hash many times over skips the steps between.
std::int32_t CPacker::GrownSlotBits(std::uint64_t bytesLeft) const {
    std::int32_t bits = m_slotBits + 1;
    if (bits < PROJECTED_SLOT_BITS || bits > MAX_SLOT_BITS)
        return bits;
    const std::uint64_t packed = m_bytesGiven - bytesLeft;
    const std::uint64_t span = packed - m_grownBytes;
    if (span == 0)
        return bits;
    const std::uint64_t toCome =
        std::max(bytesLeft, m_expectedBytes > packed ? m_expectedBytes - packed : 0);
    const std::uint64_t expected = m_slotsUsed + (m_slotsUsed - m_grownSlots) * toCome / span;
    const std::int32_t most = std::min(MAX_SLOT_BITS, m_slotBits + MAX_GROWTH_BITS);
    while (bits < most && GrowPoint(std::uint64_t{1} << bits) <= expected)
        ++bits;
    return bits;
}

// A zeroed hash of 2^bits slots, or null.
void* CPacker::AllocateSlots(std::int32_t bits, std::size_t slotSize) {
    const std::uint64_t count = std::uint64_t{1} << bits;
    if (count > SIZE_MAX / slotSize)
        return nullptr;
    return AllocateZeroed(static_cast<std::size_t>(count) * slotSize);
}

// Places every slot of the current hash in slots, a zeroed hash of 2^bits.
// The old slots are in order of their index, the tag's top bits, so the new
// hash fills from start to end; the tags of the slots a little further on are
// fetched ahead.
template <typename From, typename To>
void CPacker::MoveSlots(To* slots, std::int32_t bits) const {
    const auto* const old = static_cast<const From*>(m_pSlots);
    const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
    constexpr std::uint64_t ahead = 16;
    const std::uint64_t oldCount = SlotCount();
    for (std::uint64_t n = 0; n < oldCount; ++n) {
        if (n + ahead < oldCount)
            __builtin_prefetch(&m_pTag[old[n + ahead].code]);
        const From slot = old[n];
        if (slot.code == 0)
            continue;
        std::uint64_t i = m_pTag[slot.code] >> (32 - bits);
        while (slots[i].code != 0)
            i = (i + 1) & mask;
        slots[i] = To{slot.key, slot.code};
    }
}

// Makes the hash 2^bits slots, or less when that is more than memory allows
// but doubling is not, and with 64-bit keys when wide; bytesLeft of the
// current Write() are still to pack. Returns false when memory runs out.
bool CPacker::GrowHash(std::int32_t bits, bool wide, std::uint64_t bytesLeft) {
    if (bits > MAX_SLOT_BITS) {
        // The index comes from the 32-bit tag: from here the hash only fills.
        m_growAt = ~std::uint64_t{0};
        return true;
    }
    const std::size_t slotSize = wide ? sizeof(SWideSlot) : sizeof(SNarrowSlot);
    void* slots = AllocateSlots(bits, slotSize);
    if (slots == nullptr && bits > m_slotBits + 1) {
        // The prediction may ask for more than there is; doubling may still fit.
        bits = m_slotBits + 1;
        slots = AllocateSlots(bits, slotSize);
    }
    if (slots == nullptr)
        return false;
    const std::uint64_t count = std::uint64_t{1} << bits;
    AddTableBytes(static_cast<std::int64_t>(count * slotSize));
    if (m_bWideKeys)
        MoveSlots<SWideSlot>(static_cast<SWideSlot*>(slots), bits);
    else if (wide)
        MoveSlots<SNarrowSlot>(static_cast<SWideSlot*>(slots), bits);
    else
        MoveSlots<SNarrowSlot>(static_cast<SNarrowSlot*>(slots), bits);
    AddTableBytes(-static_cast<std::int64_t>(SlotBytes()));
    FreeZeroed(m_pSlots, SlotBytes());
    m_pSlots = slots;
    m_bWideKeys = wide;
    if (bits != m_slotBits) {
        m_grownSlots = m_slotsUsed;
        m_grownBytes = m_bytesGiven - bytesLeft;
    }
    m_slotBits = bits;
    m_growAt = GrowPoint(count);
    return true;
}

void CPacker::Finish() {
    if (m_pending != NO_CODE && !m_bFailed) {
        PutCode(m_pending, m_codeWidth);
        // Zero bits up to the end of the word; a whole zero word when the
        // last code ended on a word boundary.
        m_pfnSink(static_cast<std::uint32_t>(m_bits), false);
        m_bits = 0;
        m_bitCount = 0;
        m_pending = NO_CODE;
    }
    m_pfnSink(0, true);
}

void CPacker::PutCode(std::uint32_t code, std::int32_t width) {
    PutBits(m_bits, m_bitCount, code, width, m_pfnSink);
}
