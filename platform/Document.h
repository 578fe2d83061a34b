#pragma once

#include "platform/FileIdentity.h"
#include "platform/Object.h"
#include "platform/Progress.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

class CArchive;
class CArchiveLock;
class CView;

// Hears how far a long open or save has gone (bytes of the file, done of
// total). report returning false cancels the work: a cancelled open leaves
// a new, empty document, a cancelled save the file on disk as it was.
// committing is called before a save's last step (syncing and renaming the
// file into place), from which on it can no longer be cancelled.
struct SDocumentProgress {
    ProgressFn report;
    std::function<void()> committing;
};

// The document side of the document/view protocol: modified flag, path and
// title, the attached views, and opening and saving through Serialize.
class CDocument : public CObject {
public:
    CDocument() = default;
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    void SetModifiedFlag(bool bModified = true);
    bool IsModified() const { return m_bModified; }
    // Called after every change of the modified flag (a window marks its
    // caption with it); an empty function removes the observer.
    void SetModifiedObserver(std::function<void(bool)> observer);

    const std::string& GetPathName() const { return m_strPathName; }
    void SetPathName(const std::string& path) { m_strPathName = path; }
    // The file name without its folder, or "Untitled" while there is no path.
    std::string GetTitle() const;

    void AddView(CView* pView);
    void RemoveView(CView* pView);
    // Calls OnUpdate of every view but the sender, synchronously.
    void UpdateAllViews(CView* pSender, long lHint = 0, CObject* pHint = nullptr);
    // Calls OnInitialUpdate of every view (after a new or opened document).
    void InitialUpdateAllViews();

    // A new, empty document: contents deleted, no path, not modified.
    virtual bool OnNewDocument();
    // Loads path through Serialize. Returns false, after a message naming the
    // file and the reason, when it cannot be opened or read; the document is
    // then empty. A file Serialize refused (after its own message) still
    // returns true, leaves the document new and sets WasLoadRefused().
    virtual bool OnOpenDocument(const std::string& path);
    // Saves through Serialize, replacing path atomically; pHeldLock is the
    // lock on path the caller holds, if any, handed over for the rename.
    // Returns false after a message when the save fails or is refused; the
    // file on disk is then unchanged and the modified flag stays as it was.
    virtual bool OnSaveDocument(const std::string& path, CArchiveLock* pHeldLock = nullptr);
    bool WasLoadRefused() const { return m_bLoadRefused; }
    // For the opens and saves that follow; an empty one reports nothing.
    void SetProgress(SDocumentProgress progress) { m_progress = std::move(progress); }
    // The file as the last open read it or the last save wrote it; nothing
    // (bExists false) for a new document. Another program's change to the
    // file shows as a different identity of the path.
    const FileIdentity& GetDiskIdentity() const { return m_diskIdentity; }

    virtual void Serialize(CArchive& ar) = 0;
    virtual void DeleteContents() {}

private:
    void ReportFileError(const char* action, const std::string& path, const std::string& reason);

    bool m_bModified = false;
    std::function<void(bool)> m_modifiedObserver;
    bool m_bLoadRefused = false;
    std::string m_strPathName;
    FileIdentity m_diskIdentity;
    SDocumentProgress m_progress;
    std::vector<CView*> m_views;
};
