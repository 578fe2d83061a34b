#pragma once

#include <cstdint>
#include <string>

class COstrevaneDoc;

// Writes an archive of count entries, IDs rising, to path, straight to
// disk. Each entry holds payloadBytes of filler, or with bPacked the packed
// form of payloadBytes of text (which ostr check finds sound). Returns false
// when it cannot be written.
bool MakeArchive(const std::string& path, int count, std::size_t payloadBytes,
                 bool bPacked = false);

// Fills doc with count entries of payloadBytes each, IDs 2, 4, 6, ... so
// that odd IDs fall between them, sorted and laid out, by writing them to a
// temporary archive and opening it. Ends the program when that fails.
void FillDocument(COstrevaneDoc& doc, int count, std::size_t payloadBytes);
