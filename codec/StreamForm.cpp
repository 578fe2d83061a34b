#include "codec/StreamForm.h"

#include "codec/CodeReader.h"

#include <algorithm>
#include <bit>
#include <new>
#include <stdexcept>
#include <vector>

namespace {

constexpr std::uint32_t NO_CODE = 0xFFFFFFFF;
// Entries whose keys are computed, and their slots fetched, before they are
// looked up: the slots lie all over a table larger than the caches.
constexpr std::size_t BATCH = 32;

// The dictionary's entries as keys (code << 8 | byte) + 1 in open
// addressing, kept at most half full; each entry is the string of code
// followed by byte. Keys of a stream with fewer than 2^24 codes fit 32 bits.
// It starts at the size the stream's length calls for, up to 2^largestBits
// slots, so that a short stream never grows it and a long one takes memory
// as its codes come.
template <typename Key>
class CEntrySet {
public:
    CEntrySet(std::uint64_t maxEntries, int largestBits)
        : m_bits(std::clamp(static_cast<int>(std::bit_width(2 * maxEntries)), 4, largestBits)),
          m_slots(std::size_t{1} << m_bits, 0) {}

    static Key KeyOf(std::uint32_t code, std::uint8_t byte) {
        return static_cast<Key>((Key{code} << 8 | byte) + 1);
    }
    std::size_t SlotOf(Key key) const {
        return static_cast<std::size_t>((std::uint64_t{key} * 0x9E3779B97F4A7C15u) >>
                                        (64 - m_bits));
    }
    void Prefetch(std::size_t slot) const { __builtin_prefetch(&m_slots[slot], 1); }

    // Makes room for count more keys; true when the slots moved, so that
    // slots found before must be found again.
    bool MakeRoom(std::size_t count) {
        if (2 * (m_used + count) <= m_slots.size())
            return false;
        while (2 * (m_used + count) > std::size_t{1} << m_bits)
            ++m_bits;
        std::vector<Key> old(std::size_t{1} << m_bits, 0);
        old.swap(m_slots);
        m_used = 0;
        for (const Key key : old)
            if (key != 0)
                Insert(key, SlotOf(key));
        return true;
    }

    // False when the key was there already.
    bool Insert(Key key, std::size_t slot) {
        const std::size_t mask = m_slots.size() - 1;
        for (;; slot = (slot + 1) & mask) {
            if (m_slots[slot] == key)
                return false;
            if (m_slots[slot] == 0) {
                m_slots[slot] = key;
                ++m_used;
                return true;
            }
        }
    }

private:
    int m_bits;
    std::vector<Key> m_slots;
    std::size_t m_used = 0;
};

// What the check keeps of each entry from 256 on.
struct SEntryFacts {
    std::uint32_t length;
    std::uint8_t first;
};

// Reads the codes of packed up to size bytes, checking each batch of the
// entries they define against those defined before.
template <typename Key>
StreamForm CheckCodes(std::span<const std::uint8_t> packed, std::uint64_t size,
                      std::uint64_t maxCodes, int largestFirstBits) {
    SCodeReader reader;
    reader.word = packed.data();
    reader.end = packed.data() + packed.size();
    std::vector<SEntryFacts> entries;
    entries.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(maxCodes, 1 << 20)));
    CEntrySet<Key> defined(maxCodes, largestFirstBits);
    Key keys[BATCH];
    std::size_t slots[BATCH];
    std::size_t batched = 0;
    const auto checkBatch = [&] {
        if (defined.MakeRoom(batched))
            for (std::size_t i = 0; i < batched; ++i)
                slots[i] = defined.SlotOf(keys[i]);
        for (std::size_t i = 0; i < batched; ++i)
            if (!defined.Insert(keys[i], slots[i]))
                return false;
        batched = 0;
        return true;
    };
    std::uint32_t previous = NO_CODE;
    SEntryFacts previousFacts{};
    std::uint64_t decoded = 0;
    while (decoded < size) {
        std::uint32_t code = 0;
        const ECode kind = reader.Next(code);
        if (kind == ECode::WidthChange)
            continue;
        if (kind != ECode::Entry)
            return StreamForm::Other;
        SEntryFacts facts{1, static_cast<std::uint8_t>(code)};
        if (code >= 256 && code - 256 < entries.size())
            facts = entries[code - 256];
        else if (code >= 256) // the entry this very code defines
            facts = {previousFacts.length + 1, previousFacts.first};
        if (previous != NO_CODE) {
            keys[batched] = CEntrySet<Key>::KeyOf(previous, facts.first);
            slots[batched] = defined.SlotOf(keys[batched]);
            defined.Prefetch(slots[batched]);
            if (++batched == BATCH && !checkBatch())
                return StreamForm::Other;
            entries.push_back({previousFacts.length + 1, previousFacts.first});
        }
        previous = code;
        previousFacts = facts;
        decoded += facts.length;
    }
    if (!checkBatch() || decoded != size)
        return StreamForm::Other;
    // After the last code the rest of its word is zero, and one zero word
    // follows exactly when the last code ended on a word boundary. (The
    // unpacker takes the stream without that word too.)
    const std::ptrdiff_t rest = reader.end - reader.word;
    const bool bZeroWordDue = previous != NO_CODE && reader.left == 0;
    const bool bEnd =
        reader.bits == 0 && (bZeroWordDue ? rest == 4 && (reader.word[0] | reader.word[1] |
                                                          reader.word[2] | reader.word[3]) == 0
                                          : rest == 0);
    return bEnd ? StreamForm::Packers : StreamForm::Other;
}

} // namespace

StreamForm StreamFormOf(std::span<const std::uint8_t> packed, std::uint64_t size,
                        int largestFirstBits) {
    // Every code takes 9 bits or more.
    const std::uint64_t maxCodes = packed.size() * 8 / 9 + 1;
    try {
        return maxCodes + 256 < (std::uint64_t{1} << 24)
                   ? CheckCodes<std::uint32_t>(packed, size, maxCodes, largestFirstBits)
                   : CheckCodes<std::uint64_t>(packed, size, maxCodes, largestFirstBits);
    } catch (const std::bad_alloc&) {
        return StreamForm::OutOfMemory;
    } catch (const std::length_error&) {
        return StreamForm::OutOfMemory;
    }
}
