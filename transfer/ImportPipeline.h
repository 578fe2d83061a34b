#pragma once

#include "platform/Progress.h"

#include <cstdint>
#include <string>

class COstrevaneDoc;

// What the Importing File dialog hands over on OK.
struct ImportRequest {
    std::string path;    // the file to import
    std::int32_t type;   // the entry's type (0 to 3)
    std::uint32_t id;    // the entry's ID, stored with the same 32 bits
    std::string name;    // at most 16 bytes, stored space-padded
    ProgressFn progress; // optional
};

enum class ImportResult {
    Imported,  // the entry is in the document
    Refused,   // a message said why; nothing changed
    Declined,  // the user would not replace the entry with that type and ID
    Cancelled, // the progress callback stopped it; nothing changed
};

// Imports a file as a new entry, or as the replacement of the entry with the
// same type and ID after asking. Sounds must have the 44-byte 8-bit mono
// 11025 Hz PCM header and are delta-coded; other types are stored as they
// are. Every message is shown through MessageBox with pOwner as its owner.
// The document changes only when the whole file has been read and packed.
ImportResult ImportFile(COstrevaneDoc& doc, const ImportRequest& request, void* pOwner);

// Files this large or larger cannot be stored: an entry's size is a signed
// 32-bit number.
inline constexpr std::uint64_t IMPORT_SIZE_LIMIT = std::uint64_t{1} << 31;
