#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

class CFileEntry;

// Gives the entries exported into one folder their file names:
// TYPE-ID[-NAME][-N].EXT. TYPE is the type's word (EntryTypeWord); NAME the entry's display name with every byte other
// than a letter, digit, '-' or '_' made '_', so that a name can neither
// leave the folder ("/", "..") nor hide the file; EXT .wav for sounds, .bmp
// for the three picture types, .bin else. N counts from 2 among entries that
// share everything before it and skips names already given (an entry named
// "a-2" beside two named "a"), so no name is given twice.
//
// Each name costs a few hash look-ups, however many entries share it.
class CExportFileNames {
public:
    std::string NameFor(const CFileEntry& entry);

private:
    std::unordered_set<std::string> m_given;
    // For each name without a number: the next number to try. Every number
    // below it makes a name already given, and given names stay given.
    std::unordered_map<std::string, std::uint64_t> m_nextNumber;
};
