#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>

class CFileEntry;
class COstrevaneDoc;

// An entry named on the command line as TYPE:ID (sound:4, 2:4).
struct EntryAddress {
    std::int32_t type;
    std::int32_t id;
};

// TYPE: 0 to 3, or overlay, portrait, sound, backgrounds.
std::optional<std::int32_t> ParseType(const std::string& text);
// TYPE:ID naming an existing entry: any type number is allowed (entries of
// unknown types exist), and the ID may be written signed or unsigned.
std::optional<EntryAddress> ParseEntryAddress(const std::string& text);

// "sound:4", "type9:12": how messages name an entry.
std::string FormatAddress(std::int32_t type, std::int32_t id);

// Validators for CLI11 options, so that bad values are usage errors. IDs
// are read as the dialogs read them (ParseUnsigned32).
CLI::Validator TypeValidator();
CLI::Validator IdValidator();
CLI::Validator EntryValidator();
CLI::Validator NameValidator();

// The entry at address, or null after a message saying there is none.
CFileEntry* FindAddressedEntry(COstrevaneDoc& doc, const std::string& address);
