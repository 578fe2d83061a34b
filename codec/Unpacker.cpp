#include "codec/Unpacker.h"

#include "codec/TableResize.h"
#include "codec/WordSource.h"
#include "platform/LargeMemory.h"

#include <bit>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint64_t FIRST_TABLE_SIZE = 512;
constexpr std::int32_t MAX_WIDTH = 32;
// Below this many codes read ahead, the ring is topped up.
constexpr std::uint32_t REFILL_AT = 64;
// How many codes ahead a code's start entry, and then the output it copies
// from, are prefetched.
constexpr std::uint32_t ENTRY_DISTANCE = 24;
constexpr std::uint32_t OUTPUT_DISTANCE = 10;
constexpr std::uint64_t POSITION_LIMIT = std::uint64_t{1} << 32;

std::uint32_t LoadWord(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t LowBits(std::int32_t count) {
    return (std::uint64_t{1} << count) - 1;
}

constexpr std::uint64_t BLOCK = 16;

std::uint64_t RoundUpToBlock(std::uint64_t length) {
    return (length + BLOCK - 1) & ~(BLOCK - 1);
}

// Copies length bytes BLOCK at a time; both ends need room for the length
// rounded up to a block. Each block is loaded whole before it is stored, so
// the bytes read past the string may lie in the bytes written.
void CopyBlocks(std::uint8_t* to, const std::uint8_t* from, std::uint64_t length) {
    for (std::uint64_t done = 0; done < length; done += BLOCK) {
        std::uint8_t block[BLOCK];
        std::memcpy(block, from + done, BLOCK);
        std::memcpy(to + done, block, BLOCK);
    }
}

// Stores word's bytes lowest first.
void StoreWord(std::uint8_t* p, std::uint32_t word) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &word, 4);
    } else {
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<std::uint8_t>(word >> (8 * i));
    }
}

// The first bytes of a string of length bytes with first bytes head, followed
// by byte.
std::uint32_t AppendToHead(std::uint32_t head, std::uint64_t length, std::uint32_t byte) {
    if (length >= 4)
        return head;
    const auto bits = static_cast<std::int32_t>(8 * length);
    return static_cast<std::uint32_t>((head & LowBits(bits)) | std::uint64_t{byte} << bits);
}

} // namespace

CUnpacker::CUnpacker(SourceFn pfnSource, NoticeFn pfnLongStringNotice)
    : m_pfnSource(pfnSource), m_pfnLongStringNotice(pfnLongStringNotice) {
    if (!CreateTables(FIRST_TABLE_SIZE) || !ResizeTable(m_pStack, m_stackSize))
        m_bFailed = true;
}

CUnpacker::~CUnpacker() {
    FreeZeroed(m_pTables, m_tableSize * BYTES_PER_CODE);
    std::free(m_pStack);
}

// Makes tables of size codes holding the current ones (none at first).
bool CUnpacker::CreateTables(std::uint64_t size) {
    if (size > SIZE_MAX / BYTES_PER_CODE)
        return false;
    auto* tables = static_cast<std::uint8_t*>(AllocateZeroed(size * BYTES_PER_CODE));
    if (tables == nullptr)
        return false;
    auto* entry = reinterpret_cast<SEntry*>(tables);
    auto* prefix = reinterpret_cast<std::uint32_t*>(entry + size);
    auto* suffix = reinterpret_cast<std::uint8_t*>(prefix + size);
    if (m_pTables != nullptr) {
        std::memcpy(entry, m_pEntry, m_tableSize * sizeof(*m_pEntry));
        std::memcpy(prefix, m_pPrefix, m_tableSize * sizeof(*m_pPrefix));
        std::memcpy(suffix, m_pSuffix, m_tableSize * sizeof(*m_pSuffix));
        FreeZeroed(m_pTables, m_tableSize * BYTES_PER_CODE);
    }
    m_pTables = tables;
    m_pEntry = entry;
    m_pPrefix = prefix;
    m_pSuffix = suffix;
    return true;
}

bool CUnpacker::Read(std::uint8_t* out, std::int32_t count) {
    if (m_bFailed || count < 0)
        return false;
    const std::uint8_t* const end = out + count;
    const bool ahead = m_pfnSource == NextWord;
    m_pOutBase = out;
    m_outBasePos = m_produced - m_depth;
    bool ok = true;
    while (ok && out != end) {
        if (m_depth != 0)
            out = Deliver(out, end);
        else if (ahead)
            ok = DecodeAhead(out, end);
        else
            ok = Decode(GetCode(), out, end);
    }
    if (ahead && m_bAheadStarted && ok)
        SyncSource();
    m_bFailed = !ok;
    return ok;
}

// Decodes the codes read ahead until out is full or a string has to go
// through the stack. When no more codes can be read ahead, decodes one code
// from the source itself, which then reports what is wrong.
bool CUnpacker::DecodeAhead(std::uint8_t*& out, const std::uint8_t* end) {
    if (!m_bAheadStarted) {
        m_bAheadStarted = true;
        m_pAheadBase = m_ahead.word = m_prefixes.word = g_pSourceWord;
    }
    if (m_aheadEnd - m_aheadPos < REFILL_AT)
        FillAhead();
    if (m_aheadPos == m_aheadEnd) {
        SyncSource();
        return Decode(GetCode(), out, end);
    }
    while (m_aheadPos != m_aheadEnd && out != end && m_depth == 0) {
        if (m_aheadEnd - m_aheadPos < REFILL_AT)
            FillAhead();
        if (m_aheadEnd - m_aheadPos > REFILL_AT && !g_bSourceExhausted) {
            const std::uint32_t before = m_aheadPos;
            DecodeRun(out, end);
            if (m_aheadPos != before)
                continue;
        }
        const std::uint32_t i = m_aheadPos++ % AHEAD;
        m_consumedBits += m_aheadCodeWidth[i];
        if (!Decode(m_aheadCode[i], out, end))
            return false;
    }
    return true;
}

// Decodes the codes in the ring, down to REFILL_AT of them, as Decode() would,
// while each is a string that goes straight into out and is shorter than
// LONG_STRING; stops before the width change, which Decode() makes. This is
// where nearly all the time goes, so it is one loop over locals: kept in
// members, the state would be loaded again after every store through out,
// which may change any member as far as the compiler can tell, and split into
// helpers it measured a third slower.
void CUnpacker::DecodeRun(std::uint8_t*& out, const std::uint8_t* end) {
    SEntry* const entry = m_pEntry;
    std::uint8_t* const suffix = m_pSuffix;
    const std::uint8_t* const outBase = m_pOutBase;
    const std::uint64_t outBasePos = m_outBasePos;
    const std::uint32_t stop = m_aheadEnd - REFILL_AT;
    const auto widthChange = static_cast<std::uint32_t>(m_tableSize - 4);
    std::uint8_t* o = out;
    std::uint32_t pos = m_aheadPos;
    std::uint32_t next = m_nextCode;
    std::uint64_t produced = m_produced;
    std::uint64_t oldStart = m_oldStart;
    std::uint32_t oldHead = m_oldHead;
    std::uint32_t oldCode = m_oldCode;
    std::uint64_t consumed = m_consumedBits;
    while (pos != stop && next != widthChange && end - o >= static_cast<std::ptrdiff_t>(BLOCK)) {
        // The entry of a code a little ahead, and the output bytes of a
        // nearer one, whose entry should have arrived by now.
        const std::uint32_t ahead = m_aheadCode[(pos + ENTRY_DISTANCE) % AHEAD];
        __builtin_prefetch(&entry[ahead < next ? ahead : 0]);
        const std::uint32_t near = m_aheadCode[(pos + OUTPUT_DISTANCE) % AHEAD];
        if (near >= 256 && near < next && entry[near + 1].start - entry[near].start >= HEAD_BYTES)
            __builtin_prefetch(reinterpret_cast<const void*>(
                reinterpret_cast<std::uintptr_t>(outBase) + (entry[near].start - outBasePos)));
        const std::uint32_t i = pos % AHEAD;
        const std::uint32_t code = m_aheadCode[i];
        std::uint32_t head = code;
        std::uint32_t length = 1;
        if (code >= 256 && code == next) {
            // The previous string plus its own first byte.
            const std::uint64_t extended = produced - oldStart + 1;
            if (extended >= LONG_STRING || oldStart < outBasePos ||
                end - o < static_cast<std::ptrdiff_t>(RoundUpToBlock(extended)))
                break;
            head = AppendToHead(oldHead, extended - 1, oldHead & 0xFF);
            CopyBlocks(o, outBase + (oldStart - outBasePos), extended);
            o[extended - 1] = static_cast<std::uint8_t>(oldHead);
            length = static_cast<std::uint32_t>(extended);
        } else if (code >= 256) {
            if (code >= next)
                break;
            const std::uint32_t from = entry[code].start;
            head = entry[code].head;
            length = entry[code + 1].start - from + 1;
            if (length > HEAD_BYTES) {
                // Past 2^32 bytes the start entries no longer tell where a
                // string lies.
                if (produced >= POSITION_LIMIT || from < outBasePos)
                    break;
                if (length <= BLOCK) {
                    std::uint8_t block[BLOCK];
                    std::memcpy(block, outBase + (from - outBasePos), BLOCK);
                    std::memcpy(o, block, BLOCK);
                } else if (length < LONG_STRING &&
                           end - o >= static_cast<std::ptrdiff_t>(RoundUpToBlock(length))) {
                    CopyBlocks(o, outBase + (from - outBasePos), length);
                } else {
                    break;
                }
            }
        }
        if (length <= HEAD_BYTES)
            StoreWord(o, head);
        const std::uint32_t firstByte = head & 0xFF;
        suffix[next] = static_cast<std::uint8_t>(firstByte);
        entry[next].head = AppendToHead(oldHead, produced - oldStart, firstByte);
        ++next;
        entry[next].start = static_cast<std::uint32_t>(produced);
        oldStart = produced;
        oldHead = head;
        oldCode = code;
        produced += length;
        o += length;
        consumed += m_aheadCodeWidth[i];
        ++pos;
    }
    if (pos == m_aheadPos)
        return;
    m_firstByte = static_cast<std::int32_t>(oldHead & 0xFF);
    out = o;
    m_aheadPos = pos;
    m_nextCode = next;
    m_produced = produced;
    m_oldStart = oldStart;
    m_oldHead = oldHead;
    m_oldCode = oldCode;
    m_consumedBits = consumed;
}

// Reads the next code at reader from the word source's bytes without moving
// the source, following the width changes the packer makes.
CUnpacker::ECode CUnpacker::NextCode(SReader& reader, std::uint32_t& code) {
    const std::int32_t width = reader.width;
    std::int32_t split = width; // bits taken from the current word
    if (reader.left < width) {
        if (g_pSourceEnd - reader.word < 4)
            return ECode::End;
        reader.bits |= std::uint64_t{LoadWord(reader.word)} << reader.left;
        reader.word += 4;
        split = reader.left;
        reader.left += 32;
    }
    // A split code has its high bits in the old word, its low bits in the new.
    const std::uint64_t raw = reader.bits & LowBits(width);
    code = static_cast<std::uint32_t>(
        split == width ? raw : (raw & LowBits(split)) << (width - split) | raw >> split);
    reader.bits >>= width;
    reader.left -= width;
    if (reader.next == reader.tableSize - 4) {
        if (code != reader.tableSize - 1 || width == MAX_WIDTH)
            return ECode::Bad;
        reader.tableSize *= 2;
        ++reader.width;
        return ECode::WidthChange;
    }
    if (code > reader.next)
        return ECode::Bad;
    ++reader.next;
    return ECode::Entry;
}

// Fills the ring. Stops at the end of the data, or after a code that
// Decode() will refuse.
void CUnpacker::FillAhead() {
    while (!m_bAheadStopped && m_aheadEnd - m_aheadPos < AHEAD) {
        const std::int32_t width = m_ahead.width;
        std::uint32_t code = 0;
        const ECode kind = NextCode(m_ahead, code);
        if (kind == ECode::End)
            break;
        const std::uint32_t i = m_aheadEnd++ % AHEAD;
        m_aheadCode[i] = code;
        m_aheadCodeWidth[i] = static_cast<std::uint8_t>(width);
        m_bAheadStopped = kind == ECode::Bad;
    }
}

// Enters the prefixes of the codes defined since the last call, reading their
// codes a second time: while reading ahead they are left out, as only a
// string walked through the stack needs them.
void CUnpacker::CompletePrefixes() {
    while (m_prefixes.next < m_nextCode) {
        std::uint32_t code = 0;
        const ECode kind = NextCode(m_prefixes, code);
        if (kind == ECode::Entry) {
            m_pPrefix[m_prefixes.next - 1] = m_prefixCode;
            m_prefixCode = code;
        } else if (kind != ECode::WidthChange) {
            break; // not reached: these codes were decoded already
        }
    }
}

// Puts the source and the bit buffer where decoding the codes taken from the
// ring so far leaves them.
void CUnpacker::SyncSource() {
    const std::uint64_t words = (m_consumedBits + 31) / 32;
    g_pSourceWord = m_pAheadBase + 4 * words;
    m_bitsLeft = static_cast<std::int32_t>(words * 32 - m_consumedBits);
    m_bitBuffer = m_bitsLeft == 0 ? 0 : LoadWord(g_pSourceWord - 4) >> (32 - m_bitsLeft);
}

// Produces the string of code: straight into out when it fits and either is
// short enough to come from its entry or its earlier copy lies in this call's
// output, otherwise onto the stack by walking the prefix chain. Returns false
// on damage or when memory runs out.
bool CUnpacker::Decode(std::uint32_t code, std::uint8_t*& out, const std::uint8_t* end) {
    if (g_bSourceExhausted)
        return false;
    // Here the packer always changes the width, so anything else is damage;
    // this also keeps m_nextCode inside the tables.
    if (m_nextCode == m_tableSize - 4)
        return code == m_tableSize - 1 && Grow();
    const std::uint64_t start = m_produced;
    std::uint64_t from = start;
    std::uint64_t length = 1;
    std::uint32_t head = code;
    if (code >= 256 && code < m_nextCode) {
        from = m_pEntry[code].start;
        head = m_pEntry[code].head;
        length = std::uint64_t{static_cast<std::uint32_t>(m_pEntry[code + 1].start - from)} + 1;
    } else if (code >= 256 && code == m_nextCode) {
        // The previous string plus its own first byte (needs a previous code:
        // at the first code m_nextCode is 255).
        from = m_oldStart;
        length = start - m_oldStart + 1;
        head = AppendToHead(m_oldHead, length - 1, m_oldHead & 0xFF);
    } else if (code >= 256) {
        return false;
    }
    m_code = code;
    // Past 2^32 bytes the start entries no longer tell where a string lies.
    const bool inOutput =
        from >= m_outBasePos && (start < POSITION_LIMIT || from == start || code == m_nextCode);
    if (length <= HEAD_BYTES && end - out >= static_cast<std::ptrdiff_t>(HEAD_BYTES)) {
        // The bytes past the string are overwritten by the strings after it.
        StoreWord(out, head);
        out += length;
        m_firstByte = static_cast<std::int32_t>(head & 0xFF);
    } else if (length <= static_cast<std::uint64_t>(end - out) && inOutput) {
        CopyString(out, end, from, length);
        out += length;
    } else if (!PushString(length)) {
        return false;
    }
    if (length >= LONG_STRING && m_pfnLongStringNotice != nullptr)
        m_pfnLongStringNotice();
    AddEntry(start, AppendToHead(m_oldHead, start - m_oldStart, m_firstByte));
    m_oldCode = code;
    m_oldStart = start;
    m_oldHead = head;
    m_produced += length;
    return true;
}

// Copies the string of m_code from where it was decoded before in this call's
// output. The code being defined is the previous string plus its first byte.
// Strings are moved in blocks where out has room: the bytes past the string
// are overwritten by the strings after it. An earlier string ends at or
// before out.
void CUnpacker::CopyString(std::uint8_t* out, const std::uint8_t* end, std::uint64_t from,
                           std::uint64_t length) {
    if (m_code < 256) {
        *out = static_cast<std::uint8_t>(m_code);
        m_firstByte = static_cast<std::int32_t>(m_code);
        return;
    }
    const std::uint8_t* source = m_pOutBase + (from - m_outBasePos);
    const std::uint64_t copied = m_code == m_nextCode ? length - 1 : length;
    if (static_cast<std::uint64_t>(end - out) >= RoundUpToBlock(length)) {
        CopyBlocks(out, source, length);
    } else {
        std::memcpy(out, source, copied);
    }
    m_firstByte = out[0];
    if (copied != length)
        out[length - 1] = static_cast<std::uint8_t>(m_firstByte);
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
    if (m_bAheadStarted)
        CompletePrefixes();
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

// Defines code m_nextCode, whose first bytes are head, as the previous string
// plus the first byte of the current one, which starts at start; the first
// code defines 255, which is never looked up.
void CUnpacker::AddEntry(std::uint64_t start, std::uint32_t head) {
    if (!m_bAheadStarted)
        m_pPrefix[m_nextCode] = m_oldCode;
    m_pSuffix[m_nextCode] = static_cast<std::uint8_t>(m_firstByte);
    m_pEntry[m_nextCode].head = head;
    ++m_nextCode;
    m_pEntry[m_nextCode].start = static_cast<std::uint32_t>(start);
}

// Takes the code's high bits from the current word and, when they are not
// enough, its low bits from the bottom of the next word; fetches a word only
// then. Shifts are done in 64 bits because widths reach 32.
std::uint32_t CUnpacker::GetCode() {
    const std::int32_t k = m_bitsLeft < m_codeWidth ? m_bitsLeft : m_codeWidth;
    const std::uint64_t part = m_bitBuffer & LowBits(k);
    m_bitBuffer = static_cast<std::uint32_t>(std::uint64_t{m_bitBuffer} >> k);
    m_bitsLeft -= k;
    const std::int32_t rest = m_codeWidth - k;
    if (rest == 0)
        return static_cast<std::uint32_t>(part);
    const std::uint64_t word = m_pfnSource();
    m_bitBuffer = static_cast<std::uint32_t>(word >> rest);
    m_bitsLeft = 32 - rest;
    return static_cast<std::uint32_t>((part << rest) | (word & LowBits(rest)));
}

// Returns false past 32 bits or when the tables cannot grow.
bool CUnpacker::Grow() {
    if (m_codeWidth == MAX_WIDTH)
        return false;
    const std::uint64_t size = m_tableSize * 2;
    if (!CreateTables(size))
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
    return m_tableSize * BYTES_PER_CODE + m_stackSize;
}

std::uint64_t MaxUnpackedSize(std::uint64_t packedBytes) {
    // packedBytes * 8 / 9 without overflow.
    const std::uint64_t codes = packedBytes / 9 * 8 + packedBytes % 9 * 8 / 9;
    if (codes > 0xFFFFFFFF)
        return UINT64_MAX;
    return codes * (codes + 1) / 2;
}
