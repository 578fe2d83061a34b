#include "codec/Unpacker.h"

#include "codec/TableResize.h"
#include "codec/WordSource.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint64_t FIRST_TABLE_SIZE = 512;
constexpr std::int32_t MAX_WIDTH = 32;

} // namespace

CUnpacker::CUnpacker(SourceFn pfnSource, NoticeFn pfnLongStringNotice)
    : m_pfnSource(pfnSource), m_pfnLongStringNotice(pfnLongStringNotice) {
    if (!ResizeTable(m_pPrefix, FIRST_TABLE_SIZE) || !ResizeTable(m_pSuffix, FIRST_TABLE_SIZE) ||
        !ResizeTable(m_pSpan, FIRST_TABLE_SIZE) || !ResizeTable(m_pStack, m_stackSize))
        m_bFailed = true;
}

CUnpacker::~CUnpacker() {
    std::free(m_pPrefix);
    std::free(m_pSuffix);
    std::free(m_pSpan);
    std::free(m_pStack);
}

bool CUnpacker::Read(std::uint8_t* out, std::int32_t count) {
    if (m_bFailed || count < 0)
        return false;
    const std::uint8_t* const end = out + count;
    m_pOutBase = out;
    m_outBasePos = m_produced - m_depth;
    while (out != end) {
        if (m_depth != 0) {
            out = Deliver(out, end);
        } else if (!Decode(out, end)) {
            m_bFailed = true;
            return false;
        }
    }
    return true;
}

// Reads one code and produces its string: straight into out when it fits and
// its earlier copy lies in this call's output, otherwise onto the stack by
// walking the prefix chain. Returns false on damage or when memory runs out.
bool CUnpacker::Decode(std::uint8_t*& out, const std::uint8_t* end) {
    m_code = GetCode();
    if (g_bSourceExhausted)
        return false;
    // Here the packer always changes the width, so anything else is damage;
    // this also keeps m_nextCode inside the tables.
    if (m_nextCode == m_tableSize - 4)
        return m_code == m_tableSize - 1 && Grow();
    std::uint64_t length = 0;
    if (!Classify(length))
        return false;
    const std::uint64_t start = m_produced;
    const bool repeat = m_code >= 256 && m_code == m_nextCode;
    const std::uint64_t from = m_code < 256 ? start : repeat ? m_oldStart : m_pSpan[m_code].start;
    if (length <= static_cast<std::uint64_t>(end - out) && from >= m_outBasePos) {
        CopyString(out, end, length);
        out += length;
    } else if (!PushString(length)) {
        return false;
    }
    if (length >= LONG_STRING && m_pfnLongStringNotice != nullptr)
        m_pfnLongStringNotice();
    AddEntry(m_oldStart, m_oldLength + 1);
    m_oldCode = m_code;
    m_oldStart = start;
    m_oldLength = length;
    m_produced += length;
    return true;
}

// Sets length to the string length of m_code. Returns false for a code that
// is neither a literal, a known code, nor the code being defined (which needs
// a previous code: at the first code m_nextCode is 255).
bool CUnpacker::Classify(std::uint64_t& length) const {
    if (m_code < 256)
        length = 1;
    else if (m_code < m_nextCode)
        length = m_pSpan[m_code].length;
    else if (m_code == m_nextCode)
        length = m_oldLength + 1;
    else
        return false;
    return true;
}

// Copies the string of m_code from where it was decoded before in this call's
// output. The code being defined is the previous string plus its first byte.
// Short strings are moved 16 bytes at a time where out has room: the bytes
// past the string are overwritten by the strings after it. An earlier string
// ends at or before out, and each block is loaded whole before it is stored.
void CUnpacker::CopyString(std::uint8_t* out, const std::uint8_t* end, std::uint64_t length) {
    if (m_code < 256) {
        *out = static_cast<std::uint8_t>(m_code);
        m_firstByte = static_cast<std::int32_t>(m_code);
        return;
    }
    if (m_code == m_nextCode) {
        std::memcpy(out, m_pOutBase + (m_oldStart - m_outBasePos), length - 1);
        out[length - 1] = static_cast<std::uint8_t>(m_firstByte);
    } else {
        const std::uint8_t* from = m_pOutBase + (m_pSpan[m_code].start - m_outBasePos);
        if (length <= 16 && end - out >= 16) {
            std::uint8_t block[16];
            std::memcpy(block, from, 16);
            std::memcpy(out, block, 16);
        } else {
            std::memcpy(out, from, length);
        }
    }
    m_firstByte = out[0];
}

// Pushes the string of m_code onto the stack, last byte first, growing the
// stack to fit. Returns false when the stack cannot grow.
bool CUnpacker::PushString(std::uint64_t length) {
    if (length > m_stackSize) {
        const std::uint64_t size = length > 2 * m_stackSize ? length : 2 * m_stackSize;
        if (!ResizeTable(m_pStack, size))
            return false;
        m_stackSize = static_cast<std::size_t>(size);
    }
    m_cursor = m_code;
    if (m_code >= 256 && m_code == m_nextCode) {
        m_pStack[m_depth++] = static_cast<std::uint8_t>(m_firstByte);
        m_cursor = m_oldCode;
    }
    // Every prefix is below its code, so the walk ends; the length bounds it.
    while (m_cursor > 255 && m_depth + 1 < length) {
        m_pStack[m_depth++] = m_pSuffix[m_cursor];
        m_cursor = m_pPrefix[m_cursor];
    }
    m_pStack[m_depth++] = static_cast<std::uint8_t>(m_cursor);
    m_firstByte = static_cast<std::int32_t>(m_cursor & 0xFF);
    return true;
}

std::uint8_t* CUnpacker::Deliver(std::uint8_t* out, const std::uint8_t* end) {
    while (m_depth != 0 && out != end)
        *out++ = m_pStack[--m_depth];
    return out;
}

// Defines code m_nextCode as the previous string plus the first byte of the
// current one; that string was decoded at the previous string's position. The
// first code defines 255, which is never looked up.
void CUnpacker::AddEntry(std::uint64_t start, std::uint64_t length) {
    m_pPrefix[m_nextCode] = m_oldCode;
    m_pSuffix[m_nextCode] = static_cast<std::uint8_t>(m_firstByte);
    const std::uint32_t at = start >> 32 == 0 ? static_cast<std::uint32_t>(start) : 0;
    m_pSpan[m_nextCode] = SSpan{at, static_cast<std::uint32_t>(length)};
    ++m_nextCode;
}

// Takes the code's high bits from the current word and, when they are not
// enough, its low bits from the bottom of the next word; fetches a word only
// then. Shifts are done in 64 bits because widths reach 32.
std::uint32_t CUnpacker::GetCode() {
    const std::int32_t k = m_bitsLeft < m_codeWidth ? m_bitsLeft : m_codeWidth;
    const std::uint64_t part = m_bitBuffer & ((std::uint64_t{1} << k) - 1);
    m_bitBuffer = static_cast<std::uint32_t>(std::uint64_t{m_bitBuffer} >> k);
    m_bitsLeft -= k;
    const std::int32_t rest = m_codeWidth - k;
    if (rest == 0)
        return static_cast<std::uint32_t>(part);
    const std::uint64_t word = m_pfnSource();
    m_bitBuffer = static_cast<std::uint32_t>(word >> rest);
    m_bitsLeft = 32 - rest;
    return static_cast<std::uint32_t>((part << rest) | (word & ((std::uint64_t{1} << rest) - 1)));
}

// Returns false past 32 bits or when the tables cannot grow.
bool CUnpacker::Grow() {
    if (m_codeWidth == MAX_WIDTH)
        return false;
    const std::uint64_t size = m_tableSize * 2;
    if (!ResizeTable(m_pPrefix, size) || !ResizeTable(m_pSuffix, size) ||
        !ResizeTable(m_pSpan, size))
        return false;
    m_tableSize = size;
    ++m_codeWidth;
    return true;
}

bool CUnpacker::AtCleanEnd() const {
    if (m_bFailed || g_bSourceExhausted || m_depth != 0 || m_bitBuffer != 0)
        return false;
    const std::ptrdiff_t rest = g_pSourceEnd - g_pSourceWord;
    if (rest == 0)
        return true;
    // The packer's zero word after a last code that ended on a word boundary.
    if (rest != 4 || m_bitsLeft != 0 || m_nextCode == 255)
        return false;
    return (g_pSourceWord[0] | g_pSourceWord[1] | g_pSourceWord[2] | g_pSourceWord[3]) == 0;
}

std::uint64_t CUnpacker::TableBytes() const {
    const std::uint64_t perCode = sizeof(*m_pPrefix) + sizeof(*m_pSuffix) + sizeof(SSpan);
    return m_tableSize * perCode + m_stackSize;
}

std::uint64_t MaxUnpackedSize(std::uint64_t packedBytes) {
    // packedBytes * 8 / 9 without overflow.
    const std::uint64_t codes = packedBytes / 9 * 8 + packedBytes % 9 * 8 / 9;
    if (codes > 0xFFFFFFFF)
        return UINT64_MAX;
    return codes * (codes + 1) / 2;
}
