#pragma once

#include "archive/FileEntry.h"

#include <cstdint>
#include <string>
#include <vector>

// manifest.json: what `ostr pack` needs besides the files to rebuild an
// archive, in a form a person can edit.
//
//   {
//     "version": 1,
//     "entries": [
//       {"type": 2, "id": 7, "name": "Bell", "file": "sound-7-Bell.wav"},
//       ...
//     ]
//   }
//
// An entry may also hold "nameBytes" (the 16 name bytes as 32 hex digits,
// for a name that text cannot give back: one with a zero byte), which wins
// over "name"; "duplicate": true on an entry whose type and ID an earlier
// entry has; "notWave": true on a sound whose file is not a wave that an
// import accepts. Unpack writes the last two only where the archive holds
// such entries, so that packing gives its bytes back.

struct ManifestEntry {
    std::int32_t type = 0;
    std::int32_t id = 0;
    EntryName name{};
    std::string file; // relative to the folder
    bool bDuplicate = false;
    bool bNotWave = false;
    // Set when "name" and "nameBytes" were both given and disagree.
    bool bNameOverridden = false;
};

struct Manifest {
    std::int32_t version = 0;
    std::vector<ManifestEntry> entries;
};

// The manifest as UTF-8 JSON, two-space indent, keys in a fixed order.
std::string ManifestText(const Manifest& manifest);

// Reads manifest text. Returns an empty string when it holds a whole
// manifest, else one sentence saying what is wrong (with the line and
// column for text that is not JSON); out may then hold part of it. Types
// must be signed 32-bit numbers; IDs and the version may be signed or
// unsigned 32-bit numbers (the same bits are stored). Refuses a file path
// that leaves the folder, and a second entry with the same type and ID
// unless it says "duplicate". Does not look at the files.
std::string ParseManifest(const std::string& text, Manifest& out);
