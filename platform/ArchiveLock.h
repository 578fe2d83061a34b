#pragma once

#include "platform/FileIdentity.h"

#include <string>

// An exclusive advisory lock (flock) on an archive, held by whoever is about
// to write it, from reading it until its new version is in place. Every
// program of ours that saves an archive takes it, so two of them take turns
// instead of one losing the other's change; programs that only read need
// none, since a save renames a complete new file over the old one.
//
// Because the save replaces the file, the lock is on the file the path named
// when it was taken: after locking, Acquire checks that the path still names
// that file, and starts again on the new one when it does not (a writer that
// got there first has replaced it).
//
// Holding the old file open across the rename would make it an orphan that
// the file system must list and then free apart (on ext4 that cost a save
// 2-3 ms), so a save hands the lock over just before its rename: it takes an
// exclusive flock on the folder, lets go of the file, renames, and lets go
// of the folder. The check after locking takes the folder's lock shared, so
// a writer that got the file during a hand-over sees the new file, never the
// old one. Where the folder cannot be locked the file's lock is simply kept
// through the rename.
class CArchiveLock {
public:
    enum class Status {
        Locked,
        NoFile,     // nothing at the path yet: there is nothing to lock
        Busy,       // another program held it for the whole wait
        NotRegular, // a FIFO, socket, device or folder
        Failed,     // the file could not be opened or locked; opening it says why
    };

    CArchiveLock() = default;
    CArchiveLock(const CArchiveLock&) = delete;
    CArchiveLock& operator=(const CArchiveLock&) = delete;
    ~CArchiveLock() { Release(); }

    // Locks the file path names (following symbolic links), waiting up to
    // waitSeconds while another program holds it. Never blocks on a FIFO.
    Status Acquire(const std::string& path, double waitSeconds);
    void Release();
    // For a save about to rename its new file over the locked one in the
    // folder open as folderFd: locks the folder (released by the caller
    // after the rename, with flock LOCK_UN or by closing it) and lets go of
    // the file. Returns false, keeping the file's lock, when the folder
    // cannot be locked.
    bool HandOverForRename(int folderFd);

    // For Locked: the file locked. For Busy: the process holding the lock,
    // 0 when that is not known.
    const FileIdentity& GetIdentity() const { return m_identity; }
    long GetHolderPid() const { return m_nHolderPid; }

private:
    Status TryOnce(const std::string& path, bool& bRetry);

    int m_fd = -1;
    FileIdentity m_identity;
    long m_nHolderPid = 0;
};

// "PATH is in use by another program (pid N)", without the pid when it is 0.
std::string InUseMessage(const std::string& path, long holderPid);
