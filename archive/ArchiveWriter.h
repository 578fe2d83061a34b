#pragma once

#include "archive/ArchiveFormat.h"
#include "platform/Progress.h"

#include <cstdint>
#include <string>

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
