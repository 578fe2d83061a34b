#pragma once

#include "archive/FileEntry.h"
#include "platform/Progress.h"

#include <cstdint>
#include <string>
#include <vector>

class CFile;

enum class ReadStatus {
    Ok,
    WrongMagic, // not an archive (also a file shorter than the magic)
    Damaged,    // the magic, then something that cannot be read safely
    ReadFailed, // the file reported an error (see CFile::GetError)
    Cancelled,  // the progress callback stopped it
};

// Where a readable archive's directory disagrees with its data. The reader
// takes the payloads back to back after the directory whatever the stored
// offsets say, and ignores bytes after the last payload; saving writes that
// layout, so it changes what such a file holds.
struct LayoutReport {
    struct Offset {
        std::size_t index;        // the entry's place in the file, from 0
        std::int32_t stored;      // what its record says
        std::uint64_t backToBack; // where its data was read from
    };
    std::vector<Offset> offsets;     // every record whose offset differs
    std::uint64_t trailingBytes = 0; // after the last payload (or the header)

    bool IsEmpty() const { return offsets.empty() && trailingBytes == 0; }
};

struct ReadOutcome {
    ReadStatus status = ReadStatus::Ok;
    std::string detail;           // for Damaged: one sentence saying what is wrong
    CFileEntry* pFirst = nullptr; // for Ok: the entries in file order, owned by the caller
    LayoutReport layout;          // for Ok
};

// Reads a whole archive: header, directory and every payload in directory
// order. Never reads past the file's length, and allocates only for what
// the file holds: the data in one block no larger than it, the entries in
// one block of an entry object per record (checked against the file's
// length first). On anything but Ok no entry is left allocated.
// progress, when given, hears how much of the data is read.
ReadOutcome ReadArchive(CFile& file, const ProgressFn& progress = {});
