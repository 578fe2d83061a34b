// The `ostr` tool run as a separate process on archives made here.

#include "cli/TerminalProgress.h"
#include "tests/ArchiveBuilder.h"
#include "tests/OstrRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(OstrNew, WritesAnEmptyArchiveAndRefusesToOverwrite) {
    TempDir dir;
    const std::string path = dir.File("new.dat");
    Result r = Ostr({"new", path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(path), (Bytes{'O', 's', 't', 'r', 1, 0, 0, 0, 0, 0, 0, 0}));

    WriteBytes(path, {1, 2, 3});
    r = Ostr({"new", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("already exists"), std::string::npos);
    EXPECT_EQ(ReadBytes(path), (Bytes{1, 2, 3}));

    r = Ostr({"new", "--force", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadBytes(path).size(), 12u);

    r = Ostr({"new", dir.File("missing/folder.dat")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ostr: Cannot save \"" + dir.File("missing/folder.dat") +
                         "\": No such file or directory.\n");
}

TEST(OstrList, ShowsTheSixColumnsInFileOrder) {
    TempDir dir;
    const std::string path = dir.File("hand.dat");
    WriteBytes(path, HandMadeArchive());
    const Result r = Ostr({"list", path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "ID       Name              Type          Size  Packed  File Offset\n"
              "5        Door              Portrait        20       8          192\n"
              "-2       Bell              Sound            3       4          200\n"
              "300                        Backgrounds      0       0          204\n"
              "1000000  Tab\\x09\xC3\xA9t\xC3\xA9        Unknown      12345       4          204\n"
              "0        ABCDEFGHIJKLMNOP  Unknown          0       0          208\n");
}

TEST(OstrList, JsonGivesEveryFieldPerEntry) {
    TempDir dir;
    const std::string path = dir.File("hand.dat");
    WriteBytes(path, HandMadeArchive());
    const Result r = Ostr({"list", "--json", path});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    ASSERT_EQ(json.size(), 5u);
    EXPECT_EQ(json[1]["type"], 2);
    EXPECT_EQ(json[1]["typeName"], "Sound");
    EXPECT_EQ(json[1]["id"], -2);
    EXPECT_EQ(json[1]["name"], "Bell");
    EXPECT_EQ(json[1]["nameHex"], "42656c6c006a756e6b20202020202020");
    EXPECT_EQ(json[1]["size"], 3);
    EXPECT_EQ(json[1]["packed"], 4);
    EXPECT_EQ(json[1]["offset"], 200);
    EXPECT_EQ(json[3]["name"], "Tab\t\xC3\xA9t\xC3\xA9");
    EXPECT_EQ(json[4]["typeName"], "Unknown");
}

TEST(OstrList, FailuresExitWithOneAndSayWhy) {
    TempDir dir;
    WriteBytes(dir.File("foreign.bmp"), {'B', 'M', 0, 0});
    Bytes damaged = HandMadeArchive();
    damaged.resize(100);
    WriteBytes(dir.File("damaged.dat"), damaged);
    struct Row {
        const char* label;
        std::string path;
        std::string err;
    };
    const Row rows[] = {
        {"missing", dir.File("none.dat"),
         "ostr: Cannot open \"" + dir.File("none.dat") + "\": No such file or directory.\n"},
        {"folder", dir.Path().string(),
         "ostr: Cannot open \"" + dir.Path().string() + "\": Is a directory.\n"},
        {"foreign", dir.File("foreign.bmp"), "Error: That does not look like a Ostrevane file\n"},
        {"damaged", dir.File("damaged.dat"),
         "Error: That Ostrevane file is damaged: Its directory of 5 entries does not fit in the "
         "file.\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const Result r = Ostr({"list", row.path});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, row.err);
        EXPECT_EQ(r.out, "");
    }
}

TEST(Ostr, UsageErrorsExitWithTwoAndHelpAndVersionWithZero) {
    EXPECT_EQ(Ostr({}).status, 2);
    EXPECT_EQ(Ostr({"frobnicate"}).status, 2);
    EXPECT_EQ(Ostr({"list"}).status, 2);
    EXPECT_EQ(Ostr({"list", "a", "b"}).status, 2);
    for (const char* verb : {"new", "list"}) {
        SCOPED_TRACE(verb);
        const Result r = Ostr({verb, "--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("ARCHIVE"), std::string::npos);
    }
    const Result help = Ostr({"--help"});
    EXPECT_NE(help.out.find("Exit status: 0 when it went well, 1 when it failed"),
              std::string::npos);
    const Result version = Ostr({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("ostr ", 0), 0u) << version.out;
}

namespace {

// An archive made with ostr itself: portrait 1 "Door" (a pattern), sound 1
// "bell" (a wave), portrait 2 "Gate".
class OstrArchive : public testing::Test {
protected:
    void SetUp() override {
        archive = dir.File("a.dat");
        picture = Bytes(5000);
        for (std::size_t i = 0; i < picture.size(); ++i)
            picture[i] = static_cast<std::uint8_t>(i % 13 * 19 + i / 300);
        WriteBytes(dir.File("Door.bmp"), picture);
        WriteBytes(dir.File("bell.wav"), MakeWave(3000));
        ASSERT_EQ(Ostr({"new", archive}).status, 0);
        ASSERT_EQ(Ostr({"add", archive, dir.File("Door.bmp"), "--type", "portrait"}).status, 0);
        ASSERT_EQ(Ostr({"add", archive, dir.File("bell.wav"), "-t", "sound"}).status, 0);
        ASSERT_EQ(Ostr({"add", archive, dir.File("Door.bmp"), "-t", "1", "--name", "Gate"}).status,
                  0);
        before = ReadBytes(archive);
    }
    nlohmann::json List() { return nlohmann::json::parse(Ostr({"list", "--json", archive}).out); }
    ino_t Inode() {
        struct stat st {};
        stat(archive.c_str(), &st);
        return st.st_ino;
    }

    TempDir dir;
    std::string archive;
    Bytes picture;
    Bytes before;
};

} // namespace

TEST_F(OstrArchive, AddProposesIdAndNameAndExtractGivesTheFileBack) {
    const auto json = List();
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(json[0]["id"], 1); // sound 1 was added after portrait 1: it stands first
    EXPECT_EQ(json[0]["name"], "bell");
    EXPECT_EQ(json[1]["name"], "Door");
    EXPECT_EQ(json[2]["id"], 2);
    EXPECT_EQ(json[2]["name"], "Gate");
    EXPECT_EQ(Ostr({"extract", archive, "portrait:1", "-o", dir.File("out.bmp")}).status, 0);
    EXPECT_EQ(ReadBytes(dir.File("out.bmp")), picture);
    EXPECT_EQ(Ostr({"extract", archive, "2:1", "-o", dir.File("out.wav")}).status, 0);
    EXPECT_EQ(ReadBytes(dir.File("out.wav")), MakeWave(3000));
    const Result r = Ostr({"check", archive});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "3 entries, none damaged\n");
}

TEST_F(OstrArchive, ClashesNeedReplace) {
    Result r = Ostr({"add", archive, dir.File("bell.wav"), "-t", "portrait", "--id", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.err.find("Are you sure: That ID is being used already: Do you want us to replace it?"),
        std::string::npos);
    EXPECT_EQ(ReadBytes(archive), before);
    r = Ostr({"add", archive, dir.File("bell.wav"), "-t", "portrait", "--id", "2", "--replace"});
    EXPECT_EQ(r.status, 0) << r.err;
    const auto json = List();
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(json[2]["name"], "bell");
    EXPECT_EQ(json[2]["size"], 3044);
}

TEST_F(OstrArchive, RefusedChangesLeaveTheFileAsItWas) {
    struct Row {
        const char* label;
        std::vector<std::string> args;
        int status;
        std::string err; // part of stderr
    };
    WriteBytes(dir.File("seventeen-chars-x.bmp"), {1});
    const Row rows[] = {
        {"bitmap as sound",
         {"add", archive, dir.File("Door.bmp"), "-t", "sound"},
         1,
         "error: That does not look like a Wave File\n"},
        {"missing file",
         {"add", archive, dir.File("none"), "-t", "0"},
         1,
         "error: Cannot open that file\n"},
        {"long proposed name",
         {"add", archive, dir.File("seventeen-chars-x.bmp"), "-t", "0"},
         1,
         "--name"},
        {"long given name",
         {"add", archive, dir.File("Door.bmp"), "-t", "0", "--name", "12345678901234567"},
         2,
         "at most 16"},
        {"bad type", {"add", archive, dir.File("Door.bmp"), "-t", "4"}, 2, "TYPE"},
        {"negative id", {"add", archive, dir.File("Door.bmp"), "-t", "0", "--id", "-1"}, 2, "ID"},
        {"remove missing", {"remove", archive, "sound:9"}, 1, "There is no entry sound:9"},
        {"set onto another",
         {"set", archive, "portrait:2", "--id", "1"},
         1,
         "Warning--Duplicate entry"},
        {"bad address", {"set", archive, "portrait", "--id", "1"}, 2, "TYPE:ID"},
        {"the ID that means none",
         {"set", archive, "portrait:1", "--id", "4294967295"},
         1,
         "cannot be set"},
        {"nothing to change", {"set", archive, "portrait:1"}, 2, "Nothing to change"},
        {"negative wait", {"remove", archive, "portrait:1", "--wait", "-1"}, 2, "SECONDS"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const Result r = Ostr(row.args);
        EXPECT_EQ(r.status, row.status);
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        EXPECT_EQ(ReadBytes(archive), before);
    }
}

TEST_F(OstrArchive, SetAndRemoveChangeOnlyWhatTheySay) {
    const ino_t inode = Inode();
    EXPECT_EQ(Ostr({"set", archive, "portrait:1", "--name", "Door"}).status, 0);
    EXPECT_EQ(Inode(), inode); // nothing changed, nothing saved

    EXPECT_EQ(Ostr({"set", archive, "portrait:1", "--name", "Porte d'\xC3\xA9t\xC3\xA9"}).status,
              0);
    EXPECT_EQ(List()[1]["nameHex"], "506f727465206427e974e92020202020");
    const Result r = Ostr({"set", archive, "portrait:2", "--id", "1", "--replace"});
    EXPECT_EQ(r.status, 0) << r.err;
    auto json = List();
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[1]["name"], "Gate");
    EXPECT_EQ(json[1]["id"], 1);
    EXPECT_EQ(Ostr({"set", archive, "sound:1", "--type", "backgrounds", "--id", "7"}).status, 0);
    EXPECT_EQ(Ostr({"remove", archive, "portrait:1"}).status, 0);
    json = List();
    ASSERT_EQ(json.size(), 1u);
    EXPECT_EQ(json[0]["typeName"], "Backgrounds");
    EXPECT_EQ(json[0]["offset"], 48);
}

TEST_F(OstrArchive, ExtractAllNamesFilesSafelyAndStaysInItsFolder) {
    ASSERT_EQ(
        Ostr({"add", archive, dir.File("Door.bmp"), "-t", "0", "--name", "../../x/.."}).status, 0);
    ASSERT_EQ(Ostr({"add", archive, dir.File("Door.bmp"), "-t", "0", "--id", "1", "--name",
                    "../../x/..", "--replace"})
                  .status,
              0);
    ASSERT_EQ(
        Ostr({"add", archive, dir.File("Door.bmp"), "-t", "0", "--id", "9", "--name", ""}).status,
        0);
    const std::string out = dir.File("out");
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    ASSERT_EQ(symlink(dir.File("victim").c_str(), (out + "/portrait-1-Door.bmp").c_str()), 0);
    const Result r = Ostr({"extract-all", archive, "-d", out});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(out))
        names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"overlay-1-______x___.bmp", "overlay-9.bmp",
                                               "portrait-1-Door.bmp", "portrait-2-Gate.bmp",
                                               "sound-1-bell.wav"}));
    EXPECT_FALSE(std::filesystem::exists(dir.File("victim")));
    EXPECT_EQ(ReadBytes(out + "/portrait-1-Door.bmp"), picture);
}

TEST(OstrCheck, ReportsEachDamagedEntry) {
    TempDir dir;
    WriteBytes(dir.File("d.dat"), ArchiveBuilder()
                                      .Record(1, 5, 4, 1, 84, "ok", {0x41, 0, 0, 0})
                                      .Record(2, 6, 4, 50, 88, "bad", {0xFF, 0xFF, 0xFF, 0xFF})
                                      .Build());
    const Result r = Ostr({"check", dir.File("d.dat")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ostr: Entry sound:6 \"bad\": its data is damaged.\n");
    EXPECT_EQ(r.out, "1 of 2 entries damaged\n");

    // Many entries, every third damaged: each number of jobs reports the
    // same entries in the same order.
    ArchiveBuilder many;
    for (int i = 0; i < 60; ++i) {
        if (i % 3 == 0)
            many.Entry(1, i, "bad", {0xFF, 0xFF, 0xFF, 0xFF}, 50);
        else
            many.Packed(1, i, "ok", Bytes(static_cast<std::size_t>(1000 * i), 'x'));
    }
    WriteBytes(dir.File("many.dat"), many.Build());
    const Result one = Ostr({"check", dir.File("many.dat"), "--jobs", "1"});
    EXPECT_EQ(one.out, "20 of 60 entries damaged\n");
    for (const char* jobs : {"2", "5", "256"}) {
        const Result some = Ostr({"check", dir.File("many.dat"), "-j", jobs});
        EXPECT_EQ(some.err, one.err) << jobs;
        EXPECT_EQ(some.out, one.out) << jobs;
    }
    EXPECT_EQ(Ostr({"check", dir.File("many.dat"), "--jobs", "0"}).status, 2);
}

TEST(OstrSave, AReadOnlyArchiveOrFolderIsRefusedForOrdinaryUsers) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes read-only files and folders";
    TempDir dir;
    const std::string archive = dir.File("locked.dat");
    WriteBytes(archive, HandMadeArchive());
    WriteBytes(dir.File("new.bin"), {1, 2, 3});
    ASSERT_EQ(chmod(archive.c_str(), 0444), 0);
    Result r = Ostr({"add", archive, dir.File("new.bin"), "-t", "portrait"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Cannot save \"" + archive + "\": Permission denied."), std::string::npos)
        << r.err;
    ASSERT_EQ(chmod(archive.c_str(), 0644), 0);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0555), 0);
    r = Ostr({"remove", archive, "1:5"});
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadBytes(archive), HandMadeArchive());
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"locked.dat", "new.bin"}));
}

// The progress line: nothing for half a second or when not wanted, then one
// line redrawn in place at most ten times a second, erased by a message and
// at the end.
TEST(OstrProgress, ShowsLateRedrawsSeldomAndErasesItself) {
    const struct {
        bool bShow;
        std::vector<double> times; // of each Advance, in seconds from the start
        int lines;                 // drawn
    } rows[] = {
        {true, {0.1, 0.2, 0.4}, 0},
        {true, {0.1, 0.6, 0.65, 0.69, 0.71, 0.9}, 3},
        {false, {0.6, 0.9, 1.5}, 0},
    };
    for (const auto& row : rows) {
        std::string written;
        double now = 0;
        {
            CTerminalProgress progress(
                "check", row.times.size(), row.bShow,
                [&](const std::string& text) { written += text; }, [&] { return now; });
            for (const double t : row.times) {
                now = t;
                progress.Advance(1000000);
            }
        }
        int lines = 0;
        for (std::size_t at = 0; (at = written.find("check: ", at)) != std::string::npos; ++at)
            ++lines;
        EXPECT_EQ(lines, row.lines) << written;
        if (lines > 0) {
            EXPECT_NE(written.find("\r\033[Kcheck: 2 of 6 entries, 3.3 MB/s"), std::string::npos)
                << written;
            EXPECT_EQ(written.substr(written.size() - 4), "\r\033[K"); // erased at the end
        } else {
            EXPECT_EQ(written, "");
        }
    }
}
