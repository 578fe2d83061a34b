#include "platform/Document.h"

#include "platform/Archive.h"
#include "platform/File.h"
#include "platform/MessageBox.h"
#include "platform/View.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <utility>

std::string CDocument::GetTitle() const {
    if (m_strPathName.empty())
        return "Untitled";
    const auto slash = m_strPathName.find_last_of('/');
    return slash == std::string::npos ? m_strPathName : m_strPathName.substr(slash + 1);
}

void CDocument::SetModifiedFlag(bool bModified) {
    if (bModified == m_bModified)
        return;
    m_bModified = bModified;
    if (m_modifiedObserver)
        m_modifiedObserver(bModified);
}

void CDocument::SetModifiedObserver(std::function<void(bool)> observer) {
    m_modifiedObserver = std::move(observer);
}

void CDocument::AddView(CView* pView) {
    if (std::find(m_views.begin(), m_views.end(), pView) == m_views.end())
        m_views.push_back(pView);
}

void CDocument::RemoveView(CView* pView) {
    std::erase(m_views, pView);
}

void CDocument::UpdateAllViews(CView* pSender, long lHint, CObject* pHint) {
    for (CView* pView : m_views)
        if (pView != pSender)
            pView->OnUpdate(pSender, lHint, pHint);
}

void CDocument::InitialUpdateAllViews() {
    for (CView* pView : m_views)
        pView->OnInitialUpdate();
}

bool CDocument::OnNewDocument() {
    DeleteContents();
    m_strPathName.clear();
    m_diskIdentity = {};
    SetModifiedFlag(false);
    return true;
}

void CDocument::ReportFileError(const char* action, const std::string& path,
                                const std::string& reason) {
    MessageBox(nullptr, std::string(action) + " \"" + path + "\":\n" + reason, GetAppTitle(),
               MB_OK | MB_ICONEXCLAMATION);
}

bool CDocument::OnOpenDocument(const std::string& path) {
    m_bLoadRefused = false;
    CFile file;
    if (!file.OpenForRead(path)) {
        ReportFileError("Cannot open", path, file.GetErrorText());
        return false;
    }
    CArchive ar(&file, CArchive::load);
    ar.SetProgress(m_progress.report);
    DeleteContents();
    try {
        Serialize(ar);
    } catch (const std::bad_alloc&) {
        file.SetError(ENOMEM);
    }
    if (file.HasFailed() && !ar.IsRefused()) {
        OnNewDocument();
        ReportFileError("Cannot read", path, file.GetErrorText());
        return false;
    }
    m_bLoadRefused = ar.IsRefused();
    m_strPathName = m_bLoadRefused ? std::string() : path;
    m_diskIdentity = m_bLoadRefused ? FileIdentity() : file.GetIdentity();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnSaveDocument(const std::string& path, CArchiveLock* pHeldLock) {
    CFile file;
    if (!file.OpenForReplace(path)) {
        ReportFileError("Cannot save", path, file.GetErrorText());
        return false;
    }
    CArchive ar(&file, CArchive::store);
    ar.SetProgress(m_progress.report);
    try {
        Serialize(ar);
    } catch (const std::bad_alloc&) {
        file.SetError(ENOMEM);
    }
    if (ar.IsRefused()) {
        file.Abort();
        return false;
    }
    if (m_progress.committing)
        m_progress.committing();
    if (file.HasFailed() || !file.Commit(pHeldLock)) {
        file.Abort();
        ReportFileError("Cannot save", path, file.GetErrorText());
        return false;
    }
    m_strPathName = path;
    m_diskIdentity = file.GetIdentity();
    SetModifiedFlag(false);
    return true;
}
