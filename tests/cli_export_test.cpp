// Exporting entries with `ostr extract` and `ostr extract-all`, the names
// extract-all gives its files, and names as `ostr list` prints them.

#include "archive/FileEntry.h"
#include "transfer/ExportFileNames.h"
#include "tests/ArchiveBuilder.h"
#include "tests/OstrRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Item {
    std::int32_t type;
    std::int32_t id;
    std::string name;
    Bytes content;
    bool bDamaged = false; // packed data that cannot give the content's size
};

// An archive holding the items in this order, their contents packed.
Bytes MakeArchive(const std::vector<Item>& items) {
    ArchiveBuilder builder;
    for (const Item& item : items) {
        if (item.bDamaged)
            builder.Entry(item.type, item.id, item.name, {0xFF, 0xFF, 0xFF, 0xFF},
                          static_cast<std::int32_t>(item.content.size()));
        else
            builder.Packed(item.type, item.id, item.name, item.content);
    }
    return builder.Build();
}

CFileEntry EntryNamed(std::int32_t type, std::int32_t id, const std::string& name) {
    CFileEntry entry;
    entry.m_type = type;
    entry.m_id = id;
    entry.m_name = MakeEntryName(name);
    return entry;
}

} // namespace

TEST(ExportFileNames, NumbersNeverRepeatANameGiven) {
    struct Row {
        const char* label;
        std::vector<std::string> entryNames; // of entries overlay:4
        std::vector<std::string> fileNames;
    };
    const Row rows[] = {
        {"a-2 after two a",
         {"a", "a", "a-2"},
         {"overlay-4-a.bmp", "overlay-4-a-2.bmp", "overlay-4-a-2-2.bmp"}},
        {"a-2 before two a",
         {"a-2", "a", "a"},
         {"overlay-4-a-2.bmp", "overlay-4-a.bmp", "overlay-4-a-3.bmp"}},
        {"made safe alike", {"../x", "__/x"}, {"overlay-4-___x.bmp", "overlay-4-___x-2.bmp"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        CExportFileNames names;
        std::vector<std::string> given;
        for (const std::string& name : row.entryNames)
            given.push_back(names.NameFor(EntryNamed(0, 4, name)));
        EXPECT_EQ(given, row.fileNames);
    }
}

TEST(ExportFileNames, AMillionEntriesOfOneNameTakeLinearTime) {
    const CFileEntry entry = EntryNamed(2, 7, "Chime");
    CExportFileNames names;
    ASSERT_EQ(names.NameFor(entry), "sound-7-Chime.wav");
    for (int n = 2; n <= 1000000; ++n) {
        const std::string name = names.NameFor(entry);
        if (name != "sound-7-Chime-" + std::to_string(n) + ".wav")
            FAIL() << n << ": " << name;
    }
}

TEST(OstrExtractAll, ReportsEachEntryItCannotWriteAndWritesTheRest) {
    TempDir dir;
    const Bytes run(600000, 'Q'); // announces long strings some seventy times
    const std::string archive = dir.File("a.dat"), out = dir.File("out");
    WriteBytes(archive, MakeArchive({{1, 1, "Door", run},
                                     {2, 2, "Chi\x9Bme", Bytes(50, 1), true},
                                     {1, 3, "Gate", Bytes(10, 2)},
                                     {1, 4, "Pipe", Bytes(10, 3)},
                                     {0, 6, "Sky", run}}));
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((out + "/portrait-3-Gate.bmp").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo((out + "/portrait-4-Pipe.bmp").c_str(), 0600), 0);

    const Result r = Ostr({"extract-all", archive, "-d", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, out + "/portrait-1-Door.bmp\n" + out + "/overlay-6-Sky.bmp\n");
    EXPECT_EQ(r.err, "error: NotImplemented\n"
                     "ostr: sound:2 \"Chi\\x9Bme\": its data is damaged.\n"
                     "ostr: portrait:3 \"Gate\": Cannot write " +
                         out + "/portrait-3-Gate.bmp: Is a directory.\n" +
                         "ostr: portrait:4 \"Pipe\": Cannot write " + out +
                         "/portrait-4-Pipe.bmp: That is not a regular file.\n" +
                         "error: NotImplemented\n");
    EXPECT_EQ(ReadBytes(out + "/portrait-1-Door.bmp"), run);
    EXPECT_EQ(ReadBytes(out + "/overlay-6-Sky.bmp"), run);
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(out))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"overlay-6-Sky.bmp", "portrait-1-Door.bmp",
                                               "portrait-3-Gate.bmp", "portrait-4-Pipe.bmp"}));
}

TEST(OstrExtractAll, AFolderThatCannotBeMadeIsReportedOnce) {
    TempDir dir;
    const std::string archive = dir.File("a.dat"), file = dir.File("file");
    WriteBytes(archive, MakeArchive({{1, 1, "a", {1}}, {1, 2, "b", {2}}, {1, 3, "c", {3}}}));
    WriteBytes(file, {1});
    struct Row {
        const char* label;
        std::string folder;
    };
    const Row rows[] = {{"a file in its place", file}, {"a file as its parent", file + "/sub"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const Result r = Ostr({"extract-all", archive, "-d", row.folder});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "ostr: Cannot create " + row.folder + ": Not a directory.\n");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(ReadBytes(file), Bytes{1});
}

TEST(OstrExtract, NeverWritesOverTheArchiveItReads) {
    TempDir dir;
    const Bytes bytes = MakeArchive({{1, 1, "Door", Bytes(100, 7)}, {2, 2, "bell", Bytes(9, 1)}});
    const std::string archive = dir.File("a.dat"), out = dir.File("out");
    const std::string inside = out + "/portrait-1-Door.bmp";
    WriteBytes(archive, bytes);
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    WriteBytes(inside, bytes);
    ASSERT_EQ(symlink(archive.c_str(), dir.File("link.dat").c_str()), 0);
    struct Row {
        const char* label;
        std::vector<std::string> args;
        std::string archive;
        std::string err;
        std::string out;
    };
    const std::string refused = "ostr: Cannot write ";
    const Row rows[] = {
        {"same path",
         {"extract", archive, "1:1", "-o", archive},
         archive,
         refused + archive + ": it is the archive being read.\n",
         ""},
        {"through a link",
         {"extract", archive, "1:1", "-o", dir.File("link.dat")},
         archive,
         refused + dir.File("link.dat") + ": it is the archive being read.\n",
         ""},
        {"other spelling",
         {"extract", dir.File("./a.dat"), "1:1", "-o", out + "/../a.dat"},
         archive,
         refused + out + "/../a.dat: it is the archive being read.\n",
         ""},
        {"extract-all into its folder",
         {"extract-all", inside, "-d", out},
         inside,
         "ostr: portrait:1 \"Door\": Cannot write " + inside + ": it is the archive being read.\n",
         out + "/sound-2-bell.wav\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const Result r = Ostr(row.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, row.err);
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(ReadBytes(row.archive), bytes);
    }
}

TEST(OstrList, EscapesC1ControlsInTextButNotInJson) {
    TempDir dir;
    const std::string archive = dir.File("a.dat");
    WriteBytes(archive, MakeArchive({{1, 1, "\x9B[2J\x80\x9F\xA0\x7Fz", {}}}));
    Result r = Ostr({"list", archive});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  \\x9B[2J\\x80\\x9F\xC2\xA0\\x7Fz  "), std::string::npos) << r.out;
    r = Ostr({"list", "--json", archive});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json[0]["name"], "\xC2\x9B[2J\xC2\x80\xC2\x9F\xC2\xA0\x7Fz");
    EXPECT_EQ(json[0]["nameHex"], "9b5b324a809fa07f7a20202020202020");
}
