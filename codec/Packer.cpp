#include "codec/Packer.h"

#include "codec/TableResize.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint64_t FIRST_TABLE_SIZE = 512;
constexpr std::int32_t MAX_WIDTH = 32;
constexpr std::size_t ROOT_CHILDREN = 256 * 256;
constexpr std::uint64_t NO_LAST_CHILD = ~std::uint64_t{0}; // byte part never matches
// Codes below this go to the early hash, of twice as many slots (512 KiB).
constexpr std::uint32_t EARLY_CODES = 1u << 15;
constexpr std::int32_t EARLY_BITS = 16;
// Below this many codes every prefix fits 24 bits and a slot's 32-bit key is
// the whole (prefix, byte) pair.
constexpr std::uint32_t EXACT_KEY_CODES = 1u << 24;

std::uint64_t SlotOf(std::uint32_t prefix, std::uint8_t byte, std::int32_t bits) {
    const std::uint64_t key = std::uint64_t{prefix} << 8 | byte;
    return (key * 0x9E3779B97F4A7C15) >> (64 - bits);
}

} // namespace

CPacker::CPacker(SinkFn pfnSink) : m_pfnSink(pfnSink) {}

CPacker::~CPacker() {
    std::free(m_pPrefix);
    std::free(m_pSuffix);
    std::free(m_pRootChild);
    std::free(m_pLastChild);
    std::free(m_early.pSlots);
    std::free(m_late.pSlots);
}

bool CPacker::CreateTables() {
    if (!ResizeTable(m_pPrefix, FIRST_TABLE_SIZE) || !ResizeTable(m_pSuffix, FIRST_TABLE_SIZE) ||
        !ResizeTable(m_pLastChild, FIRST_TABLE_SIZE) || !ResizeTable(m_pRootChild, ROOT_CHILDREN))
        return false;
    std::memset(m_pRootChild, 0xFF, ROOT_CHILDREN * sizeof(std::uint32_t));
    m_early.pSlots = static_cast<SSlot*>(std::calloc(std::size_t{1} << EARLY_BITS, sizeof(SSlot)));
    if (m_early.pSlots == nullptr)
        return false;
    m_early.bits = EARLY_BITS;
    m_early.mask = (std::uint64_t{1} << EARLY_BITS) - 1;
    m_nextCode = 256;
    m_tableSize = FIRST_TABLE_SIZE;
    return true;
}

void CPacker::Write(const std::uint8_t* data, std::int32_t length) {
    if (length <= 0 || m_bFailed)
        return;
    const std::uint8_t* const end = data + length;
    if (m_pPrefix == nullptr) {
        if (!CreateTables()) {
            m_bFailed = true;
            return;
        }
        m_pending = *data++;
    }
    for (; data != end; ++data) {
        m_byte = *data;
        const std::uint32_t child = FindChild(m_pending, m_byte);
        if (child != NO_CODE) {
            m_bPendingPair = m_pending < 256;
            m_pending = child;
            continue;
        }
        PutCode(m_pending, m_codeWidth);
        AddChild(m_pending, m_byte);
        m_pending = m_byte;
        m_bPendingPair = false;
        if (m_nextCode == m_tableSize - 3 && !ChangeWidth()) {
            m_bFailed = true;
            return;
        }
    }
}

// The width-change code, the all-ones code at the old width, is emitted
// before the tables double. Returns false when the tables cannot grow; past
// 32 bits there is no wider code to change to.
bool CPacker::ChangeWidth() {
    PutCode(static_cast<std::uint32_t>(m_tableSize - 1), m_codeWidth);
    if (m_codeWidth == MAX_WIDTH)
        return false;
    const std::uint64_t size = m_tableSize * 2;
    if (!ResizeTable(m_pPrefix, size) || !ResizeTable(m_pSuffix, size) ||
        !ResizeTable(m_pLastChild, size))
        return false;
    m_tableSize = size;
    ++m_codeWidth;
    return m_tableSize <= EARLY_CODES || RebuildLateCodes();
}

// Sizes the late hash to twice m_tableSize and enters every code from
// EARLY_CODES on. Returns false when memory runs out.
bool CPacker::RebuildLateCodes() {
    const std::uint64_t count = m_tableSize * 2;
    if (count > SIZE_MAX / sizeof(SSlot))
        return false;
    void* p = std::calloc(static_cast<std::size_t>(count), sizeof(SSlot));
    if (p == nullptr)
        return false;
    std::free(m_late.pSlots);
    m_late.pSlots = static_cast<SSlot*>(p);
    m_late.mask = count - 1;
    m_late.bits = m_codeWidth + 1;
    for (std::uint32_t code = EARLY_CODES; code < m_nextCode; ++code) {
        std::uint64_t i = SlotOf(m_pPrefix[code], m_pSuffix[code], m_late.bits);
        while (m_late.pSlots[i].code != 0)
            i = (i + 1) & m_late.mask;
        m_late.pSlots[i] = SSlot{m_pPrefix[code] << 8 | m_pSuffix[code], code};
    }
    return true;
}

// Returns the code for prefix + byte, or NO_CODE when there is none.
std::uint32_t CPacker::FindChild(std::uint32_t prefix, std::uint8_t byte) {
    if (prefix < 256)
        return m_pRootChild[prefix << 8 | byte];
    if (!m_bPendingPair) {
        const std::uint64_t last = m_pLastChild[prefix];
        if (last >> 32 == byte)
            return static_cast<std::uint32_t>(last);
    }
    std::uint32_t code = Probe(m_early, prefix, byte);
    if (code == NO_CODE && m_late.pSlots != nullptr)
        code = Probe(m_late, prefix, byte);
    if (code != NO_CODE && !m_bPendingPair)
        m_pLastChild[prefix] = std::uint64_t{byte} << 32 | code;
    return code;
}

// Returns the code for prefix + byte in one hash, or NO_CODE after noting the
// empty slot that ended the search.
std::uint32_t CPacker::Probe(SHash& hash, std::uint32_t prefix, std::uint8_t byte) {
    const std::uint32_t key = prefix << 8 | byte;
    const bool exact = m_nextCode <= EXACT_KEY_CODES;
    for (std::uint64_t i = SlotOf(prefix, byte, hash.bits);; i = (i + 1) & hash.mask) {
        const SSlot slot = hash.pSlots[i];
        if (slot.code == 0) {
            hash.freeSlot = i;
            return NO_CODE;
        }
        if (slot.key == key && (exact || m_pPrefix[slot.code] == prefix))
            return slot.code;
    }
}

// Creates code m_nextCode as prefix + byte, which FindChild() just missed in
// every hash.
void CPacker::AddChild(std::uint32_t prefix, std::uint8_t byte) {
    const std::uint32_t code = m_nextCode++;
    m_pPrefix[code] = prefix;
    m_pSuffix[code] = byte;
    m_pLastChild[code] = NO_LAST_CHILD;
    if (prefix < 256) {
        m_pRootChild[prefix << 8 | byte] = code;
        return;
    }
    if (!m_bPendingPair)
        m_pLastChild[prefix] = std::uint64_t{byte} << 32 | code;
    SHash& hash = code < EARLY_CODES ? m_early : m_late;
    hash.pSlots[hash.freeSlot] = SSlot{prefix << 8 | byte, code};
}

void CPacker::Finish() {
    if (m_pending != NO_CODE && !m_bFailed) {
        PutCode(m_pending, m_codeWidth);
        // Zero bits up to the end of the word; a whole zero word when the
        // last code ended on a word boundary.
        PutCode(0, m_freeBits);
        m_pending = NO_CODE;
    }
    m_pfnSink(0, true);
}

// New bits enter at the top of the accumulator and older ones move down, so
// after 32 bits the first code sits at the bottom of the word, and a code cut
// at the word's end leaves its high bits at the top. Shifts are done in 64
// bits because both k and width can be 32 here.
void CPacker::PutCode(std::uint32_t code, std::int32_t width) {
    const std::int32_t k = m_freeBits < width ? m_freeBits : width;
    const std::uint64_t topMask = (std::uint64_t{0xFFFFFFFF} << (32 - k)) & 0xFFFFFFFF;
    const std::uint64_t placed = std::uint64_t{code} << (32 - width);
    m_accum = static_cast<std::uint32_t>((std::uint64_t{m_accum} >> k) | (placed & topMask));
    m_freeBits -= k;
    if (m_freeBits != 0)
        return;
    m_pfnSink(m_accum, false);
    const std::int32_t rest = width - k;
    const std::uint64_t low = std::uint64_t{code} & ((std::uint64_t{1} << rest) - 1);
    m_freeBits = 32 - rest;
    m_accum = static_cast<std::uint32_t>(low << (32 - rest));
}
