// Property: any packed stream, read for any requested size, either gives
// that many bytes or reports damage, and after damage every read fails. It
// never reads a word past the packed bytes, never writes past the output and
// never hangs, and it never gives more bytes than MaxUnpackedSize allows for
// the stream. Reading the same stream in several calls of any sizes succeeds
// or fails as one call does, with the same bytes, the same long-string
// notices and the same answer about the stream's end.
//
// Input: a little-endian int32 requested size (a non-negative one taken
// modulo 1 MiB + 1), four bytes seeding the block sizes of the split read,
// then the packed stream.

#include "FuzzSupport.h"

#include "codec/Unpacker.h"
#include "codec/WordSource.h"

namespace {

constexpr std::size_t kPrefixSize = 8;
constexpr std::int32_t kLargestCount = 1 << 20;

int g_notices = 0;

void CountNotice() {
    ++g_notices;
}

struct SReadResult {
    bool bOk = false;
    bool bCleanEnd = false;
    int notices = 0;
    std::vector<std::uint8_t> bytes;
};

void CheckSourceInside(const CExactBytes& stream) {
    FUZZ_CHECK(g_pSourceEnd == stream.data() + stream.size());
    FUZZ_CHECK(g_pSourceWord >= stream.data());
    FUZZ_CHECK(g_pSourceWord <= g_pSourceEnd);
}

// One Read of count bytes into a buffer of exactly that size.
SReadResult ReadWhole(const CExactBytes& stream, std::int32_t count) {
    g_notices = 0;
    SetWordSource(stream.data(), stream.size());
    CUnpacker unpacker(NextWord, CountNotice);
    CExactBytes out(static_cast<std::size_t>(count));
    SReadResult result;
    result.bOk = unpacker.Read(out.data(), count);
    CheckSourceInside(stream);
    result.bCleanEnd = unpacker.AtCleanEnd();
    result.notices = g_notices;
    if (result.bOk) {
        result.bytes = out.ToVector();
        // Asking for nothing more reads no word.
        const std::uint8_t* const before = g_pSourceWord;
        FUZZ_CHECK(unpacker.Read(out.data(), 0));
        FUZZ_CHECK(g_pSourceWord == before);
    } else {
        FUZZ_CHECK(!result.bCleanEnd);
        FUZZ_CHECK(!unpacker.Read(out.data(), 0));
        FUZZ_CHECK(!unpacker.Read(out.data(), count));
    }
    return result;
}

// The same count in blocks of the sizes the seed gives, each read into a
// buffer of exactly its size; stops at the first failing block.
SReadResult ReadInBlocks(const CExactBytes& stream, std::int32_t count, std::uint32_t seed) {
    g_notices = 0;
    SetWordSource(stream.data(), stream.size());
    CUnpacker unpacker(NextWord, CountNotice);
    CBlockSizes sizes(seed);
    SReadResult result;
    result.bOk = true;
    result.bytes.reserve(static_cast<std::size_t>(count));
    std::size_t rest = static_cast<std::size_t>(count);
    while (rest > 0 && result.bOk) {
        const std::size_t n = sizes.Next(rest);
        CExactBytes block(n);
        result.bOk = unpacker.Read(block.data(), static_cast<std::int32_t>(n));
        CheckSourceInside(stream);
        if (result.bOk)
            result.bytes.insert(result.bytes.end(), block.data(), block.data() + n);
        rest -= n;
    }
    result.bCleanEnd = unpacker.AtCleanEnd();
    result.notices = g_notices;
    if (!result.bOk)
        result.bytes.clear();
    return result;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kPrefixSize)
        return 0;
    const auto requested = static_cast<std::int32_t>(LoadLittleEndian32(data));
    const std::uint32_t seed = LoadLittleEndian32(data + 4);
    const CExactBytes stream(data + kPrefixSize, size - kPrefixSize);

    if (requested < 0) {
        SetWordSource(stream.data(), stream.size());
        CUnpacker unpacker(NextWord);
        std::uint8_t byte = 0;
        FUZZ_CHECK(!unpacker.Read(&byte, requested));
        FUZZ_CHECK(g_pSourceWord == stream.data());
        return 0;
    }
    const std::int32_t count = requested % (kLargestCount + 1);

    const SReadResult whole = ReadWhole(stream, count);
    if (whole.bOk)
        FUZZ_CHECK(static_cast<std::uint64_t>(count) <= MaxUnpackedSize(stream.size()));

    const SReadResult blocks = ReadInBlocks(stream, count, seed);
    FUZZ_CHECK(blocks.bOk == whole.bOk);
    if (whole.bOk) {
        FUZZ_CHECK(blocks.bytes == whole.bytes);
        FUZZ_CHECK(blocks.notices == whole.notices);
        FUZZ_CHECK(blocks.bCleanEnd == whole.bCleanEnd);
    }
    return 0;
}
