#include "platform/qt/SingleDocManager.h"

#include "platform/Document.h"
#include "platform/MessageBox.h"
#include "platform/qt/FileDialog.h"
#include "platform/qt/QtMessageBox.h"

#include <QFileInfo>
#include <QSettings>

CSingleDocManager::CSingleDocManager(CDocument& doc, QWidget* pFrame, SDocTemplateStrings strings,
                                     int recentFiles)
    : m_doc(doc), m_pFrame(pFrame), m_strings(std::move(strings)), m_recent(recentFiles) {}

bool CSingleDocManager::OnFileNew() {
    if (!SaveModified())
        return false;
    m_doc.OnNewDocument();
    Replaced();
    return true;
}

bool CSingleDocManager::OnFileOpen() {
    CFileDialog dialog(true, m_strings.filterExt.mid(1), QString(), GetFilter(), m_pFrame);
    if (!dialog.DoModal())
        return false;
    return OpenDocumentFile(dialog.GetPathName());
}

bool CSingleDocManager::OpenDocumentFile(const QString& path) {
    if (!SaveModified())
        return false;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    // A file that cannot be opened leaves the document as it was; one that
    // fails while loading leaves a new, empty one. Either way the views show
    // what the document now holds.
    const bool bOpened = m_doc.OnOpenDocument(absolute.toStdString());
    if (bOpened && !m_doc.WasLoadRefused())
        m_recent.Add(absolute);
    Replaced();
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
    if (!m_doc.OnSaveDocument(absolute.toStdString()))
        return false;
    m_recent.Add(absolute);
    Changed();
    return true;
}

void CSingleDocManager::Replaced() {
    m_doc.InitialUpdateAllViews();
    Changed();
}

void CSingleDocManager::Changed() {
    if (m_onDocumentChanged)
        m_onDocumentChanged();
}
