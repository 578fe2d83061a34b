// ostr on every damaged, foreign and odd archive: a clear message and exit
// status 1 for what cannot be read, and the file left as it was whatever the
// verb.

#include "platform/MessageBox.h"
#include "tests/DamagedArchives.h"
#include "tests/OstrRunner.h"

#include <gtest/gtest.h>

namespace {

class OstrDamaged : public testing::TestWithParam<ArchiveRow> {};

TEST_P(OstrDamaged, ReadingVerbsSayWhyAndChangingVerbsChangeNothing) {
    const ArchiveRow& row = GetParam();
    TempDir dir;
    const std::string path = WriteRowArchive(dir, row);
    WriteBytes(dir.File("new.bin"), {1, 2, 3});

    const Result list = Ostr({"list", path});
    if (row.message.empty()) {
        EXPECT_EQ(list.status, 0) << list.err;
    } else {
        EXPECT_EQ(list.status, 1);
        EXPECT_EQ(list.err, "Error: " + OneLine(row.message) + "\n");
    }
    // The entries here hold filler, not packed data: check finds damage in
    // every archive that has entries.
    const Result check = Ostr({"check", path, "--jobs", "1"});
    EXPECT_EQ(check.status, row.message.empty() && row.entries == 0 ? 0 : 1) << check.out;
    const Result parallel = Ostr({"check", path, "--jobs", "3"});
    EXPECT_EQ(parallel.status, check.status);
    EXPECT_EQ(parallel.out, check.out);
    EXPECT_EQ(parallel.err, check.err);

    if (!row.message.empty()) {
        EXPECT_EQ(Ostr({"add", path, dir.File("new.bin"), "--type", "portrait"}).status, 1);
        EXPECT_EQ(Ostr({"remove", path, "1:5"}).status, 1);
        EXPECT_EQ(Ostr({"set", path, "1:5", "--name", "x"}).status, 1);
    }
    EXPECT_EQ(ReadBytes(path), row.bytes);
    const Result extract = Ostr({"extract-all", path, "-d", dir.File("out")});
    EXPECT_EQ(extract.status, row.message.empty() && row.entries == 0 ? 0 : 1);
    EXPECT_EQ(ReadBytes(path), row.bytes);
}

INSTANTIATE_TEST_SUITE_P(Rows, OstrDamaged, testing::ValuesIn(ArchiveRows()),
                         [](const auto& info) { return RowTestName(info.param.name); });

} // namespace
