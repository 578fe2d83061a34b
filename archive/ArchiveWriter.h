#pragma once

#include "archive/ArchiveFormat.h"
#include "archive/FileEntry.h"
#include "platform/Progress.h"

#include <cstdint>
#include <string>
#include <vector>

class CFile;
class COstrevaneDoc;

enum class WriteStatus {
    Ok,
    TooLarge,    // a payload would lie past 2^31 - 1; nothing was written
    WriteFailed, // the file reported an error (see CFile::GetError)
    Cancelled,   // the progress callback stopped it
};

struct WriteOutcome {
    WriteStatus status = WriteStatus::Ok;
    std::string detail; // for TooLarge: one sentence saying why
};

// Writes the archive as the model holds it: header, every record in list
// order (with the offsets the entries carry), then every payload. Checks the
// layout first, so a refused archive writes no byte. progress, when given,
// hears how much of the data is written. The header carries version, so
// that an archive rebuilt from its parts keeps the one it had.
WriteOutcome WriteArchive(CFile& file, const COstrevaneDoc& doc, const ProgressFn& progress = {},
                          std::int32_t version = ARCHIVE_VERSION);

// Writes an archive whose entries come one at a time, so that only the entry
// being written need be in memory: the header and a blank directory first,
// each entry's data as it comes, and the directory over the blank one last.
// The writing stops at the first failure, which every later call returns.
class CArchiveStreamWriter {
public:
    // Writes the header and the blank directory of count entries.
    CArchiveStreamWriter(CFile& file, std::int32_t count, std::int32_t version = ARCHIVE_VERSION);

    // Appends the entry's data, recording its offset in its record;
    // TooLarge, writing nothing, when the data would start past the largest
    // offset.
    WriteOutcome Add(const CFileEntry& entry);

    // Writes the directory of every entry added, which must be the count
    // given.
    WriteOutcome Finish();

private:
    CFile& m_file;
    std::uint64_t m_position;
    std::vector<CEntryRecord> m_records;
    std::size_t m_expected;
    WriteOutcome m_outcome;
};
