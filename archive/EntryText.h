#pragma once

#include "archive/FileEntry.h"

#include <string>

// The texts the entry table shows, shared by the editor and `ostr list`.

// "Viewport Overlay", "Portrait", "Sound", "Backgrounds", else "Unknown".
const char* EntryTypeText(std::int32_t type);

// The word `ostr` and exported file names use for a type: "overlay",
// "portrait", "sound", "backgrounds", else "type" and the number.
std::string EntryTypeWord(std::int32_t type);

// The name up to its first zero byte with trailing spaces (only spaces)
// removed; one byte per character (Latin-1).
std::string EntryDisplayName(const EntryName& name);
