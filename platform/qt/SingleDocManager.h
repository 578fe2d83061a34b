#pragma once

#include "platform/qt/RecentFileList.h"

#include <QString>

#include <functional>

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

    // Called after the document was replaced (new or opened) or renamed, and
    // after the recent-file list changed.
    std::function<void()> m_onDocumentChanged;

private:
    bool DoSave(const QString& path);
    // After a new or opened document: views rebuilt, then Changed().
    void Replaced();
    void Changed();

    CDocument& m_doc;
    QWidget* m_pFrame;
    SDocTemplateStrings m_strings;
    CRecentFileList m_recent;
};
