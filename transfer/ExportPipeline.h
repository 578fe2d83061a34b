#pragma once

#include "transfer/Progress.h"

#include <string>

class CFileEntry;

enum class ExportResult {
    Exported,
    Refused,   // a message said why; no file was touched
    Cancelled, // the progress callback stopped it; no file was touched
};

// Writes the entry's content to path: the data unpacked to exactly m_size
// bytes, a sound (type 2 at this moment) restored by its running sum. The
// data is unpacked before the file is touched, and the file is replaced
// atomically, so a refusal leaves any existing file as it was. Messages are
// owned by pOwner, but for the unpacker's "NotImplemented", which has none.
// progress, when given, hears how far the unpacking has gone.
ExportResult ExportEntry(const CFileEntry& entry, const std::string& path, void* pOwner,
                         const ProgressFn& progress = {});

// Same, but a symbolic link at path is replaced itself rather than followed
// (for writing into a folder whose contents are not ours to redirect).
ExportResult ExportEntryNoFollow(const CFileEntry& entry, const std::string& path, void* pOwner);
