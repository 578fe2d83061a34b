#include "ui/OstrevaneApp.h"

#include "archive/ArchiveFormat.h"
#include "archive/OstrevaneDoc.h"
#include "platform/MessageBox.h"
#include "platform/SoundOutput.h"
#include "platform/qt/DesktopRegistration.h"
#include "platform/qt/Modal.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/SingleDocManager.h"
#include "ui/AboutDlg.h"
#include "ui/EntryListPane.h"
#include "ui/EntryTableModel.h"
#include "ui/MainFrame.h"
#include "ui/OstrevaneView.h"
#include "ui/PreviewPane.h"
#include "ui/Resource.h"
#include "ui/StringTable.h"
#include "ui/TablePrinter.h"
#include "ui/UndoHistory.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QScreen>
#include <QSettings>
#include <QShortcut>

#include <algorithm>
#include <cstdio>

namespace {
// The main window's size and place, kept between runs.
const char* const WINDOW_KEY = "Window/geometry";
// Its bars and the preview pane: shown or not, and their sizes.
const char* const WINDOW_STATE_KEY = "Window/state";
// The preview pane's first width: a hex line of 16 bytes fits.
constexpr int FIRST_PREVIEW_WIDTH = 600;
} // namespace

COstrevaneApp::COstrevaneApp() = default;

COstrevaneApp::~COstrevaneApp() {
    if (m_pDoc)
        m_pDoc->SetModifiedObserver({});
}

bool COstrevaneApp::InitInstance(const QStringList& arguments) {
    QCoreApplication::setOrganizationName("Local AppWizard-Generated Applications");
    QCoreApplication::setApplicationName(GetDocString(DocString::WindowTitle));
    QCoreApplication::setApplicationVersion(OSTREVANE_VERSION);
    QGuiApplication::setDesktopFileName("ostrevane");
    QApplication::setWindowIcon(QIcon(":/ostrevane/app.svg"));
    SetAppTitle(LoadString(AFX_IDS_APP_TITLE).toStdString());
    if (!CreateFrame())
        return false;
    m_pManager->LoadStdProfileSettings();
    RegisterShellFileTypes(QCoreApplication::applicationFilePath());
    if (!ProcessShellCommand(arguments))
        return false;
    PlaceFrame();
    m_pFrame->show();
    return true;
}

// The document template: document, frame and view, joined once.
bool COstrevaneApp::CreateFrame() {
    m_pDoc = std::make_unique<COstrevaneDoc>();
    m_pFrame = std::make_unique<CMainFrame>(m_commands);
    if (!m_pFrame->OnCreate())
        return false;
    auto* pPane = new CEntryListPane(m_pFrame.get());
    m_pView = pPane->View();
    m_pFrame->setCentralWidget(pPane);
    new QShortcut(QKeySequence::Find, m_pFrame.get(), [pPane] { pPane->FocusFilter(); });
    QObject::connect(&m_pView->Model(), &QAbstractItemModel::modelReset, m_pFrame.get(),
                     [this] { ShowEntryCount(); });
    m_pDoc->AddView(m_pView);
    m_pHistory = std::make_unique<CUndoHistory>(*m_pDoc);
    const SDocTemplateStrings strings{GetDocString(DocString::WindowTitle),
                                      GetDocString(DocString::FilterName),
                                      GetDocString(DocString::FilterExt)};
    m_pManager =
        std::make_unique<CSingleDocManager>(*m_pDoc, m_pFrame.get(), strings, RECENT_FILE_COUNT);
    m_pManager->m_onDocumentChanged = [this] {
        // The previews of the last archive would keep all its data alive.
        m_pPreview->Forget();
        m_pPreview->ShowEntry(m_pView->GetSelectedEntry());
        RefreshFrame();
    };
    m_pManager->m_onDocumentOpened = [this] { WarnOfDisagreeingLayout(); };
    m_pManager->m_confirmSave = [this] { return ConfirmLayoutRewrite(); };
    m_pManager->m_onDocumentSaved = [this] { m_pHistory->MarkSaved(); };
    m_pDoc->SetModifiedObserver([this](bool) { RefreshFrame(); });
    m_pFrame->m_canClose = [this] { return CanClose(); };
    m_pFrame->m_dropFiles = [this](const QStringList& paths) { OnDropFiles(paths); };
    m_pFrame->m_openRecentFile = [this](int index) { m_pManager->OnOpenRecentFile(index); };
    AddCommandHandlers();
    AddPreview();
    return true;
}

// The preview dock on the right, shown by default, following the selection.
void COstrevaneApp::AddPreview() {
    m_pPreview = new CPreviewPane(m_pFrame.get());
    m_pFrame->addDockWidget(Qt::RightDockWidgetArea, m_pPreview);
    m_pPreview->SetSoundOutputFactory([this] {
        if (!m_pSound)
            m_pSound = MakeAlsaSoundOutput();
        return m_pSound.get();
    });
    CPreviewPane* pPane = m_pPreview;
    COstrevaneView* pView = m_pView;
    QObject::connect(pView, &COstrevaneView::SelectionStateChanged, pPane,
                     [pPane, pView] { pPane->ShowEntry(pView->GetSelectedEntry()); });
    QObject::connect(pView, &COstrevaneView::PlayToggleRequested, pPane, &CPreviewPane::TogglePlay);
    m_commands.OnCommand(ID_VIEW_PREVIEW, [pPane] { pPane->setVisible(pPane->isHidden()); });
    m_commands.OnUpdate(ID_VIEW_PREVIEW, [pPane](CCmdUI* pCmdUI) {
        pCmdUI->Enable();
        pCmdUI->SetCheck(!pPane->isHidden());
    });
    QObject::connect(pPane, &QDockWidget::visibilityChanged, pPane,
                     [this] { m_commands.Update(ID_VIEW_PREVIEW); });
}

void COstrevaneApp::AddCommandHandlers() {
    m_commands.OnCommand(ID_APP_ABOUT, [this] { OnAppAbout(); });
    m_commands.OnCommand(ID_FILE_NEW, [this] { m_pManager->OnFileNew(); });
    m_commands.OnCommand(ID_FILE_OPEN, [this] { m_pManager->OnFileOpen(); });
    m_commands.OnCommand(ID_FILE_PRINT_SETUP, [this] { ShowPrintSetup(m_pFrame.get()); });
    m_commands.OnCommand(ID_FILE_SAVE, [this] { m_pManager->OnFileSave(); });
    m_commands.OnCommand(ID_FILE_SAVE_AS, [this] { m_pManager->OnFileSaveAs(); });
    AddViewCommands();
    AddEditCommands();
}

void COstrevaneApp::AddEditCommands() {
    CUndoHistory* pHistory = m_pHistory.get();
    m_commands.OnCommand(ID_EDIT_UNDO, [pHistory] { pHistory->Undo(); });
    m_commands.OnUpdate(ID_EDIT_UNDO, [pHistory](CCmdUI* p) { p->Enable(pHistory->CanUndo()); });
    m_commands.OnCommand(ID_EDIT_REDO, [pHistory] { pHistory->Redo(); });
    m_commands.OnUpdate(ID_EDIT_REDO, [pHistory](CCmdUI* p) { p->Enable(pHistory->CanRedo()); });
    QObject::connect(pHistory, &CUndoHistory::Changed, pHistory, [this] {
        m_commands.Update(ID_EDIT_UNDO);
        m_commands.Update(ID_EDIT_REDO);
    });
}

void COstrevaneApp::AddViewCommands() {
    COstrevaneView* pView = m_pView;
    m_commands.OnUpdate(ID_FILE_IMPORT, [pView](CCmdUI* p) { pView->OnUpdateFileImport(p); });
    m_commands.OnUpdate(ID_FILE_EXPORT, [pView](CCmdUI* p) { pView->OnUpdateFileExport(p); });
    m_commands.OnCommand(ID_FILE_IMPORT, [pView] { pView->OnFileImport(); });
    m_commands.OnCommand(ID_FILE_EXPORT, [pView] { pView->OnFileExport(); });
    m_commands.OnCommand(ID_FILE_EXPORT_ALL, [pView] { pView->OnFileExportAll(); });
    m_commands.OnUpdate(ID_FILE_EXPORT_ALL,
                        [pView](CCmdUI* p) { pView->OnUpdateFileExportAll(p); });
    m_commands.OnCommand(ID_EDIT_CUT, [pView] { pView->OnEditCut(); });
    m_commands.OnCommand(ID_FILE_PRINT, [pView] { pView->OnFilePrint(); });
    m_commands.OnCommand(ID_FILE_PRINT_DIRECT, [pView] { pView->OnFilePrintDirect(); });
    m_commands.OnCommand(ID_FILE_PRINT_PREVIEW, [pView] { pView->OnFilePrintPreview(); });
    QObject::connect(pView, &COstrevaneView::SelectionStateChanged, pView,
                     [this] { m_commands.Update(ID_FILE_EXPORT); });
}

// No file: a new archive. A file: opened, and start-up fails when it cannot
// be. --print FILE: the file printed to the default printer, then the end.
bool COstrevaneApp::ProcessShellCommand(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription("Ostrevane, the editor of resource archives.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({"print", "Print the archive's table to the default printer.", "FILE"});
    parser.addPositionalArgument("FILE", "The archive to open.", "[FILE]");
    if (!parser.parse(arguments) || parser.positionalArguments().size() > 1) {
        std::fprintf(
            stderr, "ostrevane: %s\n%s",
            qPrintable(parser.errorText().isEmpty() ? "too many files" : parser.errorText()),
            qPrintable(parser.helpText()));
        m_exitCode = 2;
        return false;
    }
    if (parser.isSet("help") || parser.isSet("version")) {
        std::printf("%s", qPrintable(parser.isSet("help") ? parser.helpText()
                                                          : "Ostrevane " OSTREVANE_VERSION "\n"));
        return false;
    }
    if (parser.isSet("print")) {
        const bool bPrinted = m_pManager->OpenDocumentFile(parser.value("print")) &&
                              !m_pDoc->WasLoadRefused() && PrintToDefaultPrinter(*m_pView);
        m_exitCode = bPrinted ? 0 : 1;
        return false;
    }
    const bool bOpened = parser.positionalArguments().isEmpty()
                             ? m_pManager->OnFileNew()
                             : m_pManager->OpenDocumentFile(parser.positionalArguments().front());
    m_exitCode = bOpened ? 0 : 1;
    return bOpened;
}

namespace {

bool IsArchiveFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) &&
           file.read(static_cast<qint64>(ARCHIVE_MAGIC.size())) ==
               QByteArray(ARCHIVE_MAGIC.data(), static_cast<qsizetype>(ARCHIVE_MAGIC.size()));
}

} // namespace

// A dropped archive is opened (the first, when there are several); every
// other file dropped is offered for import, one Importing File dialog after
// another, into whichever archive is open then.
void COstrevaneApp::OnDropFiles(const QStringList& paths) {
    QStringList imports;
    bool bOpened = false;
    for (const QString& path : paths) {
        if (!QFileInfo(path).isFile())
            continue;
        if (!IsArchiveFile(path))
            imports << path;
        else if (!std::exchange(bOpened, true))
            m_pManager->OpenDocumentFile(path);
    }
    for (const QString& path : imports)
        m_pView->ImportFromFile(path);
}

void COstrevaneApp::OnAppAbout() {
    CAboutDlg dialog(m_pFrame.get());
    DoModal(dialog);
}

// "N of M entries" while a filter hides some rows.
void COstrevaneApp::ShowEntryCount() {
    const CEntryTableModel& model = m_pView->Model();
    m_pFrame->ShowEntryCount(
        model.IsFiltered()
            ? QString("%1 of %2 entries").arg(model.rowCount()).arg(model.TotalCount())
            : QString());
}

void COstrevaneApp::RefreshFrame() {
    m_pFrame->setWindowTitle(m_pManager->Caption());
    m_pFrame->setWindowModified(m_pDoc->IsModified());
    m_pFrame->SetRecentFiles(m_pManager->RecentFiles());
    m_commands.UpdateAll();
}

// The reader takes the data back to back and drops what follows it, so a
// save writes another layout than the file has: said once on opening, and
// asked before the first save.
void COstrevaneApp::WarnOfDisagreeingLayout() {
    m_bLayoutRewriteAgreed = false;
    if (m_pDoc->GetLayoutReport().IsEmpty())
        return;
    MessageBox(OwnerOf(m_pFrame.get()),
               m_pDoc->GetPathName() +
                   ": its directory does not match its data; saving will rewrite its layout.",
               GetDocString(DocString::WindowTitle).toStdString(), MB_OK | MB_ICONEXCLAMATION);
}

bool COstrevaneApp::ConfirmLayoutRewrite() {
    if (m_pDoc->GetLayoutReport().IsEmpty() || m_bLayoutRewriteAgreed)
        return true;
    m_bLayoutRewriteAgreed =
        MessageBox(OwnerOf(m_pFrame.get()),
                   m_pDoc->GetPathName() +
                       ": its directory does not match its data; saving will rewrite its "
                       "layout.\nSave it all the same?",
                   GetDocString(DocString::WindowTitle).toStdString(),
                   MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
    return m_bLayoutRewriteAgreed;
}

bool COstrevaneApp::CanClose() {
    if (!m_pManager->SaveModified())
        return false;
    m_pManager->SaveStdProfileSettings();
    QSettings().setValue(WINDOW_KEY, m_pFrame->saveGeometry());
    QSettings().setValue(WINDOW_STATE_KEY, m_pFrame->saveState());
    return true;
}

// Where the last run left the window and its panes. The first time the
// window is 1150 by 650, or less where the screen's free area is smaller
// (at most 90% of it), and the preview pane takes up to two fifths of it.
void COstrevaneApp::PlaceFrame() {
    const bool bStateRestored =
        m_pFrame->restoreState(QSettings().value(WINDOW_STATE_KEY).toByteArray());
    if (!m_pFrame->restoreGeometry(QSettings().value(WINDOW_KEY).toByteArray())) {
        QSize size(1150, 650);
        if (const QScreen* pScreen = m_pFrame->screen()) {
            const QRect free = pScreen->availableGeometry();
            size = size.boundedTo(free.size() * 0.9);
            m_pFrame->resize(size);
            m_pFrame->move(free.center() - m_pFrame->rect().center());
        } else {
            m_pFrame->resize(size);
        }
    }
    if (!bStateRestored)
        m_pFrame->resizeDocks({m_pPreview},
                              {std::min(FIRST_PREVIEW_WIDTH, m_pFrame->width() * 2 / 5)},
                              Qt::Horizontal);
}
