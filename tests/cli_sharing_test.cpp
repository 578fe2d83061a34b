// ostr beside other programs: writers take turns on one archive, files that
// are not regular never hang it, and an archive whose directory disagrees
// with its data is reported and not rewritten unasked.

#include "tests/ArchiveBuilder.h"
#include "tests/LockHolder.h"
#include "tests/OstrRunner.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class OstrSharing : public testing::Test {
protected:
    void SetUp() override {
        alarm(100); // a hang fails here rather than at the suite's timeout
        archive = dir.File("a.dat");
        ASSERT_EQ(Ostr({"new", archive}).status, 0);
        WriteBytes(dir.File("one.bin"), {1, 2, 3});
        WriteBytes(dir.File("two.bin"), {4, 5, 6});
    }
    void TearDown() override { alarm(0); }

    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : nlohmann::json::parse(Ostr({"list", "--json", archive}).out))
            names.insert(entry["name"].get<std::string>());
        return names;
    }

    TempDir dir;
    std::string archive;
};

TEST_F(OstrSharing, FiftyPairsOfConcurrentAddsKeepBothEntries) {
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        const std::string id1 = std::to_string(2 * round + 1), id2 = std::to_string(2 * round + 2);
        const int first = StartOstr(
            {"add", archive, dir.File("one.bin"), "-t", "0", "--id", id1, "--name", "one" + id1});
        const int second = StartOstr(
            {"add", archive, dir.File("two.bin"), "-t", "0", "--id", id2, "--name", "two" + id2});
        EXPECT_EQ(WaitOstr(first), 0);
        EXPECT_EQ(WaitOstr(second), 0);
    }
    const std::set<std::string> names = Names();
    EXPECT_EQ(names.size(), 100u);
    EXPECT_TRUE(names.count("one99") && names.count("two100"));
}

TEST_F(OstrSharing, WritersWaitForTheLockAndReadersDoNot) {
    ASSERT_EQ(Ostr({"add", archive, dir.File("one.bin"), "-t", "0", "--id", "1"}).status, 0);
    struct Row {
        const char* label;
        std::vector<std::string> args;
        int status;
    };
    const std::vector<Row> rows = {
        {"add", {"add", archive, dir.File("two.bin"), "-t", "0", "--wait", "0.2"}, 1},
        {"remove", {"remove", archive, "0:1", "--wait", "0.2"}, 1},
        {"set", {"set", archive, "0:1", "--name", "x", "--wait", "0.2"}, 1},
        {"new --force", {"new", "--force", archive, "--wait", "0.2"}, 1},
        {"list reads through the lock", {"list", archive}, 0},
        {"check reads through the lock", {"check", archive}, 0},
    };
    const Bytes before = ReadBytes(archive);
    const LockHolder holder(archive, LockThen::Hold);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const Result r = Ostr(row.args);
        EXPECT_EQ(r.status, row.status) << r.err;
        const std::string inUse = "ostr: " + archive + " is in use by another program (pid " +
                                  std::to_string(holder.Pid()) + ")\n";
        EXPECT_EQ(r.err, row.status == 1 ? inUse : "");
        EXPECT_EQ(ReadBytes(archive), before);
    }
}

TEST_F(OstrSharing, FilesThatAreNotRegularAreRefusedAtOnce) {
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string refusal = "That is not a regular file";
    struct Row {
        const char* label;
        std::vector<std::string> args;
    };
    const std::vector<Row> rows = {
        {"list a FIFO", {"list", fifo}},
        {"change a FIFO", {"add", fifo, dir.File("one.bin"), "-t", "0"}},
        {"import a FIFO", {"add", archive, fifo, "-t", "0"}},
        {"import a device", {"add", archive, "/dev/zero", "-t", "0"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const Result r = Ostr(row.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find(refusal), std::string::npos) << r.err;
    }
}

TEST_F(OstrSharing, ADirectoryThatDisagreesWithItsDataIsReportedAndKept) {
    const Bytes disagreeing = ArchiveBuilder()
                                  .Packed(1, 5, "one", {1, 2, 3})
                                  .Offset(999) // its data lies at 48
                                  .Trailing({0xEE, 0xEE})
                                  .Build();
    WriteBytes(archive, disagreeing);
    const std::string refusal = "ostr: " + archive +
                                ": its directory does not match its data; saving would rewrite "
                                "it (use --force)\n";
    struct Row {
        const char* label;
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const std::vector<Row> rows = {
        {"check",
         {"check", archive},
         1,
         "ostr: Entry portrait:5 \"one\": its directory gives offset 999, but its data is at "
         "48.\nostr: 2 bytes follow the last entry's data, outside every entry.\n"},
        {"add", {"add", archive, dir.File("one.bin"), "-t", "0"}, 1, refusal},
        {"remove", {"remove", archive, "1:5"}, 1, refusal},
        {"set", {"set", archive, "1:5", "--name", "Gate", "--wait", "1"}, 1, refusal},
        {"list", {"list", archive}, 0, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const Result r = Ostr(row.args);
        EXPECT_EQ(r.status, row.status);
        EXPECT_EQ(r.err, row.err);
        EXPECT_EQ(ReadBytes(archive), disagreeing);
    }
    const Result forced = Ostr({"set", archive, "1:5", "--name", "Gate", "--force"});
    EXPECT_EQ(forced.status, 0) << forced.err;
    EXPECT_EQ(Ostr({"check", archive}).status, 0);
}

TEST_F(OstrSharing, CheckMentionsATemporaryFileLeftBesideTheArchive) {
    WriteBytes(dir.File(".a.dat.ostr-Ab12Cd"), {1});
    const Result r = Ostr({"check", archive});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "ostr: \".a.dat.ostr-Ab12Cd\" beside the archive was left by an interrupted "
                     "save; remove it once no program is saving this archive.\n");
    EXPECT_EQ(dir.Listing().front(), ".a.dat.ostr-Ab12Cd"); // mentioned, never removed
}

} // namespace
