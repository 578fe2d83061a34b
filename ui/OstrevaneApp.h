#pragma once

#include "platform/qt/CommandMap.h"

#include <QStringList>

#include <memory>

class CMainFrame;
class COstrevaneDoc;
class COstrevaneView;
class CSingleDocManager;
class CPreviewPane;
class CUndoHistory;
class ISoundOutput;

// The desktop program: one document, one main frame and one view, made once
// and reused for every New and Open.
class COstrevaneApp {
public:
    COstrevaneApp();
    ~COstrevaneApp();
    COstrevaneApp(const COstrevaneApp&) = delete;
    COstrevaneApp& operator=(const COstrevaneApp&) = delete;

    // Starts the program from its arguments (the program's name first). False
    // when it is to end at once, with ExitCode() as its status: the named
    // file could not be opened, the arguments were wrong, or it printed.
    bool InitInstance(const QStringList& arguments);
    int ExitCode() const { return m_exitCode; }

    void OnAppAbout();
    // Files dropped on the window.
    void OnDropFiles(const QStringList& paths);

    CMainFrame* Frame() const { return m_pFrame.get(); }
    COstrevaneDoc* Document() const { return m_pDoc.get(); }
    COstrevaneView* View() const { return m_pView; }
    CSingleDocManager* Manager() const { return m_pManager.get(); }
    CUndoHistory* History() const { return m_pHistory.get(); }
    CPreviewPane* Preview() const { return m_pPreview; }
    CCommandMap& Commands() { return m_commands; }

private:
    bool CreateFrame();
    void AddCommandHandlers();
    void AddViewCommands();
    void AddEditCommands();
    void AddPreview();
    bool ProcessShellCommand(const QStringList& arguments);
    void RefreshFrame();
    void ShowEntryCount();
    bool CanClose();
    void PlaceFrame();
    void WarnOfDisagreeingLayout();
    bool ConfirmLayoutRewrite();

    CCommandMap m_commands;
    // Made when a sound is first shown; outlives the frame, whose preview
    // pane plays through it.
    std::unique_ptr<ISoundOutput> m_pSound;
    std::unique_ptr<COstrevaneDoc> m_pDoc;
    std::unique_ptr<CMainFrame> m_pFrame;
    COstrevaneView* m_pView = nullptr;  // owned by the frame
    CPreviewPane* m_pPreview = nullptr; // owned by the frame
    std::unique_ptr<CSingleDocManager> m_pManager;
    // Declared after the document, so that it goes first.
    std::unique_ptr<CUndoHistory> m_pHistory;
    int m_exitCode = 0;
    // The user agreed to save an archive whose directory disagrees with its
    // data; asked once for each opened archive.
    bool m_bLayoutRewriteAgreed = false;
};
