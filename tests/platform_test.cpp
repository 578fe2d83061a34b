// The platform's file access, message boxes and number texts.

#include "platform/File.h"
#include "platform/LargeMemory.h"
#include "platform/MemFile.h"
#include "platform/MessageBox.h"
#include "platform/NumberText.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool ReplaceWith(const std::string& path, const Bytes& bytes, CFile& file) {
    return file.OpenForReplace(path) && file.Write(bytes.data(), bytes.size()) && file.Commit();
}

} // namespace

TEST(File, ReplaceWritesThroughSymbolicLinks) {
    TempDir dir;
    const std::string target = dir.File("real.dat");
    const std::string link = dir.File("link.dat");
    WriteBytes(target, {1, 2, 3});
    ASSERT_EQ(symlink("real.dat", link.c_str()), 0);
    CFile file;
    ASSERT_TRUE(ReplaceWith(link, {9, 8}, file));
    struct stat st {};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadBytes(target), (Bytes{9, 8}));
    EXPECT_EQ(file.GetTargetPath(), dir.Path().string() + "/real.dat");
}

TEST(File, ReplaceThroughADanglingLinkCreatesItsTarget) {
    TempDir dir;
    const std::string link = dir.File("link.dat");
    ASSERT_EQ(symlink("missing.dat", link.c_str()), 0);
    CFile file;
    ASSERT_TRUE(ReplaceWith(link, {7}, file));
    EXPECT_EQ(ReadBytes(dir.File("missing.dat")), Bytes{7});
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"link.dat", "missing.dat"}));
}

TEST(File, ReplaceKeepsTheFilesPermissions) {
    TempDir dir;
    const std::string path = dir.File("a.dat");
    WriteBytes(path, {1});
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    CFile file;
    ASSERT_TRUE(ReplaceWith(path, {2}, file));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(File, ReplaceRefusesTargetsItMustNotTouch) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0755), 0);
    struct Row {
        const char* label;
        std::string path;
        int error;
    };
    const Row rows[] = {
        {"a folder", dir.File("folder"), EISDIR},
        {"a missing folder", dir.File("nowhere/a.dat"), ENOENT},
        {"a device", "/dev/null", FILE_ERROR_NOT_REGULAR},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        CFile file;
        EXPECT_FALSE(file.OpenForReplace(row.path));
        EXPECT_EQ(file.GetError(), row.error);
        EXPECT_FALSE(file.GetErrorText().empty());
    }
    EXPECT_EQ(dir.Listing(), std::vector<std::string>{"folder"});
}

TEST(File, ReadOnlyTargetsAreRefusedForOrdinaryUsers) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes read-only files and folders";
    TempDir dir;
    const std::string path = dir.File("locked.dat");
    WriteBytes(path, {1, 2});
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    CFile file;
    EXPECT_FALSE(ReplaceWith(path, {3}, file));
    EXPECT_EQ(file.GetError(), EACCES);
    EXPECT_EQ(ReadBytes(path), (Bytes{1, 2}));
}

TEST(File, AbandonedReplaceRemovesItsTemporaryFile) {
    TempDir dir;
    const std::string path = dir.File("a.dat");
    WriteBytes(path, {5});
    {
        CFile file;
        ASSERT_TRUE(file.OpenForReplace(path));
        ASSERT_TRUE(file.Write("xyz", 3));
        EXPECT_EQ(dir.Listing().size(), 2u);
    }
    EXPECT_EQ(dir.Listing(), std::vector<std::string>{"a.dat"});
    EXPECT_EQ(ReadBytes(path), Bytes{5});
}

TEST(File, LargeAndSmallReadsGiveTheFileInOrder) {
    TempDir dir;
    Bytes bytes(700000);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    WriteBytes(dir.File("big"), bytes);
    CFile file;
    ASSERT_TRUE(file.OpenForRead(dir.File("big")));
    EXPECT_EQ(file.GetLength(), bytes.size());
    Bytes back(bytes.size() + 10);
    std::size_t done = file.Read(back.data(), 3);
    done += file.Read(back.data() + done, 400000); // past the buffer: read directly
    done += file.Read(back.data() + done, 5);
    done += file.Read(back.data() + done, back.size() - done);
    EXPECT_EQ(done, bytes.size());
    back.resize(done);
    EXPECT_EQ(back, bytes);
    EXPECT_FALSE(file.HasFailed());
}

TEST(File, OpenForReadRefusesFolders) {
    TempDir dir;
    CFile file;
    EXPECT_FALSE(file.OpenForRead(dir.Path().string()));
    EXPECT_EQ(file.GetError(), EISDIR);
    CFile missing;
    EXPECT_FALSE(missing.OpenForRead(dir.File("none")));
    EXPECT_EQ(missing.GetErrorText(), "No such file or directory.");
}

TEST(MessageBox, DefaultAnswersAndHandlerReplacement) {
    const MessageBoxHandler previous = SetMessageBoxHandler({});
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBox(nullptr, "Cannot open that file", "error"), IDOK);
    EXPECT_EQ(MessageBox(nullptr, "Replace?", "Are you sure", MB_YESNO | MB_TASKMODAL), IDNO);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "error: Cannot open that file\nAre you sure: Replace?\n");
    {
        MessageRecorder recorder;
        recorder.Answer(IDYES);
        int owner = 0;
        EXPECT_EQ(MessageBox(&owner, "q", "c", 8196), IDYES);
        ASSERT_EQ(recorder.Messages().size(), 1u);
        EXPECT_EQ(recorder.Messages()[0].pOwner, &owner);
        EXPECT_EQ(recorder.Messages()[0].style, 8196u);
    }
    SetMessageBoxHandler(previous);
}

// One rule for IDs typed into the dialogs and given to ostr.
TEST(NumberText, UnsignedThirtyTwoBitNumbers) {
    struct Row {
        const char* label;
        std::string text;
        std::optional<std::uint32_t> value;
    };
    const Row rows[] = {
        {"zero", "0", 0u},
        {"largest", "4294967295", 4294967295u},
        {"one past the largest", "4294967296", std::nullopt},
        {"far past", "99999999999999999999", std::nullopt},
        {"leading zeros", "00000000000000000012", 12u},
        {"spaces around", " 4294967295 ", 4294967295u},
        {"tab and line break around", "\t7\r\n", 7u},
        {"empty", "", std::nullopt},
        {"only spaces", "   ", std::nullopt},
        {"minus", "-1", std::nullopt},
        {"plus", "+1", std::nullopt},
        {"letters after", "12ab", std::nullopt},
        {"space inside", "1 2", std::nullopt},
        {"hexadecimal", "0x10", std::nullopt},
        {"fraction", "1.5", std::nullopt},
        {"no-break space before", "\u00A05", std::nullopt},
        {"Arabic-Indic digit", "\u0661", std::nullopt},
        {"zero byte", std::string("1\0", 2), std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(ParseUnsigned32(row.text), row.value);
    }
}

// A table that grows from a few bytes through the size where it is mapped on
// its own and on to larger mappings keeps what it held and reads zero beyond.
TEST(LargeMemory, ResizeZeroedKeepsTheContentsAndZeroesTheRest) {
    const std::size_t sizes[] = {16,
                                 4096,
                                 (std::size_t{2} << 20) - 8,
                                 (std::size_t{2} << 20) + 8,
                                 (std::size_t{3} << 20),
                                 (std::size_t{9} << 20)};
    std::size_t size = 0;
    auto* block = static_cast<std::uint8_t*>(ResizeZeroed(nullptr, 0, sizes[0]));
    ASSERT_NE(block, nullptr);
    size = sizes[0];
    for (std::size_t i = 0; i < size; ++i)
        block[i] = static_cast<std::uint8_t>(i * 7 + 1);
    for (std::size_t next : sizes) {
        if (next == size)
            continue;
        block = static_cast<std::uint8_t*>(ResizeZeroed(block, size, next));
        ASSERT_NE(block, nullptr);
        for (std::size_t i = 0; i < size; ++i)
            ASSERT_EQ(block[i], static_cast<std::uint8_t>(i * 7 + 1))
                << "at " << i << " of " << next;
        for (std::size_t i = size; i < next; ++i)
            ASSERT_EQ(block[i], 0) << "at " << i << " of " << next;
        for (std::size_t i = size; i < next; ++i)
            block[i] = static_cast<std::uint8_t>(i * 7 + 1);
        size = next;
    }
    FreeZeroed(block, size);
}
