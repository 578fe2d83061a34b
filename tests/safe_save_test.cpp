// Saving an archive and exporting an entry against real file-system
// refusals: the old file stays byte for byte, no temporary file is left, the
// message names the file and the reason, and the document stays modified.
// The permission cases need an ordinary user (root writes anywhere); the
// suite runs them again through as_unprivileged.sh when it runs as root.

#include "archive/OstrevaneDoc.h"
#include "tests/DamagedArchives.h"
#include "transfer/ExportPipeline.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class SafeSave : public testing::Test {
protected:
    void SetUp() override {
        path = dir.File("archive.dat");
        WriteBytes(path, SmallArchive());
        ASSERT_TRUE(doc.OnOpenDocument(path));
        doc.RemoveEntry(doc.m_pHead); // something to save
    }

    // Saves to target, which must fail; checks everything a failure keeps.
    void ExpectRefusedSave(const std::string& target, const std::string& reason) {
        const std::vector<std::string> before = dir.Listing();
        MessageRecorder messages;
        EXPECT_FALSE(doc.OnSaveDocument(target));
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(dir.Listing(), before); // no temporary file left
        ASSERT_EQ(messages.Messages().size(), 1u);
        EXPECT_EQ(messages.Messages()[0].text, "Cannot save \"" + target + "\":\n" + reason);
    }

    static bool Unprivileged() { return geteuid() != 0; }

    TempDir dir;
    std::string path;
    COstrevaneDoc doc;
};

TEST_F(SafeSave, ATargetThatIsAFolderIsRefused) {
    ASSERT_EQ(mkdir(dir.File("folder.dat").c_str(), 0755), 0);
    ExpectRefusedSave(dir.File("folder.dat"), "Is a directory.");
}

TEST_F(SafeSave, AMissingFolderIsRefused) {
    ExpectRefusedSave(dir.File("nowhere/archive.dat"), "No such file or directory.");
    EXPECT_EQ(ReadBytes(path), SmallArchive());
}

TEST_F(SafeSave, ALinkStaysALinkAndItsTargetTakesTheArchive) {
    ASSERT_EQ(symlink("archive.dat", dir.File("link.dat").c_str()), 0);
    ASSERT_TRUE(doc.OnSaveDocument(dir.File("link.dat")));
    struct stat st {};
    ASSERT_EQ(lstat(dir.File("link.dat").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadBytes(path).size(), 12u + 36u + 4u);
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"archive.dat", "link.dat"}));
}

TEST_F(SafeSave, ADanglingLinkGetsItsTargetCreated) {
    ASSERT_EQ(symlink("made.dat", dir.File("dangling.dat").c_str()), 0);
    ASSERT_TRUE(doc.OnSaveDocument(dir.File("dangling.dat")));
    EXPECT_EQ(ReadBytes(dir.File("made.dat")).size(), 12u + 36u + 4u);
}

TEST_F(SafeSave, AReadOnlyFileIsRefusedForOrdinaryUsers) {
    if (!Unprivileged())
        GTEST_SKIP() << "root writes read-only files";
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ExpectRefusedSave(path, "Permission denied.");
    EXPECT_EQ(ReadBytes(path), SmallArchive());
}

TEST_F(SafeSave, AReadOnlyFolderIsRefusedForOrdinaryUsers) {
    if (!Unprivileged())
        GTEST_SKIP() << "root writes into read-only folders";
    ASSERT_EQ(chmod(dir.Path().c_str(), 0555), 0);
    ExpectRefusedSave(path, "Permission denied.");
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    EXPECT_EQ(ReadBytes(path), SmallArchive());
}

TEST_F(SafeSave, ExportIntoAReadOnlyPlaceTouchesNothingForOrdinaryUsers) {
    if (!Unprivileged())
        GTEST_SKIP() << "root writes anywhere";
    CFileEntry entry; // empty content: always exportable
    entry.m_size = 0;
    entry.m_packedSize = 0;
    const std::string locked = dir.File("locked.bin");
    WriteBytes(locked, {7, 7});
    ASSERT_EQ(chmod(locked.c_str(), 0444), 0);
    MessageRecorder messages;
    EXPECT_EQ(ExportEntry(entry, locked, nullptr), ExportResult::Refused);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0555), 0);
    EXPECT_EQ(ExportEntry(entry, dir.File("new.bin"), nullptr), ExportResult::Refused);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(messages.Messages().size(), 2u);
    EXPECT_EQ(messages.Messages()[0].text, "Cannot open that file");
    EXPECT_EQ(ReadBytes(locked), (Bytes{7, 7}));
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"archive.dat", "locked.bin"}));
}

} // namespace
