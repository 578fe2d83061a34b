#include "transfer/EntryPacking.h"

#include "codec/WordSink.h"
#include "platform/ByteOrder.h"
#include "platform/LargeMemory.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

CWordSinkLease::CWordSinkLease() {
    ReleaseWords();
}

CWordSinkLease::~CWordSinkLease() {
    ReleaseWords();
}

namespace {

// The words as the stream stores them, each least significant byte first.
void MakeLittleEndian(std::uint32_t* words, std::size_t count) {
    if constexpr (std::endian::native != std::endian::little)
        for (std::size_t i = 0; i < count; ++i)
            WriteLittleEndian32(reinterpret_cast<std::uint8_t*>(words + i), words[i]);
}

} // namespace

// A large stream keeps the sink's block, whose pages past the stream were
// never touched; a small one is copied to a block of its own size, so that
// the heap holds no unused third.
bool CWordSinkLease::TakeStream(const CPacker& packer, PackedData& out) {
    out.clear();
    if (packer.Failed() || g_bWordSinkFailed) {
        ReleaseWords();
        return false;
    }
    std::int32_t count = 0, capacity = 0;
    std::uint32_t* words = TakeWords(count, capacity);
    const std::size_t bytes = static_cast<std::size_t>(count) * 4;
    const std::size_t held = static_cast<std::size_t>(capacity) * 4;
    MakeLittleEndian(words, static_cast<std::size_t>(count));
    const auto* pBytes = reinterpret_cast<const std::uint8_t*>(words);
    try {
        if (held < LARGE_BUFFER_BYTES) {
            out = PackedData(std::span(pBytes, bytes));
            FreeZeroed(words, held);
        } else {
            const std::shared_ptr<const std::uint32_t> block(words, [held](const std::uint32_t* p) {
                FreeZeroed(const_cast<std::uint32_t*>(p), held);
            });
            out = PackedData(block, pBytes, bytes);
        }
    } catch (const std::bad_alloc&) {
        if (held < LARGE_BUFFER_BYTES)
            FreeZeroed(words, held); // a failed shared_ptr frees the large block itself
        return false;
    }
    return true;
}

bool PackBuffer(const std::uint8_t* data, std::size_t size, PackedData& out) {
    CWordSinkLease lease;
    CPacker packer(AppendWord);
    // Write takes a signed 32-bit length: larger buffers go in steps.
    constexpr std::size_t STEP = std::size_t{1} << 30;
    for (std::size_t done = 0; done < size; done += STEP)
        packer.Write(data + done, static_cast<std::int32_t>(std::min(STEP, size - done)));
    packer.Finish();
    return lease.TakeStream(packer, out);
}

namespace {

// Memory for the output is reserved for up to RESERVE_PER_PACKED_BYTE times
// the packed bytes, which holds nearly all content without moving it, but it
// is only touched as the output grows, doubling from FIRST_OUTPUT: an entry
// that claims far more than its data gives takes memory only as the data is
// decoded.
constexpr std::uint64_t RESERVE_PER_PACKED_BYTE = 128;
constexpr std::uint64_t FIRST_OUTPUT = std::uint64_t{256} << 10;

UnpackStatus StatusOf(CUnpacker::Status status) {
    switch (status) {
    case CUnpacker::Status::Ok:
        return UnpackStatus::Ok;
    case CUnpacker::Status::OutOfMemory:
        return UnpackStatus::OutOfMemory;
    case CUnpacker::Status::Damaged:
        break;
    }
    return UnpackStatus::Damaged;
}

// Gives out more room, never more than size bytes in all. False when memory
// runs out.
bool GrowOutput(ByteBuffer& out, std::uint64_t size, std::uint64_t packedBytes) {
    const std::uint64_t grown = std::min(size, std::max(FIRST_OUTPUT, 2 * out.size()));
    try {
        if (out.empty())
            out.reserve(static_cast<std::size_t>(
                std::min(size, std::max(FIRST_OUTPUT, packedBytes * RESERVE_PER_PACKED_BYTE))));
        // Past the reservation the output moves, reserved exactly as large.
        if (grown > out.capacity())
            out.reserve(static_cast<std::size_t>(grown));
        out.resize(static_cast<std::size_t>(grown));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// Reads that end where out is full and, when someone watches, at every few
// MiB.
UnpackStatus ReadAll(CUnpacker& unpacker, const CFileEntry& entry, ByteBuffer& out,
                     const ProgressFn& progress) {
    const auto size = static_cast<std::uint64_t>(entry.m_size);
    const std::uint64_t step = progress ? 4 * PROGRESS_STEP : size;
    for (std::uint64_t done = 0; done < size;) {
        if (done == out.size() && !GrowOutput(out, size, entry.m_data.size()))
            return UnpackStatus::OutOfMemory;
        const std::uint64_t n = std::min(out.size() - done, step - done % step);
        const CUnpacker::Status status =
            unpacker.ReadAppending(out.data(), done, static_cast<std::int32_t>(n));
        if (status != CUnpacker::Status::Ok)
            return StatusOf(status);
        done += n;
        if (progress && (done % step == 0 || done == size) && !progress(done, size))
            return UnpackStatus::Cancelled;
    }
    return unpacker.AtCleanEnd() ? UnpackStatus::Ok : UnpackStatus::Damaged;
}

} // namespace

UnpackStatus UnpackEntryData(const CFileEntry& entry, ByteBuffer& out,
                             CUnpacker::NoticeFn pfnNotice, const ProgressFn& progress) {
    out.clear();
    if (entry.m_size < 0 ||
        static_cast<std::uint64_t>(entry.m_size) > MaxUnpackedSize(entry.m_data.size()))
        return UnpackStatus::Damaged;
    CUnpacker unpacker(std::span(entry.m_data.data(), entry.m_data.size()), pfnNotice);
    const UnpackStatus status = ReadAll(unpacker, entry, out, progress);
    if (status != UnpackStatus::Ok)
        out = ByteBuffer();
    return status;
}
