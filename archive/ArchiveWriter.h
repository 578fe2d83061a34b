#pragma once

#include <string>

class CFile;
class COstrevaneDoc;

enum class WriteStatus {
    Ok,
    TooLarge,    // a payload would lie past 2^31 - 1; nothing was written
    WriteFailed, // the file reported an error (see CFile::GetError)
};

struct WriteOutcome {
    WriteStatus status = WriteStatus::Ok;
    std::string detail; // for TooLarge: one sentence saying why
};

// Writes the archive as the model holds it: header, every record in list
// order (with the offsets the entries carry), then every payload. Checks the
// layout first, so a refused archive writes no byte.
WriteOutcome WriteArchive(CFile& file, const COstrevaneDoc& doc);
