#include "platform/ArchiveLock.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// flock records who took a lock, and the kernel lists it in /proc/locks as
// "N: FLOCK ADVISORY WRITE PID MAJOR:MINOR:INODE START END" (device numbers
// in hexadecimal). Returns 0 when no such line names the file.
long FlockHolder(const FileIdentity& file) {
    std::FILE* locks = std::fopen("/proc/locks", "re");
    if (locks == nullptr)
        return 0;
    const auto device = static_cast<dev_t>(file.device);
    char line[256];
    long holder = 0;
    while (holder == 0 && std::fgets(line, sizeof line, locks)) {
        char kind[16];
        long pid = 0;
        unsigned major = 0, minor = 0;
        std::uint64_t inode = 0;
        if (std::sscanf(line, "%*d: %15s %*s %*s %ld %x:%x:%" SCNu64, kind, &pid, &major, &minor,
                        &inode) == 5 &&
            std::string(kind) == "FLOCK" && major == major(device) && minor == minor(device) &&
            inode == file.inode)
            holder = pid;
    }
    std::fclose(locks);
    return holder > 0 ? holder : 0;
}

// Whether path names the file locked, looked at under a shared lock of its
// folder, so never in the middle of another save's hand-over.
bool StillNamedBy(const std::string& path, const FileIdentity& locked) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr)
        return false;
    std::string folder(resolved);
    folder.resize(std::max<std::size_t>(folder.find_last_of('/'), 1));
    const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0)
        flock(folderFd, LOCK_SH);
    const bool bSame = IdentityOfPath(resolved).IsSameFile(locked);
    if (folderFd >= 0)
        close(folderFd);
    return bSame;
}

} // namespace

CArchiveLock::Status CArchiveLock::TryOnce(const std::string& path, bool& bRetry) {
    bRetry = false;
    if (m_fd < 0) {
        m_fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return errno == ENOENT  ? Status::NoFile
                   : errno == ENXIO ? Status::NotRegular // a socket
                                    : Status::Failed;
        struct stat st {};
        if (fstat(m_fd, &st) != 0) {
            Release();
            return Status::Failed;
        }
        if (!S_ISREG(st.st_mode)) {
            Release();
            return Status::NotRegular;
        }
        m_identity = IdentityOf(st);
    }
    if (flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        bRetry = errno == EWOULDBLOCK || errno == EINTR;
        return bRetry ? Status::Busy : Status::Failed;
    }
    // A writer that held the lock before us may have renamed its new
    // version over the file we locked: then lock that one instead.
    if (!StillNamedBy(path, m_identity)) {
        Release();
        bRetry = true;
        return Status::Busy;
    }
    return Status::Locked;
}

CArchiveLock::Status CArchiveLock::Acquire(const std::string& path, double waitSeconds) {
    Release();
    m_identity = {};
    m_nHolderPid = 0;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(waitSeconds));
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        bool bRetry = false;
        const Status status = TryOnce(path, bRetry);
        if (!bRetry)
            return status;
        if (Clock::now() >= deadline) {
            m_nHolderPid = m_fd >= 0 ? FlockHolder(m_identity) : 0;
            Release();
            return Status::Busy;
        }
        // Short pauses first: most saves take milliseconds.
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(25));
    }
}

bool CArchiveLock::HandOverForRename(int folderFd) {
    if (m_fd < 0 || folderFd < 0 || flock(folderFd, LOCK_EX) != 0)
        return false;
    Release();
    return true;
}

void CArchiveLock::Release() {
    if (m_fd >= 0)
        close(m_fd); // closing the only descriptor of the lock releases it
    m_fd = -1;
}

std::string InUseMessage(const std::string& path, long holderPid) {
    std::string message = path + " is in use by another program";
    if (holderPid > 0)
        message += " (pid " + std::to_string(holderPid) + ")";
    return message;
}
