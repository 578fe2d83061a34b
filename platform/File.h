#pragma once

#include "platform/FileIdentity.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CArchiveLock;

// Failures that are not errno values.
inline constexpr int FILE_ERROR_NOT_REGULAR = -1;  // a FIFO, socket or device
inline constexpr int FILE_ERROR_LINK_REFUSED = -2; // a link OpenForReplace will not follow

// A file opened either for reading or for replacing. Replacing writes a
// temporary file beside the target and renames it over the target only in
// Commit(), after every write, the flush and the sync succeeded; until then,
// and after any failure, the target stays exactly as it was.
//
// Every operation records the first failure (an errno value, or one of the
// FILE_ERROR_ values above); once failed, reads return 0, writes do nothing
// and Commit() refuses.
//
// Neither opening mode ever blocks on a FIFO or a device: such files are
// refused as not regular before anything waits on them.
class CFile {
public:
    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    // Closes the file; a replace that was not committed is abandoned.
    virtual ~CFile();

    // Opens a regular file for reading. Returns false (error recorded) when it
    // cannot be opened or is not a regular file.
    bool OpenForRead(const std::string& path);
    // Prepares to replace path: follows symbolic links to the file they name
    // (unless bFollowLinks is false: then a link is replaced itself), refuses
    // a target that is not a regular file or is not writable, and creates the
    // temporary file (see TempFiles.h). In a sticky folder that everyone may
    // write to, a link is followed only when it belongs to the caller or to
    // the folder's owner, as the kernel's protected_symlinks rule has it. The
    // new file takes the old one's mode, and when the caller is root, its
    // owner and group too. Returns false (error recorded) on failure.
    bool OpenForReplace(const std::string& path, bool bFollowLinks = true);
    // Writes out what is buffered, syncs, closes and renames the temporary
    // file over the target; pHeldLock, the target's lock when the caller
    // holds it, is handed over for the rename (see CArchiveLock) and is no
    // longer held afterwards. Returns false (error recorded, temporary file
    // removed, target untouched) on failure.
    bool Commit(CArchiveLock* pHeldLock = nullptr);
    // Abandons a replace: closes and removes the temporary file.
    void Abort();

    // Reads up to nCount bytes; returns the number read. Fewer than asked
    // means the end of the file or a failure (see HasFailed).
    virtual std::size_t Read(void* pBuf, std::size_t nCount);
    // Goes back to the start of a file being read; false after a failure.
    virtual bool SeekToBegin();
    // Writes nCount bytes; returns false and records the failure if any byte
    // could not be written.
    virtual bool Write(const void* pBuf, std::size_t nCount);
    // For a replace: writes nCount bytes at position, over bytes written
    // before (a header filled in last); later writes still go at the end.
    // Returns false and records the failure if any byte could not be written.
    bool WriteAt(std::uint64_t position, const void* pBuf, std::size_t nCount);
    // Length of the file being read, as it was when opened.
    virtual std::uint64_t GetLength() const;

    bool HasFailed() const { return m_nError != 0; }
    int GetError() const { return m_nError; }
    // For reading: the file as it was opened. After a Commit: the new file.
    const FileIdentity& GetIdentity() const { return m_identity; }

    // The failure as a sentence for users ("Permission denied.").
    std::string GetErrorText() const;
    // Records a failure (the first one is kept).
    void SetError(int nError);
    // The path given to Open..., and for a replace the file really written.
    const std::string& GetFilePath() const { return m_strPath; }
    const std::string& GetTargetPath() const { return m_strTarget; }

private:
    bool FillReadBuffer();
    bool FlushWriteBuffer();
    // At position, or at the file's offset when it is negative.
    bool WriteAll(const void* pBuf, std::size_t nCount, std::int64_t position = -1);
    void StartWriteback(std::size_t nComing);
    bool PrepareTarget(bool bFollowLinks);
    bool TakeOverOwnerAndMode();
    bool SyncAndClose();
    bool RenameOverTarget();
    void CloseDescriptor();

    enum class Mode { Closed, Reading, Replacing };
    Mode m_mode = Mode::Closed;
    int m_fd = -1;
    int m_nError = 0;
    std::uint64_t m_nLength = 0;
    FileIdentity m_identity;
    // What the replaced file had, for the new one; no owner for a new file.
    int m_nMode = 0;
    bool m_bHasOwner = false;
    unsigned m_nOwner = 0;
    unsigned m_nGroup = 0;
    std::string m_strPath;
    std::string m_strTarget;
    std::string m_strTemp;
    // Bytes appended to a file being replaced, and where the writeback not
    // yet asked for starts.
    static constexpr std::uint64_t WRITEBACK_STEP = std::uint64_t{8} << 20;
    std::uint64_t m_nAppended = 0;
    std::uint64_t m_nWritebackFrom = 0;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_bufferPos = 0;
    std::size_t m_bufferEnd = 0;
};
