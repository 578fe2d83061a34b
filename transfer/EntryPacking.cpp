#include "transfer/EntryPacking.h"

#include "codec/WordSink.h"
#include "codec/WordSource.h"

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

UnpackStatus UnpackEntryData(const CFileEntry& entry, std::vector<std::uint8_t>& out,
                             CUnpacker::NoticeFn pfnNotice) {
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
    if (!unpacker.Read(out.data(), entry.m_size) || !unpacker.AtCleanEnd()) {
        out.clear();
        return UnpackStatus::Damaged;
    }
    return UnpackStatus::Ok;
}
