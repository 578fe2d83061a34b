#include "transfer/EntryPacking.h"

#include "codec/WordSink.h"
#include "codec/WordSource.h"

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

// Whole output in one Read when nobody watches; in steps of a few MiB
// (a little slower) when someone does.
UnpackStatus ReadAll(CUnpacker& unpacker, std::vector<std::uint8_t>& out,
                     const ProgressFn& progress) {
    const std::size_t step = progress ? 4 * PROGRESS_STEP : out.size();
    for (std::size_t done = 0; done < out.size();) {
        const std::size_t n = std::min(step, out.size() - done);
        if (!unpacker.Read(out.data() + done, static_cast<std::int32_t>(n)))
            return UnpackStatus::Damaged;
        done += n;
        if (progress && !progress(done, out.size()))
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
    try {
        out.resize(static_cast<std::size_t>(entry.m_size));
    } catch (const std::bad_alloc&) {
        return UnpackStatus::OutOfMemory;
    }
    CUnpacker unpacker(NextWord, pfnNotice);
    SetWordSource(entry.m_data.data(), entry.m_data.size());
    const UnpackStatus status = ReadAll(unpacker, out, progress);
    if (status != UnpackStatus::Ok)
        out.clear();
    return status;
}
