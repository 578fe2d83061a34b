#include "codec/Unpacker.h"

#include "platform/ByteOrder.h"

#include "codec/TableResize.h"
#include "codec/WordSource.h"
#include "platform/LargeMemory.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::uint64_t FIRST_TABLE_SIZE = 512;
// Below this many codes read ahead, the ring is topped up.
constexpr std::uint32_t REFILL_AT = 64;
// How many codes ahead a code's start entry, and then the output it copies
// from, are prefetched.
constexpr std::uint32_t ENTRY_DISTANCE = 24;
constexpr std::uint32_t OUTPUT_DISTANCE = 10;
constexpr std::uint64_t POSITION_LIMIT = std::uint64_t{1} << 32;

constexpr std::uint64_t BLOCK = 16;

std::uint64_t RoundUpToBlock(std::uint64_t length) {
    return (length + BLOCK - 1) & ~(BLOCK - 1);
}

// Copies length bytes, at least one, BLOCK at a time; both ends need room for
// the length rounded up to a block. Each block is loaded whole before it is
// stored, so the bytes read past the string may lie in the bytes written.
void CopyBlocks(std::uint8_t* to, const std::uint8_t* from, std::uint64_t length) {
    std::uint64_t done = 0;
    do {
        std::uint8_t block[BLOCK];
        std::memcpy(block, from + done, BLOCK);
        std::memcpy(to + done, block, BLOCK);
        done += BLOCK;
    } while (done < length);
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

// Stores the count lowest bytes of word, lowest first.
void StoreBytes(std::uint8_t* p, std::uint32_t word, std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i)
        p[i] = static_cast<std::uint8_t>(word >> (8 * i));
}

// The first bytes of a string of length bytes with first bytes head, followed
// by byte.
std::uint32_t AppendToHead(std::uint32_t head, std::uint64_t length, std::uint32_t byte) {
    if (length >= 4)
        return head;
    const auto bits = static_cast<std::int32_t>(8 * length);
    return static_cast<std::uint32_t>((head & CodeBits(bits)) | std::uint64_t{byte} << bits);
}

} // namespace

CUnpacker::CUnpacker(std::span<const std::uint8_t> packed, NoticeFn pfnLongStringNotice)
    : m_pfnLongStringNotice(pfnLongStringNotice), m_pPacked(packed.data()) {
    m_reader.word = m_prefixes.word = packed.data();
    m_reader.end = m_prefixes.end = packed.data() + packed.size();
    if (!CreateTables(FIRST_TABLE_SIZE) || !ResizeTable(m_pStack, m_stackSize))
        m_failure = Status::OutOfMemory;
}

CUnpacker::CUnpacker(SourceFn pfnSource, NoticeFn pfnLongStringNotice)
    : CUnpacker(std::span<const std::uint8_t>{}, pfnLongStringNotice) {
    m_reader.pfnSource = pfnSource;
}

CUnpacker::~CUnpacker() {
    std::free(m_pStack);
}

// Makes the tables hold size codes, keeping the current ones (none at first).
bool CUnpacker::CreateTables(std::uint64_t size) {
    const bool grown =
        m_entries.Resize(size) && m_prefixTable.Resize(size) && m_suffixTable.Resize(size);
    m_state.pEntry = m_entries.p;
    m_state.pPrefix = m_prefixTable.p;
    m_state.pSuffix = m_suffixTable.p;
    return grown;
}

CUnpacker::Status CUnpacker::Read(std::uint8_t* out, std::int32_t count) {
    if (m_failure != Status::Ok)
        return m_failure;
    if (count < 0)
        return Status::Damaged;
    m_state.pOutBase = out;
    m_state.outBasePos = m_state.produced - m_depth;
    return ReadTo(out, out + count);
}

CUnpacker::Status CUnpacker::ReadAppending(std::uint8_t* output, std::uint64_t delivered,
                                           std::int32_t count) {
    if (m_failure != Status::Ok)
        return m_failure;
    if (count < 0 || delivered != m_state.produced - m_depth)
        return Status::Damaged;
    m_state.pOutBase = output;
    m_state.outBasePos = 0;
    return ReadTo(output + delivered, output + delivered + count);
}

CUnpacker::Status CUnpacker::ReadTo(std::uint8_t* out, const std::uint8_t* end) {
    Status status = Status::Ok;
    while (status == Status::Ok && out != end) {
        if (m_depth != 0)
            out = Deliver(out, end);
        else if (m_reader.pfnSource == nullptr)
            status = DecodeAhead(out, end);
        else
            status = DecodeNext(out, end);
    }
    m_failure = status;
    return status;
}

// Decodes the codes read ahead until out is full or a string has to wait on
// the stack: runs of them in DecodeRun(), the others one at a time.
CUnpacker::Status CUnpacker::DecodeAhead(std::uint8_t*& out, const std::uint8_t* end) {
    while (out != end && m_depth == 0) {
        if (m_aheadEnd - m_aheadPos <= REFILL_AT)
            FillAhead();
        if (m_aheadEnd - m_aheadPos > REFILL_AT && DecodeRun(out, end))
            continue;
        // The reader stopped at the end of the words or at a code it refuses.
        if (m_aheadPos == m_aheadEnd)
            return Status::Damaged;
        const Status status = Decode(m_aheadCode[m_aheadPos++ % AHEAD], out, end);
        if (status != Status::Ok)
            return status;
    }
    return Status::Ok;
}

// Reads one code from the source function and decodes it.
CUnpacker::Status CUnpacker::DecodeNext(std::uint8_t*& out, const std::uint8_t* end) {
    std::uint32_t code = 0;
    const ECode kind = m_reader.Next(code);
    if (kind == ECode::End || kind == ECode::Bad)
        return Status::Damaged;
    return Decode(code, out, end);
}

// Fills the ring. Stops for good at the end of the words, or before a code
// the reader refuses.
void CUnpacker::FillAhead() {
    while (!m_bAheadStopped && m_aheadEnd - m_aheadPos < AHEAD) {
        std::uint32_t code = 0;
        const ECode kind = m_reader.Next(code);
        m_bAheadStopped = kind == ECode::End || kind == ECode::Bad;
        if (!m_bAheadStopped)
            m_aheadCode[m_aheadEnd++ % AHEAD] = code;
    }
}

// The string of a code the reader has accepted: a literal, a known code, or
// the code being defined, which is the previous string plus its own first
// byte (at the first code the code being defined is 255, a literal).
[[gnu::always_inline]] inline CUnpacker::SString CUnpacker::Resolve(const SState& s,
                                                                    std::uint32_t code) {
    if (code < 256)
        return {s.produced, 1, code, false};
    if (code < s.nextCode) {
        const std::uint32_t from = s.pEntry[code].start;
        return {from, std::uint64_t{s.pEntry[code + 1].start - from} + 1, s.pEntry[code].head,
                false};
    }
    const std::uint64_t length = s.produced - s.oldStart + 1;
    return {s.oldStart, length, AppendToHead(s.oldHead, length - 1, s.oldHead & 0xFF), true};
}

// Writes the string to out when it fits before end and can be had without
// walking its prefixes: from its entry when short, else from where it was
// decoded before in this call's output; announces it when long. Strings are
// moved in blocks where out has room: the bytes past the string are
// overwritten by the strings after it.
[[gnu::always_inline]] inline bool CUnpacker::Emit(const SState& s, const SString& string,
                                                   std::uint8_t* out,
                                                   const std::uint8_t* end) const {
    const auto room = static_cast<std::uint64_t>(end - out);
    if (string.length <= HEAD_BYTES) {
        if (room >= HEAD_BYTES)
            StoreWord(out, string.head);
        else if (string.length <= room)
            StoreBytes(out, string.head, string.length);
        else
            return false;
        return true;
    }
    // Past 2^32 bytes the start entries no longer tell where a string lies.
    if (string.from < s.outBasePos || s.produced >= POSITION_LIMIT)
        return false;
    const std::uint8_t* const from = s.pOutBase + (string.from - s.outBasePos);
    if (string.length <= BLOCK && room >= BLOCK) {
        CopyBlocks(out, from, BLOCK);
    } else {
        if (string.length > room)
            return false;
        if (room >= RoundUpToBlock(string.length))
            CopyBlocks(out, from, string.length);
        else
            std::memcpy(out, from, string.defined ? string.length - 1 : string.length);
        if (string.length >= LONG_STRING && m_pfnLongStringNotice != nullptr)
            m_pfnLongStringNotice();
    }
    // The code being defined ends with the byte it is about to write.
    if (string.defined)
        out[string.length - 1] = static_cast<std::uint8_t>(string.head);
    return true;
}

// Defines code nextCode as the previous string plus the first byte of this
// one, which starts at s.produced, and moves past this string; the first code
// defines 255, which is never looked up. The prefix and oldCode are the
// callers' to set.
[[gnu::always_inline]] inline void CUnpacker::Enter(SState& s, const SString& string) {
    const std::uint32_t firstByte = string.head & 0xFF;
    s.pSuffix[s.nextCode] = static_cast<std::uint8_t>(firstByte);
    s.pEntry[s.nextCode].head = AppendToHead(s.oldHead, s.produced - s.oldStart, firstByte);
    ++s.nextCode;
    s.pEntry[s.nextCode].start = static_cast<std::uint32_t>(s.produced);
    s.oldStart = s.produced;
    s.oldHead = string.head;
    s.produced += string.length;
}

// The step every code goes through: writes its string straight to out and
// enters it. False, changing nothing, when the string cannot go there.
[[gnu::always_inline]] inline bool CUnpacker::DecodeDirect(SState& s, std::uint32_t code,
                                                           std::uint8_t*& out,
                                                           const std::uint8_t* end) {
    const SString string = Resolve(s, code);
    if (!Emit(s, string, out, end))
        return false;
    out += string.length;
    Enter(s, string);
    return true;
}

// Decodes the codes in the ring, down to REFILL_AT of them, while each one's
// string can go straight into out; stops before the width change, which
// Decode() makes. This is where nearly all the time goes, so the state is
// kept in locals, and as each code defines the next, nextCode also counts
// the codes and tells where the ring stands. Returns false when it decoded
// nothing.
bool CUnpacker::DecodeRun(std::uint8_t*& out, const std::uint8_t* end) {
    SState s = m_state;
    const std::uint32_t first = s.nextCode;
    const auto widthChange = static_cast<std::uint32_t>(m_tableSize - 4);
    const std::uint32_t last =
        first + std::min(m_aheadEnd - REFILL_AT - m_aheadPos, widthChange - first);
    const std::uint32_t toRing = m_aheadPos - first;
    std::uint8_t* o = out;
    // With a block of room, strings of up to a block go out without another
    // look at the room.
    while (s.nextCode != last && end - o >= static_cast<std::ptrdiff_t>(BLOCK)) {
        const std::uint32_t pos = s.nextCode + toRing;
        // The entry of a code a little ahead, and the output bytes of a
        // nearer one, whose entry should have arrived by now.
        const std::uint32_t ahead = m_aheadCode[(pos + ENTRY_DISTANCE) % AHEAD];
        __builtin_prefetch(&s.pEntry[ahead < s.nextCode ? ahead : 0]);
        const std::uint32_t near = m_aheadCode[(pos + OUTPUT_DISTANCE) % AHEAD];
        if (near >= 256 && near < s.nextCode &&
            s.pEntry[near + 1].start - s.pEntry[near].start >= HEAD_BYTES)
            __builtin_prefetch(
                reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(s.pOutBase) +
                                              (s.pEntry[near].start - s.outBasePos)));
        if (!DecodeDirect(s, m_aheadCode[pos % AHEAD], o, end))
            break;
    }
    const std::uint32_t decoded = s.nextCode - first;
    if (decoded == 0)
        return false;
    m_aheadPos += decoded;
    s.oldCode = m_aheadCode[(m_aheadPos - 1) % AHEAD];
    m_state = s;
    // Codes before the width change all have the current width.
    m_consumedBits += std::uint64_t{decoded} * CodeWidth();
    out = o;
    return true;
}

// Decodes one code the reader has accepted: the width change, or a string,
// which goes onto the stack when it cannot go straight into out. Its prefix
// is entered straight away, as reading word by word the codes cannot be read
// again.
CUnpacker::Status CUnpacker::Decode(std::uint32_t code, std::uint8_t*& out,
                                    const std::uint8_t* end) {
    m_consumedBits += CodeWidth();
    // The reader has seen to it that the width-change code comes here.
    if (m_state.nextCode == m_tableSize - 4)
        return Grow() ? Status::Ok : Status::OutOfMemory;
    SState s = m_state;
    s.pPrefix[s.nextCode] = s.oldCode;
    if (!DecodeDirect(s, code, out, end)) {
        const SString string = Resolve(s, code);
        if (!PushString(code, string))
            return Status::OutOfMemory;
        if (string.length >= LONG_STRING && m_pfnLongStringNotice != nullptr)
            m_pfnLongStringNotice();
        Enter(s, string);
    }
    s.oldCode = code;
    m_state = s;
    return Status::Ok;
}

// Enters the prefixes of the codes defined since the last call, reading
// their codes a second time.
void CUnpacker::CompletePrefixes() {
    while (m_prefixes.next < m_state.nextCode) {
        std::uint32_t code = 0;
        const ECode kind = m_prefixes.Next(code);
        if (kind == ECode::Entry) {
            m_state.pPrefix[m_prefixes.next - 1] = m_prefixCode;
            m_prefixCode = code;
        } else if (kind != ECode::WidthChange) {
            break; // not reached: these codes were decoded already
        }
    }
}

// Pushes the string of code onto the stack, last byte first, growing the
// stack to fit: its bytes come from its entry and from where it was decoded
// before in the output when that is at hand, else from a walk along its
// prefixes. Returns false when the stack cannot grow.
bool CUnpacker::PushString(std::uint32_t code, const SString& string) {
    if (string.length > m_stackSize) {
        const std::uint64_t size = std::max(string.length, std::uint64_t{2} * m_stackSize);
        if (!ResizeTable(m_pStack, size))
            return false;
        m_stackSize = static_cast<std::size_t>(size);
    }
    if (string.length <= HEAD_BYTES ||
        (string.from >= m_state.outBasePos && m_state.produced < POSITION_LIMIT))
        PushFromOutput(string);
    else
        PushByPrefixes(code, string);
    return true;
}

void CUnpacker::PushFromOutput(const SString& string) {
    std::uint64_t i = string.length;
    // The code being defined ends with its own first byte.
    if (string.defined) {
        m_pStack[m_depth++] = static_cast<std::uint8_t>(string.head);
        --i;
    }
    if (i > HEAD_BYTES) {
        const std::uint8_t* const from = m_state.pOutBase + (string.from - m_state.outBasePos);
        while (i > HEAD_BYTES)
            m_pStack[m_depth++] = from[--i];
    }
    while (i > 0) {
        --i;
        m_pStack[m_depth++] = static_cast<std::uint8_t>(string.head >> (8 * i));
    }
}

void CUnpacker::PushByPrefixes(std::uint32_t code, const SString& string) {
    if (m_reader.pfnSource == nullptr)
        CompletePrefixes();
    std::uint32_t cursor = code;
    if (string.defined) {
        m_pStack[m_depth++] = static_cast<std::uint8_t>(m_state.oldHead);
        cursor = m_state.oldCode;
    }
    // Every prefix is below its code, so the walk ends; the length bounds it.
    while (cursor > 255 && m_depth + 1 < string.length) {
        m_pStack[m_depth++] = m_state.pSuffix[cursor];
        cursor = m_state.pPrefix[cursor];
    }
    m_pStack[m_depth++] = static_cast<std::uint8_t>(cursor);
}

std::uint8_t* CUnpacker::Deliver(std::uint8_t* out, const std::uint8_t* end) {
    while (m_depth != 0 && out != end)
        *out++ = m_pStack[--m_depth];
    return out;
}

// Returns false when the tables cannot grow.
bool CUnpacker::Grow() {
    const std::uint64_t size = m_tableSize * 2;
    if (!CreateTables(size))
        return false;
    m_tableSize = size;
    return true;
}

// Reads the next code, following the width changes the packer makes: the
// first code is 9 bits wide, and right after the code that defines 2^w - 4
// comes the all-ones code of width w, after which codes are one bit wider.
// A code that does not fit the current word has its high bits at the top of
// it and its low bits at the bottom of the next.
bool CUnpacker::AtCleanEnd() const {
    if (m_failure != Status::Ok || m_depth != 0)
        return false;
    if (m_reader.pfnSource != nullptr)
        return RestIsClean(m_reader.bits, m_reader.left, g_pSourceWord, g_pSourceEnd);
    const std::uint64_t words = WordsRead();
    const auto left = static_cast<std::int32_t>(words * 32 - m_consumedBits);
    const std::uint8_t* const rest = m_pPacked + 4 * words;
    const std::uint64_t bits = left == 0 ? 0 : ReadLittleEndian32(rest - 4) >> (32 - left);
    return RestIsClean(bits, left, rest, m_reader.end);
}

// Whether the restLeft bits left of the current word, restBits, and the
// bytes after it end the stream where the packer ends it.
bool CUnpacker::RestIsClean(std::uint64_t restBits, std::int32_t restLeft, const std::uint8_t* rest,
                            const std::uint8_t* restEnd) const {
    if (restBits != 0)
        return false;
    const std::ptrdiff_t restBytes = restEnd - rest;
    if (restBytes == 0)
        return true;
    // The packer's zero word after a last code that ended on a word boundary.
    if (restBytes != 4 || restLeft != 0 || m_state.nextCode == 255)
        return false;
    return (rest[0] | rest[1] | rest[2] | rest[3]) == 0;
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
