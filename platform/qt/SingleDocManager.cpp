#include "platform/qt/SingleDocManager.h"

#include "platform/ArchiveLock.h"
#include "platform/Document.h"
#include "platform/MessageBox.h"
#include "platform/qt/FileDialog.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/WaitProgress.h"

#include <QApplication>
#include <QFileInfo>
#include <QSettings>

CSingleDocManager::CSingleDocManager(CDocument& doc, QWidget* pFrame, SDocTemplateStrings strings,
                                     int recentFiles)
    : m_doc(doc), m_pFrame(pFrame), m_strings(std::move(strings)), m_recent(recentFiles) {
    QObject::connect(&m_watcher, &CFileWatcher::Changed, &m_watcher, [this] { OnDiskChanged(); });
}

bool CSingleDocManager::OnFileNew() {
    if (!SaveModified())
        return false;
    m_doc.OnNewDocument();
    Replaced();
    return true;
}

bool CSingleDocManager::OnFileOpen() {
    CFileDialog dialog(true, m_strings.filterExt.mid(1), QString(), GetFilter(), m_pFrame);
    dialog.RememberFolder("archive");
    if (!dialog.DoModal())
        return false;
    return OpenDocumentFile(dialog.GetPathName());
}

bool CSingleDocManager::OpenDocumentFile(const QString& path) {
    if (!SaveModified())
        return false;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    // A file that cannot be opened leaves the document as it was; one that
    // fails while loading, or whose loading is cancelled, leaves a new, empty
    // one. Either way the views show what the document now holds.
    bool bOpened = false;
    {
        CWaitProgress wait(m_pFrame, "Opening " + absolute);
        m_doc.SetProgress({wait.Callback(), {}});
        bOpened = m_doc.OnOpenDocument(absolute.toStdString());
        m_doc.SetProgress({});
    }
    const bool bLoaded = bOpened && !m_doc.WasLoadRefused();
    if (bLoaded)
        m_recent.Add(absolute);
    Replaced();
    if (bLoaded && m_onDocumentOpened)
        m_onDocumentOpened();
    return bOpened;
}

bool CSingleDocManager::OnFileSave() {
    if (m_doc.GetPathName().empty())
        return OnFileSaveAs();
    return DoSave(QString::fromStdString(m_doc.GetPathName()));
}

bool CSingleDocManager::OnFileSaveAs() {
    CFileDialog dialog(false, m_strings.filterExt.mid(1), QString::fromStdString(m_doc.GetTitle()),
                       GetFilter(), m_pFrame);
    dialog.RememberFolder("archive");
    if (!dialog.DoModal())
        return false;
    return DoSave(dialog.GetPathName());
}

bool CSingleDocManager::OnOpenRecentFile(int index) {
    const QString path = m_recent.Files().value(index);
    if (path.isEmpty())
        return false;
    if (OpenDocumentFile(path))
        return true;
    if (!QFileInfo::exists(path)) {
        m_recent.Remove(path);
        Changed();
    }
    return false;
}

bool CSingleDocManager::SaveModified() {
    if (!m_doc.IsModified())
        return true;
    const std::string name = m_doc.GetPathName().empty() ? m_doc.GetTitle() : m_doc.GetPathName();
    const int answer =
        MessageBox(OwnerOf(m_pFrame), "Save changes to " + name + "?",
                   m_strings.windowTitle.toStdString(), MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    if (answer == IDCANCEL)
        return false;
    return answer == IDNO || OnFileSave();
}

QString CSingleDocManager::Caption() const {
    return QString::fromStdString(m_doc.GetTitle()) + "[*] - " + m_strings.windowTitle;
}

QString CSingleDocManager::GetFilter() const {
    return m_strings.filterName + "|*" + m_strings.filterExt + "|All files (*.*)|*.*||";
}

void CSingleDocManager::LoadStdProfileSettings() {
    QSettings settings;
    m_recent.ReadList(settings);
}

void CSingleDocManager::SaveStdProfileSettings() const {
    QSettings settings;
    m_recent.WriteList(settings);
}

bool CSingleDocManager::DoSave(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const std::string target = absolute.toStdString();
    if (m_confirmSave && !m_confirmSave())
        return false;
    CArchiveLock lock;
    if (!LockForSave(target, lock))
        return false;
    bool bSaved = false;
    {
        // Cancel is offered while the file being replaced is still whole.
        CWaitProgress wait(m_pFrame, "Saving " + absolute);
        m_doc.SetProgress({wait.Callback(), [&wait] { wait.ForbidCancel(); }});
        bSaved = m_doc.OnSaveDocument(target, &lock);
        m_doc.SetProgress({});
    }
    if (!bSaved)
        return false;
    m_recent.Add(absolute);
    if (m_onDocumentSaved)
        m_onDocumentSaved();
    Changed();
    return true;
}

bool CSingleDocManager::ChangedByAnotherProgram(const std::string& path,
                                                const FileIdentity& now) const {
    const FileIdentity& known = m_doc.GetDiskIdentity();
    return path == m_doc.GetPathName() && known.bExists && now.bExists && now != known;
}

// The question is asked without the lock, so that no other program waits
// on the user; the file is looked at again under the lock afterwards.
bool CSingleDocManager::LockForSave(const std::string& path, CArchiveLock& lock) {
    FileIdentity agreed;
    for (;;) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const CArchiveLock::Status status = lock.Acquire(path, m_lockWaitSeconds);
        QApplication::restoreOverrideCursor();
        if (status == CArchiveLock::Status::Busy) {
            MessageBox(OwnerOf(m_pFrame), InUseMessage(path, lock.GetHolderPid()),
                       m_strings.windowTitle.toStdString(), MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
        const FileIdentity now = IdentityOfPath(path);
        if (!ChangedByAnotherProgram(path, now) || now == agreed)
            return true;
        lock.Release();
        if (MessageBox(OwnerOf(m_pFrame),
                       path + " was changed by another program since it was opened. Overwrite "
                              "those changes?",
                       m_strings.windowTitle.toStdString(), MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
            return false;
        agreed = now;
    }
}

void CSingleDocManager::OnDiskChanged() {
    const std::string path = m_doc.GetPathName();
    if (m_bAskingReload || path.empty() || m_doc.IsModified())
        return;
    const FileIdentity now = IdentityOfPath(path);
    if (!now.bExists || now == m_doc.GetDiskIdentity() || now == m_declinedReload)
        return;
    m_bAskingReload = true;
    const int answer =
        MessageBox(OwnerOf(m_pFrame), path + " was changed by another program. Reload it?",
                   m_strings.windowTitle.toStdString(), MB_YESNO | MB_ICONQUESTION);
    m_bAskingReload = false;
    if (answer == IDYES)
        OpenDocumentFile(QString::fromStdString(path));
    else
        m_declinedReload = now;
}

void CSingleDocManager::Replaced() {
    m_doc.InitialUpdateAllViews();
    Changed();
}

void CSingleDocManager::Changed() {
    m_watcher.Watch(QString::fromStdString(m_doc.GetPathName()));
    if (m_onDocumentChanged)
        m_onDocumentChanged();
}
