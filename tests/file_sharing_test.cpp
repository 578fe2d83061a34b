// Files shared with other programs: the archive lock against real second
// processes, files that are not regular, saves cut short by a signal, links
// in shared folders and the owner of a replaced file.

#include "platform/ArchiveLock.h"
#include "platform/File.h"
#include "platform/TempFiles.h"
#include "tests/LockHolder.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Status = CArchiveLock::Status;

TEST(ArchiveLock, WritersTakeTurnsWithARealSecondProcess) {
    struct Row {
        const char* label;
        LockThen then;
        double wait;
        Status expected;
        Bytes lockedContent; // for Locked: what the file locked holds
    };
    const Row rows[] = {
        {"held for the whole wait", LockThen::Hold, 0.2, Status::Busy, {}},
        {"let go during the wait", LockThen::Release, 10, Status::Locked, {'o', 'l', 'd'}},
        {"replaced, then let go: the new file is locked",
         LockThen::Replace,
         10,
         Status::Locked,
         {'n', 'e', 'w'}},
        {"removed, then let go", LockThen::Remove, 10, Status::NoFile, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir dir;
        const std::string path = dir.File("a.dat");
        WriteBytes(path, {'o', 'l', 'd'});
        LockHolder holder(path, row.then);
        CArchiveLock lock;
        EXPECT_EQ(lock.Acquire(path, row.wait), row.expected);
        if (row.expected == Status::Busy) {
            EXPECT_EQ(lock.GetHolderPid(), holder.Pid());
        }
        if (row.expected == Status::Locked) {
            EXPECT_EQ(ReadBytes(path), row.lockedContent);
            EXPECT_TRUE(lock.GetIdentity().IsSameFile(IdentityOfPath(path)));
        }
    }
}

// Makes each kind of file that is not regular; none may block an open.
class SpecialFiles : public testing::Test {
protected:
    void SetUp() override {
        alarm(20); // a hang fails here rather than at the suite's timeout
        ASSERT_EQ(mkfifo(dir.File("fifo").c_str(), 0600), 0);
        socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string socketPath = dir.File("socket");
        ASSERT_LT(socketPath.size(), sizeof address.sun_path);
        socketPath.copy(address.sun_path, socketPath.size());
        ASSERT_EQ(bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0700), 0);
    }
    void TearDown() override {
        close(socketFd);
        alarm(0);
    }

    TempDir dir;
    int socketFd = -1;
};

TEST_F(SpecialFiles, AreRefusedBeforeAnythingBlocks) {
    struct Row {
        const char* label;
        std::string path;
        int error;
        Status lock;
    };
    const Row rows[] = {
        {"a FIFO", dir.File("fifo"), FILE_ERROR_NOT_REGULAR, Status::NotRegular},
        {"a socket", dir.File("socket"), FILE_ERROR_NOT_REGULAR, Status::NotRegular},
        {"a device", "/dev/zero", FILE_ERROR_NOT_REGULAR, Status::NotRegular},
        {"a folder", dir.File("folder"), EISDIR, Status::NotRegular},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        CFile reader;
        EXPECT_FALSE(reader.OpenForRead(row.path));
        EXPECT_EQ(reader.GetError(), row.error);
        CFile writer;
        EXPECT_FALSE(writer.OpenForReplace(row.path));
        EXPECT_EQ(writer.GetError(), row.error);
        CArchiveLock lock;
        EXPECT_EQ(lock.Acquire(row.path, 0), row.lock);
    }
    CFile fifo;
    fifo.OpenForRead(dir.File("fifo"));
    EXPECT_EQ(fifo.GetErrorText(), "That is not a regular file.");
}

TEST(TempFiles, ASignalDuringASaveRemovesItsTemporaryFile) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        const std::string path = dir.File("a.dat");
        WriteBytes(path, {1, 2, 3});
        const pid_t pid = fork();
        if (pid == 0) {
            RemoveTempFilesOnSignals();
            CFile file;
            const bool bOpen = file.OpenForReplace(path) && file.Write("new", 3);
            if (bOpen && dir.Listing().size() == 2 && IsTempFileFor(dir.Listing()[0], "a.dat"))
                kill(getpid(), signal);
            _exit(1); // the temporary file was not there to remove
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal);
        EXPECT_EQ(dir.Listing(), std::vector<std::string>{"a.dat"});
        EXPECT_EQ(ReadBytes(path), (Bytes{1, 2, 3}));
    }
}

// Root can make a link and a file belong to someone else; an ordinary user
// cannot, so these cases run only as root.
TEST(File, LinksInSharedFoldersAndOwnersFollowTheKernelsRulesAsRoot) {
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can give a link or a file to another user";
    constexpr uid_t OTHER_USER = 65534;
    TempDir dir;
    const std::string shared = dir.File("shared");
    ASSERT_EQ(mkdir(shared.c_str(), 01777), 0);
    ASSERT_EQ(chmod(shared.c_str(), 01777), 0);
    const std::string target = dir.File("target.dat"), link = shared + "/link.dat";
    WriteBytes(target, {1});
    ASSERT_EQ(chown(target.c_str(), OTHER_USER, OTHER_USER), 0);
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    struct Row {
        const char* label;
        uid_t linkOwner;
        int error;
    };
    for (const Row& row : {Row{"a stranger's link", OTHER_USER, FILE_ERROR_LINK_REFUSED},
                           Row{"the caller's link", 0, 0}}) {
        SCOPED_TRACE(row.label);
        ASSERT_EQ(lchown(link.c_str(), row.linkOwner, row.linkOwner), 0);
        CFile file;
        EXPECT_EQ(file.OpenForReplace(link) && file.Write("x", 1) && file.Commit(), row.error == 0);
        EXPECT_EQ(file.GetError(), row.error);
    }
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(ReadBytes(target), Bytes{'x'});
    EXPECT_EQ(st.st_uid, OTHER_USER); // root's save keeps the file's owner and group
    EXPECT_EQ(st.st_gid, OTHER_USER);
}

} // namespace
