#pragma once

#include "tests/ArchiveBuilder.h"

#include <ostream>
#include <string>
#include <vector>

// One archive file to open, and what opening it must give: the message
// (empty when it loads) and the number of entries it loads with.
struct ArchiveRow {
    std::string name;
    Bytes bytes;
    std::string message;
    int entries = 0;
};

// Rows show by their names in test output.
void PrintTo(const ArchiveRow& row, std::ostream* os);

// Every damaged, foreign and odd archive the suites try: cuts at every byte
// of SmallArchive(), wrong magic, hostile counts and sizes, odd IDs, names
// and types, trailing bytes.
std::vector<ArchiveRow> ArchiveRows();

// Writes the row's archive into dir as archive.dat; returns its path.
std::string WriteRowArchive(const TempDir& dir, const ArchiveRow& row);

// A name usable in a test's name: letters and digits, the rest as '_'.
std::string RowTestName(const std::string& name);
