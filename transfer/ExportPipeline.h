#pragma once

#include "platform/Progress.h"
#include "transfer/EntryPacking.h"

#include <string>
#include <string_view>

class CFileEntry;

enum class ExportResult {
    Exported,
    Refused,   // a message said why; no file was touched
    Cancelled, // the progress callback stopped it; no file was touched
};

enum class ExportFailure {
    None,
    Cancelled,   // the progress callback stopped it
    Damaged,     // the data cannot give the entry's size, or does not end where it should
    OutOfMemory, // for unpacking or writing
    CannotOpen,  // the target cannot be replaced (see nFileError)
    CannotWrite, // writing, syncing or renaming failed (see nFileError)
};

// What an export came to, for callers that word their own messages.
struct ExportOutcome {
    ExportFailure failure = ExportFailure::None;
    // For CannotOpen and CannotWrite: the errno value or FILE_ERROR_ value
    // (platform/File.h), and CFile's sentence for it ("Permission denied.").
    int nFileError = 0;
    std::string strErrorText;

    bool Succeeded() const { return failure == ExportFailure::None; }
};

// Writes the entry's content to path: the data unpacked to exactly m_size
// bytes, a sound (type 2 at this moment) restored by its running sum. The
// data is unpacked before the file is touched, and the file is replaced
// atomically, so a failure leaves any existing file as it was. A symbolic
// link at path is followed when bFollowLinks is set, else replaced itself.
// Shows no message but the unpacker's "NotImplemented" (owner none, caption
// "error"), at most once per call however many long strings the data holds.
// progress, when given, hears how far the unpacking has gone.
ExportOutcome ExportEntryQuietly(const CFileEntry& entry, const std::string& path,
                                 bool bFollowLinks = true, const ProgressFn& progress = {});

// Its two halves, for a caller that unpacks on some threads and writes on
// others: the content export writes (shows the notice as above), and then
// the file written from it, as ExportEntryQuietly writes it.
ExportOutcome UnpackForExport(const CFileEntry& entry, ByteBuffer& content,
                              const ProgressFn& progress = {});
ExportOutcome WriteExport(const ByteBuffer& content, const std::string& path, bool bFollowLinks);

// The same, telling the user of a failure in a message owned by pOwner
// (caption "error"); a cancel shows nothing.
ExportResult ExportEntry(const CFileEntry& entry, const std::string& path, void* pOwner,
                         const ProgressFn& progress = {});

// The entry's content, what export writes: its data unpacked to exactly
// m_size bytes, a sound's restored by the running sum. Shows no message.
// out is left empty unless the result is Ok.
UnpackStatus UnpackContent(const CFileEntry& entry, ByteBuffer& out,
                           const ProgressFn& progress = {});

// Whether the entry's content (what export writes, before a sound's running
// sum) starts with prefix; unpacks no more than that. False for data that
// cannot give it.
bool ContentStartsWith(const CFileEntry& entry, std::string_view prefix);

// Same, but a symbolic link at path is replaced itself rather than followed
// (for writing into a folder whose contents are not ours to redirect).
ExportResult ExportEntryNoFollow(const CFileEntry& entry, const std::string& path, void* pOwner);
