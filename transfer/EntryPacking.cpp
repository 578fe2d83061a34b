#include "transfer/EntryPacking.h"

#include "codec/WordSink.h"

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

bool CWordSinkLease::TakeStream(const CPacker& packer, PackedData& out) {
    out.clear();
    if (packer.Failed() || g_bWordSinkFailed) {
        ReleaseWords();
        return false;
    }
    const auto words = static_cast<std::size_t>(g_wordCount);
    try {
        out.resize(words * 4);
    } catch (const std::bad_alloc&) {
        ReleaseWords();
        return false;
    }
    if constexpr (std::endian::native == std::endian::little) {
        if (words > 0)
            std::memcpy(out.data(), g_pWords, words * 4);
    } else {
        for (std::size_t i = 0; i < words; ++i)
            for (std::size_t b = 0; b < 4; ++b)
                out[4 * i + b] = static_cast<std::uint8_t>(g_pWords[i] >> (8 * b));
    }
    ReleaseWords();
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
bool GrowOutput(std::vector<std::uint8_t>& out, std::uint64_t size, std::uint64_t packedBytes) {
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
UnpackStatus ReadAll(CUnpacker& unpacker, const CFileEntry& entry, std::vector<std::uint8_t>& out,
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

UnpackStatus UnpackEntryData(const CFileEntry& entry, std::vector<std::uint8_t>& out,
                             CUnpacker::NoticeFn pfnNotice, const ProgressFn& progress) {
    out.clear();
    if (entry.m_size < 0 ||
        static_cast<std::uint64_t>(entry.m_size) > MaxUnpackedSize(entry.m_data.size()))
        return UnpackStatus::Damaged;
    CUnpacker unpacker(std::span(entry.m_data.data(), entry.m_data.size()), pfnNotice);
    const UnpackStatus status = ReadAll(unpacker, entry, out, progress);
    if (status != UnpackStatus::Ok)
        out = std::vector<std::uint8_t>();
    return status;
}
