#include "tests/DamagedArchives.h"

#include <cctype>
#include <climits>
#include <cstdint>

namespace {

constexpr char WRONG_MAGIC[] = "That does not look like a Ostrevane file";

std::string Damaged(const std::string& detail) {
    return "That Ostrevane file is damaged\n" + detail;
}

// One entry with the given fields and payload bytes that are no packed data
// (the first code would be a width change).
Bytes OneEntry(std::int32_t type, std::int32_t id, std::int32_t packed, std::int32_t size,
               const std::string& name16, std::size_t payload = 4) {
    return ArchiveBuilder()
        .Record(type, id, packed, size, 48, name16, Bytes(payload, 0xFF))
        .Build();
}

void AddCuts(std::vector<ArchiveRow>& rows) {
    const Bytes whole = SmallArchive();
    for (std::size_t length = 0; length < whole.size(); ++length) {
        std::string message;
        if (length < 4)
            message = WRONG_MAGIC;
        else if (length < 12)
            message = Damaged("The file ends inside its header.");
        else if (length < 84)
            message = Damaged("Its directory of 2 entries does not fit in the file.");
        else if (length < 92)
            message = Damaged("The data of entry 1 of 2 runs past the end of the file.");
        else
            message = Damaged("The data of entry 2 of 2 runs past the end of the file.");
        rows.push_back({"cut at " + std::to_string(length),
                        Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)),
                        message});
    }
}

void AddCounts(std::vector<ArchiveRow>& rows) {
    rows.push_back({"count 0", ArchiveBuilder().Build(), "", 0});
    for (std::int32_t count : {-1, -5, INT_MIN})
        rows.push_back({"count " + std::to_string(count), ArchiveBuilder().Count(count).Build(),
                        Damaged("Its directory has a negative number of entries (" +
                                std::to_string(count) + ")."),
                        0});
    const Bytes huge = ArchiveBuilder().Count(INT_MAX).Record(1, 1, 0, 0, 48, "x").Build();
    rows.push_back({"count INT_MAX", huge,
                    Damaged("Its directory of 2147483647 entries does not fit in the file.")});
    const Bytes past =
        ArchiveBuilder().Count(3).Record(1, 1, 0, 0, 120, "x").Record(1, 2, 0, 0, 120, "y").Build();
    rows.push_back({"directory passes the end", past,
                    Damaged("Its directory of 3 entries does not fit in the file.")});
}

void AddSizes(std::vector<ArchiveRow>& rows) {
    rows.push_back({"negative packed size", OneEntry(1, 1, -4, 4, "x               "),
                    Damaged("Entry 1 of 1 has a negative packed size (-4).")});
    rows.push_back({"packed size past the end", OneEntry(1, 1, 8, 8, "x               "),
                    Damaged("The data of entry 1 of 1 runs past the end of the file.")});
    rows.push_back({"packed size INT_MAX", OneEntry(1, 1, INT_MAX, 8, "x               "),
                    Damaged("The data of entry 1 of 1 runs past the end of the file.")});
    // Sizes are only promises about the data: the archive loads, and the
    // entry is refused when it is unpacked.
    rows.push_back({"negative size", OneEntry(1, 1, 4, -7, "x               "), "", 1});
    rows.push_back({"size INT_MAX with 4 packed bytes",
                    OneEntry(1, 1, 4, INT_MAX, "x               "), "", 1});
}

void AddOddFields(std::vector<ArchiveRow>& rows) {
    for (std::int32_t id : {INT_MIN, INT_MAX, -1})
        rows.push_back(
            {"ID " + std::to_string(id), OneEntry(1, id, 4, 3, "x               "), "", 1});
    const Bytes twins = ArchiveBuilder()
                            .Record(2, 4, 4, 3, 84, "first", Bytes(4, 0xFF))
                            .Record(2, 4, 4, 3, 88, "second", Bytes(4, 0xFF))
                            .Build();
    rows.push_back({"duplicated type and ID", twins, "", 2});
    rows.push_back({"name without a zero byte", OneEntry(1, 1, 4, 3, "ABCDEFGHIJKLMNOP"), "", 1});
    rows.push_back({"name with a zero byte then garbage",
                    OneEntry(1, 1, 4, 3, std::string("ab\0\xff\x01garbage!!!", 16)), "", 1});
    rows.push_back({"name with a slash", OneEntry(1, 1, 4, 3, "../../etc/passwd"), "", 1});
    rows.push_back({"name dot dot", OneEntry(1, 1, 4, 3, "..              "), "", 1});
    for (std::int32_t type : {4, 255, -1, INT_MIN})
        rows.push_back(
            {"type " + std::to_string(type), OneEntry(type, 1, 4, 3, "x               "), "", 1});
    Bytes trailing = SmallArchive();
    trailing.insert(trailing.end(), {'t', 'a', 'i', 'l'});
    rows.push_back({"trailing bytes", trailing, "", 2});
}

} // namespace

std::vector<ArchiveRow> ArchiveRows() {
    std::vector<ArchiveRow> rows;
    AddCuts(rows);
    rows.push_back({"wrong magic", Bytes{'P', 'K', 3, 4, 1, 0, 0, 0, 0, 0, 0, 0}, WRONG_MAGIC});
    rows.push_back(
        {"magic in lower case", Bytes{'o', 's', 't', 'r', 1, 0, 0, 0, 0, 0, 0, 0}, WRONG_MAGIC});
    AddCounts(rows);
    AddSizes(rows);
    AddOddFields(rows);
    rows.push_back({"whole small archive", SmallArchive(), "", 2});
    return rows;
}

void PrintTo(const ArchiveRow& row, std::ostream* os) {
    *os << row.name;
}

std::string WriteRowArchive(const TempDir& dir, const ArchiveRow& row) {
    const std::string path = dir.File("archive.dat");
    WriteBytes(path, row.bytes);
    return path;
}

std::string RowTestName(const std::string& name) {
    std::string out;
    for (char c : name)
        out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return out;
}
