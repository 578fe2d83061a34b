#include "ui/MainFrame.h"

#include "platform/qt/CommandMap.h"
#include "platform/qt/KeyboardLocks.h"
#include "platform/qt/RecentFileList.h"
#include "ui/Resource.h"
#include "ui/StringTable.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace {

struct SCommandText {
    int nID;
    const char* text;
    std::vector<QKeySequence> keys;
};

// Menu texts (a tab before the keys' text) and the keys of every command.
const std::vector<SCommandText>& CommandTexts() {
    static const std::vector<SCommandText> texts = {
        {ID_FILE_NEW, "&New\tCtrl+N", {QKeySequence("Ctrl+N")}},
        {ID_FILE_OPEN, "&Open...\tCtrl+O", {QKeySequence("Ctrl+O")}},
        {ID_FILE_SAVE, "&Save\tCtrl+S", {QKeySequence("Ctrl+S")}},
        {ID_FILE_SAVE_AS, "Save &As...", {}},
        {ID_FILE_IMPORT, "&Import File", {}},
        {ID_FILE_EXPORT, "&Export File", {}},
        {ID_FILE_EXPORT_ALL, "Export &All...", {}},
        {ID_FILE_PRINT, "&Print...\tCtrl+P", {QKeySequence("Ctrl+P")}},
        {ID_FILE_PRINT_PREVIEW, "Print Pre&view", {}},
        {ID_FILE_PRINT_SETUP, "P&rint Setup...", {}},
        {ID_APP_EXIT, "E&xit", {}},
        {ID_EDIT_UNDO, "&Undo\tCtrl+Z", {QKeySequence("Ctrl+Z"), QKeySequence("Alt+Backspace")}},
        {ID_EDIT_REDO, "&Redo\tCtrl+Y", {QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}},
        {ID_EDIT_CUT, "Cu&t\tCtrl+X", {QKeySequence("Ctrl+X"), QKeySequence("Shift+Del")}},
        {ID_EDIT_COPY, "&Copy\tCtrl+C", {QKeySequence("Ctrl+C"), QKeySequence("Ctrl+Ins")}},
        {ID_EDIT_PASTE, "&Paste\tCtrl+V", {QKeySequence("Ctrl+V"), QKeySequence("Shift+Ins")}},
        {ID_VIEW_TOOLBAR, "&Toolbar", {}},
        {ID_VIEW_STATUS_BAR, "&Status Bar", {}},
        {ID_VIEW_PREVIEW, "Pre&view", {}},
        {ID_APP_ABOUT, "&About Ostrevane...", {}},
        {ID_NEXT_PANE, "Next Pane", {QKeySequence("F6")}},
        {ID_PREV_PANE, "Previous Pane", {QKeySequence("Shift+F6")}},
        {ID_FILE_PRINT_DIRECT, "Print Direct", {}},
    };
    return texts;
}

struct SToolButton {
    int nID; // 0 for a separator
    const char* theme;
    const char* image;
};

// The Edit menu's place in the menu bar (File, Edit, View, Help).
constexpr int EDIT_MENU = 1;

const SToolButton TOOL_BUTTONS[] = {
    {ID_FILE_NEW, "document-new", "new"},
    {ID_FILE_OPEN, "document-open", "open"},
    {ID_FILE_SAVE, "document-save", "save"},
    {0, nullptr, nullptr},
    {ID_FILE_IMPORT, nullptr, "import"},
    {ID_FILE_EXPORT, nullptr, "export"},
    {0, nullptr, nullptr},
    {ID_EDIT_CUT, "edit-cut", "cut"},
    {ID_EDIT_COPY, "edit-copy", "copy"},
    {ID_EDIT_PASTE, "edit-paste", "paste"},
    {0, nullptr, nullptr},
    {ID_FILE_PRINT, "document-print", "print"},
    {0, nullptr, nullptr},
    {ID_APP_ABOUT, "help-about", "about"},
};

// The desktop theme's icon for a standard command where it has one, else ours.
QIcon ButtonIcon(const SToolButton& button) {
    const QIcon ours(QString(":/ostrevane/toolbar/%1.svg").arg(button.image));
    return button.theme == nullptr ? ours : QIcon::fromTheme(button.theme, ours);
}

// Swallows tooltips: the import and export buttons have no tooltip text, and
// Qt would otherwise show the button's text.
class CNoToolTip : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* pEvent) override {
        return pEvent->type() == QEvent::ToolTip;
    }
};

} // namespace

CMainFrame::CMainFrame(CCommandMap& commands) : m_commands(commands) {
    setAcceptDrops(true);
}

bool CMainFrame::OnCreate() {
    CreateActions();
    CreateMenus();
    if (!CreateToolBar() || !CreateStatusBar())
        return false;
    AddFrameCommands();
    return true;
}

void CMainFrame::CreateActions() {
    for (const SCommandText& command : CommandTexts()) {
        QAction* pAction = m_commands.AddCommand(command.nID, command.text, this);
        pAction->setShortcuts(QList<QKeySequence>(command.keys.begin(), command.keys.end()));
        pAction->setShortcutContext(Qt::WindowShortcut);
        pAction->setStatusTip(PromptOf(command.nID));
        pAction->setToolTip(TooltipOf(command.nID));
        // The frame holds every action so that its keys work with the menu
        // bar hidden or the toolbar gone.
        addAction(pAction);
    }
    m_commands.Action(ID_VIEW_TOOLBAR)->setCheckable(true);
    m_commands.Action(ID_VIEW_STATUS_BAR)->setCheckable(true);
    m_commands.Action(ID_VIEW_PREVIEW)->setCheckable(true);
}

void CMainFrame::CreateMenus() {
    auto add = [this](QMenu* pMenu, std::initializer_list<int> ids) {
        for (int nID : ids)
            pMenu->addAction(m_commands.Action(nID));
    };
    QMenu* pFile = menuBar()->addMenu("&File");
    add(pFile, {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS});
    pFile->addSeparator();
    add(pFile, {ID_FILE_IMPORT, ID_FILE_EXPORT, ID_FILE_EXPORT_ALL});
    pFile->addSeparator();
    add(pFile, {ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, ID_FILE_PRINT_SETUP});
    pFile->addSeparator();
    m_pRecentPlaceholder = pFile->addAction("Recent File");
    m_pRecentPlaceholder->setEnabled(false);
    m_pRecentPlaceholder->setStatusTip(PromptOf(ID_FILE_MRU_FILE1));
    pFile->addSeparator();
    add(pFile, {ID_APP_EXIT});
    QMenu* pEdit = menuBar()->addMenu("&Edit");
    add(pEdit, {ID_EDIT_UNDO, ID_EDIT_REDO});
    pEdit->addSeparator();
    add(pEdit, {ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE});
    QMenu* pView = menuBar()->addMenu("&View");
    add(pView, {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_PREVIEW});
    QMenu* pHelp = menuBar()->addMenu("&Help");
    add(pHelp, {ID_APP_ABOUT});
    m_menus = {pFile, pEdit, pView, pHelp};
    for (int index = 0; index < static_cast<int>(m_menus.size()); ++index) {
        QMenu* pMenu = m_menus[static_cast<std::size_t>(index)];
        connect(pMenu, &QMenu::aboutToShow, this,
                [this, pMenu, index] { OnInitMenuPopup(pMenu, index); });
    }
}

// Returns true: Qt's bars cannot fail to be made (running out of memory
// throws instead). The result stays so that OnCreate keeps the frame's
// create-or-refuse shape, which the application checks.
bool CMainFrame::CreateToolBar() {
    m_pToolBar = new QToolBar("Toolbar", this);
    m_pToolBar->setObjectName("toolbar");
    m_pToolBar->setIconSize(QSize(16, 16));
    m_pToolBar->setMovable(true);
    m_pToolBar->setFloatable(true);
    m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    auto* pNoToolTip = new CNoToolTip(m_pToolBar);
    for (const SToolButton& button : TOOL_BUTTONS) {
        if (button.nID == 0) {
            m_pToolBar->addSeparator();
            continue;
        }
        QAction* pAction = m_commands.Action(button.nID);
        pAction->setIcon(ButtonIcon(button));
        m_pToolBar->addAction(pAction);
        if (TooltipOf(button.nID).isEmpty())
            m_pToolBar->widgetForAction(pAction)->installEventFilter(pNoToolTip);
    }
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
    return true;
}

// Returns true, as CreateToolBar does.
bool CMainFrame::CreateStatusBar() {
    QStatusBar* pBar = statusBar();
    for (int nID : {ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL}) {
        auto* pLabel = new QLabel(pBar);
        pLabel->setObjectName(LoadString(nID));
        pLabel->setAlignment(Qt::AlignCenter);
        pLabel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pLabel->setMinimumWidth(pLabel->fontMetrics().horizontalAdvance(LoadString(nID) + "MM"));
        pBar->addPermanentWidget(pLabel);
        m_indicators.push_back(pLabel);
    }
    m_pEntryCount = new QLabel(pBar);
    m_pEntryCount->setObjectName("entryCount");
    m_pEntryCount->hide();
    pBar->insertPermanentWidget(0, m_pEntryCount);
    pBar->showMessage(LoadString(AFX_IDS_IDLEMESSAGE));
    auto* pTimer = new QTimer(this);
    connect(pTimer, &QTimer::timeout, this, &CMainFrame::UpdateIndicators);
    pTimer->start(250);
    UpdateIndicators();
    return true;
}

// The frame's own commands: the bars' show/hide and Exit.
void CMainFrame::AddFrameCommands() {
    auto toggle = [this](int nID, QWidget* pBar) {
        m_commands.OnCommand(nID, [pBar] { pBar->setVisible(pBar->isHidden()); });
        m_commands.OnUpdate(nID, [pBar](CCmdUI* pCmdUI) {
            pCmdUI->Enable();
            pCmdUI->SetCheck(!pBar->isHidden());
        });
    };
    toggle(ID_VIEW_TOOLBAR, m_pToolBar);
    toggle(ID_VIEW_STATUS_BAR, statusBar());
    connect(m_pToolBar, &QToolBar::visibilityChanged, this,
            [this] { m_commands.Update(ID_VIEW_TOOLBAR); });
    m_commands.OnCommand(ID_APP_EXIT, [this] { close(); });
}

void CMainFrame::OnInitMenuPopup(QMenu*, int index) {
    m_commands.UpdateAll();
    // The Edit menu always offers Cut, whatever the selection: a Cut without
    // exactly one selected row does nothing (COstrevaneView::OnEditCut).
    if (index == EDIT_MENU)
        m_commands.Action(ID_EDIT_CUT)->setEnabled(true);
}

void CMainFrame::SetRecentFiles(const CRecentFileList& files) {
    for (QAction* pAction : m_recentActions)
        delete pAction;
    m_recentActions.clear();
    QMenu* pFile = m_menus.front();
    m_pRecentPlaceholder->setVisible(files.Files().isEmpty());
    for (int i = 0; i < files.Files().size(); ++i) {
        const int nID = ID_FILE_MRU_FILE1 + i;
        auto* pAction = new QAction(files.MenuText(i), pFile);
        pAction->setStatusTip(PromptOf(nID));
        connect(pAction, &QAction::triggered, this, [this, nID] {
            if (m_openRecentFile)
                m_openRecentFile(nID - ID_FILE_MRU_FILE1);
        });
        pFile->insertAction(m_pRecentPlaceholder, pAction);
        m_recentActions.push_back(pAction);
    }
}

QMenu* CMainFrame::Menu(int index) const {
    return index >= 0 && index < static_cast<int>(m_menus.size())
               ? m_menus[static_cast<std::size_t>(index)]
               : nullptr;
}

void CMainFrame::ShowEntryCount(const QString& text) {
    m_pEntryCount->setText(text);
    m_pEntryCount->setVisible(!text.isEmpty());
}

QString CMainFrame::EntryCount() const {
    return m_pEntryCount->isHidden() ? QString() : m_pEntryCount->text();
}

QString CMainFrame::Message() const {
    return statusBar()->currentMessage();
}

bool CMainFrame::event(QEvent* pEvent) {
    // Leaving a menu item or button sends an empty tip: show the idle text.
    if (pEvent->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(pEvent)->tip();
        statusBar()->showMessage(tip.isEmpty() ? LoadString(AFX_IDS_IDLEMESSAGE) : tip);
        return true;
    }
    return QMainWindow::event(pEvent);
}

void CMainFrame::closeEvent(QCloseEvent* pEvent) {
    if (m_canClose && !m_canClose()) {
        pEvent->ignore();
        return;
    }
    pEvent->accept();
}

namespace {

// The local files a drop carries; none for a drag that started in this
// program (a row dragged out and back would import its own export).
QStringList DroppedFiles(const QDropEvent* pEvent) {
    QStringList paths;
    if (pEvent->source() != nullptr)
        return paths;
    for (const QUrl& url : pEvent->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    return paths;
}

} // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent* pEvent) {
    if (!DroppedFiles(pEvent).isEmpty())
        pEvent->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* pEvent) {
    const QStringList paths = DroppedFiles(pEvent);
    if (paths.isEmpty())
        return;
    pEvent->acceptProposedAction();
    activateWindow();
    if (m_dropFiles)
        m_dropFiles(paths);
}

void CMainFrame::UpdateIndicators() {
    const std::optional<SKeyboardLocks> locks = ReadKeyboardLocks();
    const bool on[] = {locks && locks->bCaps, locks && locks->bNum, locks && locks->bScroll};
    const int ids[] = {ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};
    for (std::size_t i = 0; i < m_indicators.size(); ++i)
        m_indicators[i]->setText(on[i] ? LoadString(ids[i]) : QString());
}
