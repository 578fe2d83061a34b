// Property: packing any bytes and unpacking the stream to their length gives
// the bytes back, through the same steps import and export take (the word
// sink's lease, then UnpackEntryData). The stream always takes the longest
// string the dictionary holds (StreamFormOf calls it the packer's own, which
// a search that stops short would fail). The stream is the same whether the
// bytes reach the packer in one Write or in blocks of any sizes, and once
// Finish has run, later Writes and Finishes add no word.
//
// Input: a mode byte, four bytes seeding the block sizes, then the bytes to
// pack. A mode whose low two bits are 01 packs an expansion of those bytes to
// about 100 KiB instead (copies, runs, noise and counters mixed as the bytes
// say), which takes the codes through several width changes in one run; it
// is a quarter of the modes because it runs a hundred times slower.

#include "FuzzSupport.h"

#include "archive/FileEntry.h"
#include "codec/Packer.h"
#include "codec/StreamForm.h"
#include "codec/WordSink.h"
#include "transfer/EntryPacking.h"

namespace {

constexpr std::size_t PREFIX_SIZE = 5;
constexpr std::size_t EXPANDED_SIZE = 96 * 1024;

std::vector<std::uint32_t> g_splitWords;
int g_splitFlushes = 0;

void CollectWord(std::uint32_t word, bool flush) {
    if (flush)
        ++g_splitFlushes;
    else
        g_splitWords.push_back(word);
}

// About EXPANDED_SIZE bytes (more by a step of the mode) built from the
// material: each material byte in turn picks one piece to append.
std::vector<std::uint8_t> Expand(const std::uint8_t* material, std::size_t size,
                                 std::uint8_t mode) {
    const std::size_t target = EXPANDED_SIZE + static_cast<std::size_t>(mode >> 2) * 97;
    std::vector<std::uint8_t> out;
    out.reserve(target + 8192);
    if (size == 0) {
        out.assign(target, 0);
        return out;
    }
    std::uint32_t noise = 0x9E3779B9u ^ mode;
    std::uint32_t counter = 0;
    for (std::size_t i = 0; out.size() < target; ++i) {
        const std::uint8_t pick = material[i % size];
        const std::size_t length = 1 + (pick >> 2);
        switch (pick & 3) {
        case 0: // the material itself
            out.insert(out.end(), material, material + size);
            break;
        case 1: // a run of one byte
            out.insert(out.end(), length * 4, material[(i + 1) % size]);
            break;
        case 2: // noise, which makes many short codes
            for (std::size_t k = 0; k < length * 8; ++k) {
                noise ^= noise << 13;
                noise ^= noise >> 17;
                noise ^= noise << 5;
                out.push_back(static_cast<std::uint8_t>(noise));
            }
            break;
        default: // a counter, alike but never equal
            for (std::size_t k = 0; k < length; ++k)
                out.push_back(static_cast<std::uint8_t>(counter++ ^ pick));
            break;
        }
    }
    return out;
}

// The import path: one Write, the global sink, the lease's stream.
PackedData PackWhole(const CExactBytes& bytes) {
    CWordSinkLease lease;
    CPacker packer(AppendWord);
    packer.Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    packer.Finish();
    PackedData stream;
    FUZZ_CHECK(lease.TakeStream(packer, stream));
    return stream;
}

// Blocks of the sizes the seed gives, each in a heap block of its own size
// that is freed straight after the Write, so the packer may neither read past
// a block nor keep reading it later.
std::vector<std::uint8_t> PackInBlocks(const CExactBytes& bytes, std::uint32_t seed) {
    g_splitWords.clear();
    g_splitFlushes = 0;
    CPacker packer(CollectWord);
    CBlockSizes sizes(seed);
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t n = sizes.Next(bytes.size() - done);
        const CExactBytes block(bytes.data() + done, n);
        packer.Write(block.data(), static_cast<std::int32_t>(n));
        done += n;
    }
    packer.Finish();
    FUZZ_CHECK(!packer.Failed());
    FUZZ_CHECK(g_splitFlushes == 1);
    const std::size_t words = g_splitWords.size();
    if (bytes.size() > 0) {
        packer.Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
        packer.Finish();
        FUZZ_CHECK(g_splitWords.size() == words);
        FUZZ_CHECK(g_splitFlushes == 2);
    }
    std::vector<std::uint8_t> stream;
    stream.reserve(words * 4);
    for (const std::uint32_t word : g_splitWords)
        for (int b = 0; b < 4; ++b)
            stream.push_back(static_cast<std::uint8_t>(word >> (8 * b)));
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < PREFIX_SIZE)
        return 0;
    const std::uint8_t mode = data[0];
    const std::uint32_t seed = ReadLittleEndian32(data + 1);
    const std::uint8_t* const material = data + PREFIX_SIZE;
    const std::size_t materialSize = size - PREFIX_SIZE;
    const bool bExpand = (mode & 3) == 1;
    std::vector<std::uint8_t> expanded;
    if (bExpand)
        expanded = Expand(material, materialSize, mode);
    const CExactBytes bytes = bExpand ? CExactBytes(expanded.data(), expanded.size())
                                      : CExactBytes(material, materialSize);

    const PackedData stream = PackWhole(bytes);
    FUZZ_CHECK(stream.size() % 4 == 0);
    FUZZ_CHECK(bytes.size() > 0 || stream.empty());
    FUZZ_CHECK(PackInBlocks(bytes, seed) ==
               std::vector<std::uint8_t>(stream.begin(), stream.end()));
    FUZZ_CHECK(StreamFormOf(std::span(stream.data(), stream.size()), bytes.size()) ==
               StreamForm::Packers);

    CFileEntry entry;
    entry.m_size = static_cast<std::int32_t>(bytes.size());
    entry.m_packedSize = static_cast<std::int32_t>(stream.size());
    entry.m_data = PackedData(std::span(stream.data(), stream.size()));
    ByteBuffer unpacked;
    FUZZ_CHECK(UnpackEntryData(entry, unpacked) == UnpackStatus::Ok);
    const std::vector<std::uint8_t> expected = bytes.ToVector();
    FUZZ_CHECK(std::equal(unpacked.begin(), unpacked.end(), expected.begin(), expected.end()));
    return 0;
}
