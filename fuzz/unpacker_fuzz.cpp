// Property: any packed stream, read for any requested size, either gives
// that many bytes or reports damage (a stream this small never runs out of
// memory), and after damage every read fails the same way. It never reads a
// byte outside the packed data, never writes past the bytes asked for and
// never hangs, and it never gives more bytes than MaxUnpackedSize allows for
// the stream. Reading the packed bytes ahead in one call, reading them word
// by word from NextWord in several calls of any sizes, and appending reads of
// those sizes to one growing buffer all succeed or fail together, with the
// same bytes, the same long-string notices, the same words read and the same
// answer about the stream's end. StreamFormOf calls the stream the packer's
// own exactly when it unpacks to a clean end and packing its bytes again
// gives the stream back.
//
// Input: a little-endian int32 requested size (a non-negative one taken
// modulo 1 MiB + 1), four bytes seeding the block sizes of the split reads,
// then the packed stream.

#include "FuzzSupport.h"

#include "codec/StreamForm.h"
#include "codec/Unpacker.h"
#include "codec/WordSource.h"
#include "transfer/EntryPacking.h"

#include <algorithm>

namespace {

constexpr std::size_t PREFIX_SIZE = 8;
constexpr std::int32_t LARGEST_COUNT = 1 << 20;
// Bytes past a read that must be left alone, when the buffer has them.
constexpr std::size_t GUARD = 32;
constexpr std::uint8_t GUARD_BYTE = 0xA5;

int g_notices = 0;

void CountNotice() {
    ++g_notices;
}

struct SReadResult {
    CUnpacker::Status status = CUnpacker::Status::Damaged;
    bool bCleanEnd = false;
    int notices = 0;
    std::uint64_t wordsRead = 0;
    std::vector<std::uint8_t> bytes;
};

void Finish(SReadResult& result, const CUnpacker& unpacker) {
    FUZZ_CHECK(result.status != CUnpacker::Status::OutOfMemory);
    result.bCleanEnd = unpacker.AtCleanEnd();
    result.notices = g_notices;
    result.wordsRead = unpacker.WordsRead();
    if (result.status != CUnpacker::Status::Ok) {
        FUZZ_CHECK(!result.bCleanEnd);
        result.bytes.clear();
    }
}

// One Read of count bytes into a buffer of exactly that size.
SReadResult ReadWhole(const CExactBytes& stream, std::int32_t count) {
    g_notices = 0;
    CUnpacker unpacker(std::span(stream.data(), stream.size()), CountNotice);
    CExactBytes out(static_cast<std::size_t>(count));
    SReadResult result;
    result.status = unpacker.Read(out.data(), count);
    if (result.status == CUnpacker::Status::Ok) {
        result.bytes = out.ToVector();
        // Asking for nothing more reads no word.
        const std::uint64_t before = unpacker.WordsRead();
        FUZZ_CHECK(unpacker.Read(out.data(), 0) == CUnpacker::Status::Ok);
        FUZZ_CHECK(unpacker.WordsRead() == before);
    } else {
        FUZZ_CHECK(unpacker.Read(out.data(), 0) == result.status);
        FUZZ_CHECK(unpacker.Read(out.data(), count) == result.status);
    }
    Finish(result, unpacker);
    return result;
}

// The same count from NextWord, in blocks of the sizes the seed gives, each
// read into a buffer of exactly its size; stops at the first failing block.
SReadResult ReadWordByWord(const CExactBytes& stream, std::int32_t count, std::uint32_t seed) {
    g_notices = 0;
    SetWordSource(stream.data(), stream.size());
    CUnpacker unpacker(NextWord, CountNotice);
    CBlockSizes sizes(seed);
    SReadResult result;
    result.status = CUnpacker::Status::Ok;
    result.bytes.reserve(static_cast<std::size_t>(count));
    std::size_t rest = static_cast<std::size_t>(count);
    while (rest > 0 && result.status == CUnpacker::Status::Ok) {
        const std::size_t n = sizes.Next(rest);
        CExactBytes block(n);
        result.status = unpacker.Read(block.data(), static_cast<std::int32_t>(n));
        FUZZ_CHECK(g_pSourceWord >= stream.data() && g_pSourceWord <= g_pSourceEnd);
        if (result.status == CUnpacker::Status::Ok) {
            FUZZ_CHECK(static_cast<std::uint64_t>(g_pSourceWord - stream.data()) ==
                       4 * unpacker.WordsRead());
            result.bytes.insert(result.bytes.end(), block.data(), block.data() + n);
        }
        rest -= n;
    }
    Finish(result, unpacker);
    return result;
}

// Moves the bytes delivered so far into a buffer of exactly size bytes, the
// rest of it guard bytes.
CExactBytes Regrown(const CExactBytes& old, std::size_t delivered, std::size_t size) {
    CExactBytes grown(size);
    std::memset(grown.data(), GUARD_BYTE, size);
    if (delivered > 0)
        std::memcpy(grown.data(), old.data(), delivered);
    return grown;
}

// The same count in blocks of the same sizes, appended to one buffer that
// doubles, moving, whenever the next block does not fit.
SReadResult ReadAppending(const CExactBytes& stream, std::int32_t count, std::uint32_t seed) {
    g_notices = 0;
    CUnpacker unpacker(std::span(stream.data(), stream.size()), CountNotice);
    CBlockSizes sizes(seed);
    CExactBytes output(0);
    SReadResult result;
    result.status = CUnpacker::Status::Ok;
    std::size_t done = 0;
    while (done < static_cast<std::size_t>(count) && result.status == CUnpacker::Status::Ok) {
        const std::size_t n = sizes.Next(static_cast<std::size_t>(count) - done);
        if (done + n > output.size())
            output = Regrown(output, done, std::max(2 * output.size(), done + n));
        result.status = unpacker.ReadAppending(output.data(), done, static_cast<std::int32_t>(n));
        done += n;
        const std::size_t guardEnd = std::min(output.size(), done + GUARD);
        for (std::size_t i = done; i < guardEnd; ++i)
            FUZZ_CHECK(output.data()[i] == GUARD_BYTE);
    }
    result.bytes.assign(output.data(), output.data() + done);
    Finish(result, unpacker);
    return result;
}

bool SameOutcome(const SReadResult& a, const SReadResult& b) {
    if (a.status != b.status)
        return false;
    return a.status != CUnpacker::Status::Ok ||
           (a.bytes == b.bytes && a.notices == b.notices && a.bCleanEnd == b.bCleanEnd &&
            a.wordsRead == b.wordsRead);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < PREFIX_SIZE)
        return 0;
    const auto requested = static_cast<std::int32_t>(ReadLittleEndian32(data));
    const std::uint32_t seed = ReadLittleEndian32(data + 4);
    const CExactBytes stream(data + PREFIX_SIZE, size - PREFIX_SIZE);

    if (requested < 0) {
        CUnpacker unpacker(std::span(stream.data(), stream.size()));
        std::uint8_t byte = 0;
        FUZZ_CHECK(unpacker.Read(&byte, requested) == CUnpacker::Status::Damaged);
        FUZZ_CHECK(unpacker.WordsRead() == 0);
        return 0;
    }
    const std::int32_t count = requested % (LARGEST_COUNT + 1);

    const SReadResult whole = ReadWhole(stream, count);
    if (whole.status == CUnpacker::Status::Ok)
        FUZZ_CHECK(static_cast<std::uint64_t>(count) <= MaxUnpackedSize(stream.size()));
    FUZZ_CHECK(SameOutcome(ReadWordByWord(stream, count, seed), whole));
    FUZZ_CHECK(SameOutcome(ReadAppending(stream, count, seed), whole));

    bool bPackers = false;
    if (whole.status == CUnpacker::Status::Ok && whole.bCleanEnd) {
        PackedData repacked;
        FUZZ_CHECK(PackBuffer(whole.bytes.data(), whole.bytes.size(), repacked));
        bPackers = repacked.size() == stream.size() &&
                   std::equal(repacked.data(), repacked.data() + repacked.size(), stream.data());
    }
    const StreamForm form =
        StreamFormOf(std::span(stream.data(), stream.size()), static_cast<std::uint64_t>(count));
    FUZZ_CHECK(form == (bPackers ? StreamForm::Packers : StreamForm::Other));
    return 0;
}
