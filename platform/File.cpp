#include "platform/File.h"

#include "platform/ArchiveLock.h"
#include "platform/FileFaults.h"
#include "platform/TempFiles.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr std::size_t BUFFER_SIZE = 256 * 1024;
constexpr int MAX_LINK_HOPS = 40;

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Anyone may plant a link in a sticky folder that everyone can write to
// (like /tmp); as the kernel's protected_symlinks rule has it, such a link is
// followed only when it belongs to the caller or to the folder's owner.
bool MayFollowLink(const std::string& link, const struct stat& linkStat) {
    struct stat folder {};
    if (stat(DirectoryOf(link).c_str(), &folder) != 0)
        return false;
    const bool bShared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return !bShared || linkStat.st_uid == geteuid() || linkStat.st_uid == folder.st_uid;
}

// Follows symbolic links so that a replace writes the file a link names and
// the link itself stays a link. A dangling link resolves to the missing file.
// Returns 0, an errno value or FILE_ERROR_LINK_REFUSED.
int ResolveLinks(const std::string& path, std::string& resolved) {
    resolved = path;
    for (int hop = 0; hop < MAX_LINK_HOPS; ++hop) {
        struct stat st {};
        if (lstat(resolved.c_str(), &st) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode))
            return 0;
        if (!MayFollowLink(resolved, st))
            return FILE_ERROR_LINK_REFUSED;
        std::string target(static_cast<std::size_t>(PATH_MAX), '\0');
        const ssize_t n = readlink(resolved.c_str(), target.data(), target.size());
        if (n < 0)
            return errno;
        target.resize(static_cast<std::size_t>(n));
        resolved = target.front() == '/' ? target : DirectoryOf(resolved) + "/" + target;
    }
    return ELOOP;
}

int NotRegularError(const struct stat& st) {
    return S_ISDIR(st.st_mode) ? EISDIR : FILE_ERROR_NOT_REGULAR;
}

mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

CFile::~CFile() {
    if (m_mode == Mode::Replacing)
        Abort();
    CloseDescriptor();
}

void CFile::CloseDescriptor() {
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

void CFile::SetError(int nError) {
    if (m_nError == 0)
        m_nError = nError != 0 ? nError : EIO;
}

std::string CFile::GetErrorText() const {
    switch (m_nError) {
    case FILE_ERROR_NOT_REGULAR:
        return "That is not a regular file.";
    case FILE_ERROR_LINK_REFUSED:
        return "That file is a link we will not follow.";
    default:
        return std::string(std::strerror(m_nError)) + ".";
    }
}

bool CFile::OpenForRead(const std::string& path) {
    m_strPath = path;
    m_strTarget = path;
    // Without O_NONBLOCK, opening a FIFO waits for a writer, forever.
    m_fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        SetError(errno == ENXIO ? FILE_ERROR_NOT_REGULAR : errno);
        return false;
    }
    struct stat st {};
    if (fstat(m_fd, &st) != 0) {
        SetError(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        SetError(NotRegularError(st));
        return false;
    }
    fcntl(m_fd, F_SETFL, fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    m_nLength = static_cast<std::uint64_t>(st.st_size);
    m_identity = IdentityOf(st);
    m_mode = Mode::Reading;
    return true;
}

bool CFile::PrepareTarget(bool bFollowLinks) {
    const int linkError = bFollowLinks ? ResolveLinks(m_strPath, m_strTarget) : 0;
    if (!bFollowLinks)
        m_strTarget = m_strPath;
    if (linkError != 0) {
        SetError(linkError);
        return false;
    }
    m_nMode = static_cast<int>(NewFileMode());
    struct stat st {};
    if (lstat(m_strTarget.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return true;
        SetError(errno);
        return false;
    }
    if (S_ISLNK(st.st_mode)) // only when not following: the link goes
        return true;
    if (!S_ISREG(st.st_mode)) {
        SetError(NotRegularError(st));
        return false;
    }
    // A rename would replace a read-only file whenever its folder is
    // writable; the user asked for that file to be left alone.
    if (access(m_strTarget.c_str(), W_OK) != 0) {
        SetError(errno);
        return false;
    }
    m_nMode = static_cast<int>(st.st_mode & 07777);
    m_bHasOwner = true;
    m_nOwner = st.st_uid;
    m_nGroup = st.st_gid;
    return true;
}

// The new file is made by the caller; root keeps the replaced file's owner
// and group (or the save fails: a user's archive must not become root's), an
// ordinary user at least its group when a member of it. The owner goes
// first, since changing it clears set-user-ID bits.
bool CFile::TakeOverOwnerAndMode() {
    const bool bSameOwner = m_nOwner == geteuid() && m_nGroup == getegid();
    if (m_bHasOwner && geteuid() == 0 && !bSameOwner) {
        if (fchown(m_fd, m_nOwner, m_nGroup) != 0) {
            SetError(errno);
            return false;
        }
    } else if (m_bHasOwner && m_nGroup != getegid()) {
        (void)fchown(m_fd, static_cast<uid_t>(-1), m_nGroup);
    }
    if (fchmod(m_fd, static_cast<mode_t>(m_nMode)) != 0) {
        SetError(errno);
        return false;
    }
    return true;
}

bool CFile::OpenForReplace(const std::string& path, bool bFollowLinks) {
    m_strPath = path;
    if (!PrepareTarget(bFollowLinks))
        return false;
    std::string pattern = TempFilePattern(m_strTarget);
    m_fd = CreateTempFile(pattern);
    if (m_fd < 0) {
        SetError(errno);
        return false;
    }
    m_strTemp = pattern;
    m_mode = Mode::Replacing;
    if (!TakeOverOwnerAndMode()) {
        Abort();
        return false;
    }
    m_buffer.reserve(BUFFER_SIZE);
    return true;
}

bool CFile::WriteAll(const void* pBuf, std::size_t nCount, std::int64_t position) {
    if (position < 0)
        StartWriteback(nCount);
    const auto* p = static_cast<const std::uint8_t*>(pBuf);
    while (nCount > 0) {
        const ssize_t n = position < 0 ? write(m_fd, p, nCount) : pwrite(m_fd, p, nCount, position);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            SetError(n < 0 ? errno : ENOSPC);
            return false;
        }
        p += n;
        nCount -= static_cast<std::size_t>(n);
        if (position >= 0)
            position += n;
    }
    return true;
}

// The sync in Commit() waits for every byte still unwritten to reach the
// disk; asking the system to start writing every few MiB as they come lets
// the disk work while the caller goes on (packing, for one), and leaves the
// sync less to wait for. Failures are the sync's to report.
void CFile::StartWriteback(std::size_t nComing) {
#if defined(__linux__)
    if (m_nAppended - m_nWritebackFrom >= WRITEBACK_STEP) {
        sync_file_range(m_fd, static_cast<off_t>(m_nWritebackFrom),
                        static_cast<off_t>(m_nAppended - m_nWritebackFrom), SYNC_FILE_RANGE_WRITE);
        m_nWritebackFrom = m_nAppended;
    }
#endif
    m_nAppended += nComing;
}

bool CFile::FlushWriteBuffer() {
    if (m_buffer.empty())
        return !HasFailed();
    const bool ok = WriteAll(m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    return ok;
}

bool CFile::Write(const void* pBuf, std::size_t nCount) {
    if (m_mode != Mode::Replacing) {
        SetError(EBADF);
        return false;
    }
    if (const int fault = FileFaultOnWrite())
        SetError(fault);
    if (HasFailed())
        return false;
    if (m_buffer.size() + nCount > BUFFER_SIZE && !FlushWriteBuffer())
        return false;
    if (nCount >= BUFFER_SIZE)
        return WriteAll(pBuf, nCount);
    const auto* p = static_cast<const std::uint8_t*>(pBuf);
    m_buffer.insert(m_buffer.end(), p, p + nCount);
    return true;
}

bool CFile::WriteAt(std::uint64_t position, const void* pBuf, std::size_t nCount) {
    if (m_mode != Mode::Replacing)
        SetError(EBADF);
    else if (const int fault = FileFaultOnWrite())
        SetError(fault);
    return !HasFailed() && FlushWriteBuffer() &&
           WriteAll(pBuf, nCount,
                    static_cast<std::int64_t>(std::min<std::uint64_t>(position, INT64_MAX)));
}

bool CFile::SyncAndClose() {
    if (!FlushWriteBuffer())
        return false;
    if (const int fault = FileFaultOnSync()) {
        SetError(fault);
        return false;
    }
    if (fsync(m_fd) != 0) {
        SetError(errno);
        return false;
    }
    struct stat st {};
    if (fstat(m_fd, &st) == 0)
        m_identity = IdentityOf(st);
    const int fd = std::exchange(m_fd, -1);
    if (close(fd) != 0) {
        SetError(errno);
        return false;
    }
    return true;
}

bool CFile::RenameOverTarget() {
    if (const int fault = FileFaultOnRename()) {
        SetError(fault);
        return false;
    }
    if (rename(m_strTemp.c_str(), m_strTarget.c_str()) != 0) {
        SetError(errno);
        return false;
    }
    return true;
}

// The folder is opened before the rename: a held archive lock is handed
// over through it, and afterwards it makes the rename durable.
bool CFile::Commit(CArchiveLock* pHeldLock) {
    if (m_mode != Mode::Replacing) {
        SetError(EBADF);
        return false;
    }
    if (!SyncAndClose()) {
        Abort();
        return false;
    }
    const int folderFd = open(DirectoryOf(m_strTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool bHandedOver = pHeldLock != nullptr && pHeldLock->HandOverForRename(folderFd);
    const bool bRenamed = RenameOverTarget();
    if (bHandedOver)
        flock(folderFd, LOCK_UN);
    if (bRenamed) {
        m_mode = Mode::Closed;
        ForgetTempFile(m_strTemp);
        m_strTemp.clear();
    } else {
        Abort();
    }
    // The new content is in place already, so a failure to make the rename
    // durable is not worth failing the save over.
    if (folderFd >= 0) {
        if (bRenamed)
            fsync(folderFd);
        close(folderFd);
    }
    return bRenamed;
}

void CFile::Abort() {
    CloseDescriptor();
    if (!m_strTemp.empty()) {
        unlink(m_strTemp.c_str());
        ForgetTempFile(m_strTemp);
    }
    m_strTemp.clear();
    m_buffer.clear();
    m_mode = Mode::Closed;
}

bool CFile::FillReadBuffer() {
    m_buffer.resize(BUFFER_SIZE);
    for (;;) {
        const ssize_t n = read(m_fd, m_buffer.data(), m_buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            SetError(errno);
            return false;
        }
        m_bufferPos = 0;
        m_bufferEnd = static_cast<std::size_t>(n);
        return n > 0;
    }
}

std::size_t CFile::Read(void* pBuf, std::size_t nCount) {
    if (m_mode != Mode::Reading || HasFailed())
        return 0;
    auto* out = static_cast<std::uint8_t*>(pBuf);
    std::size_t done = 0;
    while (done < nCount) {
        if (m_bufferPos == m_bufferEnd) {
            // Large reads go straight into the caller's buffer.
            if (nCount - done >= BUFFER_SIZE) {
                const ssize_t n = read(m_fd, out + done, nCount - done);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0)
                    SetError(errno);
                if (n <= 0)
                    break;
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (!FillReadBuffer())
                break;
        }
        const std::size_t n = std::min(nCount - done, m_bufferEnd - m_bufferPos);
        std::memcpy(out + done, m_buffer.data() + m_bufferPos, n);
        m_bufferPos += n;
        done += n;
    }
    return done;
}

bool CFile::SeekToBegin() {
    if (m_mode != Mode::Reading || HasFailed())
        return false;
    if (lseek(m_fd, 0, SEEK_SET) != 0) {
        SetError(errno);
        return false;
    }
    m_bufferPos = m_bufferEnd = 0;
    return true;
}

std::uint64_t CFile::GetLength() const {
    return m_nLength;
}
