#pragma once

#include "archive/FileEntry.h"

#include <string>

class CFile;

enum class ReadStatus {
    Ok,
    WrongMagic, // not an archive (also a file shorter than the magic)
    Damaged,    // the magic, then something that cannot be read safely
    ReadFailed, // the file reported an error (see CFile::GetError)
};

struct ReadOutcome {
    ReadStatus status = ReadStatus::Ok;
    std::string detail;           // for Damaged: one sentence saying what is wrong
    CFileEntry* pFirst = nullptr; // for Ok: the entries in file order, owned by the caller
};

// Reads a whole archive: header, directory and every payload in directory
// order. Never reads past the file's length and never allocates more than
// the file can hold; on anything but Ok no entry is left allocated.
ReadOutcome ReadArchive(CFile& file);
