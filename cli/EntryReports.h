#pragma once

#include "archive/FileEntry.h"
#include "platform/FileIdentity.h"
#include "transfer/EntryPacking.h"

#include <new>
#include <string>

// What the verbs that go through many entries say of them.

// A message on stderr, captioned with the program's name.
void Report(const std::string& text);

// sound:7 "Bell", as messages name an entry.
std::string EntryLabel(const CFileEntry& entry);

// Reports an entry that cannot be unpacked as check does, after where (a
// path and ": ", or nothing); false for one.
bool Unpacked(const CFileEntry& entry, UnpackStatus status, const std::string& where = {});

// Why a verb writing a file into a folder must not write path: the archive
// it reads lies there (not following a link, as the write replaces a link
// itself). The archive is read whole before anything is written, so a file
// renamed over it would leave only that file's bytes in its place. Empty
// when path is free to write.
std::string ArchiveItselfProblem(const std::string& path, const FileIdentity& archive);

// Runs a whole verb, reporting running out of memory anywhere in it as
// failure.
template <class Options>
inline int WithinMemory(int (*run)(const Options&), const Options& options, int failure) {
    try {
        return run(options);
    } catch (const std::bad_alloc&) {
        Report("There is not enough memory for that.");
        return failure;
    }
}
