#pragma once

#include "platform/FileIdentity.h"
#include "platform/Object.h"

#include <functional>
#include <string>
#include <vector>

class CArchive;
class CArchiveLock;
class CView;

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
    std::vector<CView*> m_views;
};
