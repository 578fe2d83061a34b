#pragma once

#include "archive/FileEntry.h"
#include "codec/Packer.h"
#include "codec/Unpacker.h"
#include "platform/LargeMemory.h"
#include "platform/Progress.h"

#include <vector>

// Holds this thread's word sink for one packing: empty at the start, and
// emptied again however the packing ends.
class CWordSinkLease {
public:
    CWordSinkLease();
    ~CWordSinkLease();
    CWordSinkLease(const CWordSinkLease&) = delete;
    CWordSinkLease& operator=(const CWordSinkLease&) = delete;

    // After CPacker::Finish: moves the packed stream into out (each word's
    // bytes least significant first) and empties the sink. Returns false,
    // leaving out empty, when the packer or the sink ran out of room.
    bool TakeStream(const CPacker& packer, PackedData& out);
};

// Packs size bytes at data into out in one go, through this thread's word
// sink. False, with out empty, when memory runs out.
bool PackBuffer(const std::uint8_t* data, std::size_t size, PackedData& out);

enum class UnpackStatus {
    Ok,
    Damaged,     // the data cannot give m_size bytes, or does not end where a stream ends
    OutOfMemory, // for the output or the unpacker's tables
    Cancelled,   // the progress callback stopped it
};

// Unpacks exactly entry.m_size bytes of the entry's data into out. A
// negative size, or one larger than the packed data can ever hold, is
// refused before anything is allocated. out grows as the bytes come, never
// past m_size, so data that gives out early is refused having taken little
// more memory than it decoded. pfnNotice is called once for each decoded
// string of 1024 bytes or more; progress, when given, every few MiB of
// output. out is left empty unless the result is Ok.
UnpackStatus UnpackEntryData(const CFileEntry& entry, ByteBuffer& out,
                             CUnpacker::NoticeFn pfnNotice = nullptr,
                             const ProgressFn& progress = {});
