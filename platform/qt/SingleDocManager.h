#pragma once

#include "platform/FileIdentity.h"
#include "platform/qt/FileWatcher.h"
#include "platform/qt/RecentFileList.h"

#include <QString>

#include <functional>
#include <string>

class CArchiveLock;
class CDocument;
class QWidget;

// What the one document template says about its files.
struct SDocTemplateStrings {
    QString windowTitle; // the program's part of the caption
    QString filterName;  // "Ostrevane (*.dat)"
    QString filterExt;   // ".dat"
};

// The single-document manager: one document, reused for every New and Open,
// with the save-changes prompt, the recent-file list and the frame caption.
// Every message it shows is owned by the frame.
//
// It also keeps the document's file from being changed behind the user's
// back: a save takes the file's lock (the one ostr takes) and asks before
// writing over another program's change, and a change by another program to
// the file of an unmodified document offers to reload it.
class CSingleDocManager {
public:
    CSingleDocManager(CDocument& doc, QWidget* pFrame, SDocTemplateStrings strings,
                      int recentFiles);

    bool OnFileNew();
    bool OnFileOpen();
    // Opens path as the document after offering to save the current one.
    // False when the user cancelled or the file could not be opened (the
    // document reports why).
    bool OpenDocumentFile(const QString& path);
    // Save and Save As: false when the save was refused, failed, or the user
    // chose not to write over another program's change.
    bool OnFileSave();
    bool OnFileSaveAs();
    // Opens entry index of the recent-file list; a file that cannot be
    // opened leaves the list.
    bool OnOpenRecentFile(int index);

    // Asks "Save changes to ...?" when the document is modified. True when
    // the work may go on (saved, or not to be saved); false for Cancel or a
    // failed save.
    bool SaveModified();

    // "<title>[*] - <window title>": the frame shows "*" while modified.
    QString Caption() const;
    QString GetFilter() const;
    CRecentFileList& RecentFiles() { return m_recent; }

    // The settings the recent-file list lives in.
    void LoadStdProfileSettings();
    void SaveStdProfileSettings() const;

    // Looks whether another program changed the document's file (the
    // watcher calls it); offers a reload when the document is not modified.
    void OnDiskChanged();

    // Called after the document was replaced (new or opened) or renamed, and
    // after the recent-file list changed.
    std::function<void()> m_onDocumentChanged;
    // Called after a file was opened or reloaded as the document.
    std::function<void()> m_onDocumentOpened;
    // Called after the document was saved.
    std::function<void()> m_onDocumentSaved;
    // Asked before every save; false stops it (after saying why).
    std::function<bool()> m_confirmSave;
    // How long a save waits for another program that is saving the file.
    double m_lockWaitSeconds = 10;

private:
    bool DoSave(const QString& path);
    // Takes the lock for saving path; asks first when another program
    // changed the document's file. False when it may not be written.
    bool LockForSave(const std::string& path, CArchiveLock& lock);
    bool ChangedByAnotherProgram(const std::string& path, const FileIdentity& now) const;
    // After a new or opened document: views rebuilt, then Changed().
    void Replaced();
    void Changed();

    CDocument& m_doc;
    QWidget* m_pFrame;
    SDocTemplateStrings m_strings;
    CRecentFileList m_recent;
    CFileWatcher m_watcher;
    FileIdentity m_declinedReload; // the change the user chose not to reload
    bool m_bAskingReload = false;
};
