// The main frame: menus, keys, toolbar, status bar and the About box.

#include "archive/OstrevaneDoc.h"
#include "platform/qt/CommandMap.h"
#include "tests/ShellFixture.h"
#include "ui/AboutDlg.h"
#include "ui/EntryTableModel.h"
#include "ui/MainFrame.h"
#include "ui/OstrevaneView.h"
#include "ui/Resource.h"

#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

namespace {

QStringList MenuTexts(QMenu* pMenu) {
    QStringList texts;
    for (QAction* pAction : pMenu->actions())
        if (pAction->isVisible())
            texts << (pAction->isSeparator() ? QString("-") : pAction->text());
    return texts;
}

class FrameTest : public ShellTest {
protected:
    void SetUp() override { ASSERT_TRUE(Start({WriteArchive("two.dat", HandMadeArchive())})); }
    QAction* Action(int nID) { return App().Commands().Action(nID); }
    void OpenMenu(int index) { emit Frame().Menu(index)->aboutToShow(); }
};

TEST_F(FrameTest, MenusHoldEveryItemInOrderWithItsText) {
    QStringList titles;
    for (QAction* pAction : Frame().menuBar()->actions())
        titles << pAction->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&View", "&Help"}));
    // The archive opened at start-up stands where "Recent File" stands while
    // the list is empty.
    QStringList file = MenuTexts(Frame().Menu(0));
    ASSERT_EQ(file.size(), 16);
    EXPECT_TRUE(file[13].startsWith("&1 ") && file[13].endsWith("two.dat"));
    file[13] = "Recent File";
    EXPECT_EQ(file, QStringList({"&New\tCtrl+N", "&Open...\tCtrl+O", "&Save\tCtrl+S", "Save &As...",
                                 "-", "&Import File", "&Export File", "Export &All...", "-",
                                 "&Print...\tCtrl+P", "Print Pre&view", "P&rint Setup...", "-",
                                 "Recent File", "-", "E&xit"}));
    EXPECT_EQ(MenuTexts(Frame().Menu(1)),
              QStringList({"&Undo\tCtrl+Z", "&Redo\tCtrl+Y", "-", "Cu&t\tCtrl+X", "&Copy\tCtrl+C",
                           "&Paste\tCtrl+V"}));
    EXPECT_EQ(MenuTexts(Frame().Menu(2)), QStringList({"&Toolbar", "&Status Bar", "Pre&view"}));
    EXPECT_EQ(MenuTexts(Frame().Menu(3)), QStringList({"&About Ostrevane..."}));
}

TEST_F(FrameTest, EveryKeyBelongsToItsCommand) {
    const std::vector<std::pair<const char*, int>> keys = {
        {"Ctrl+N", ID_FILE_NEW},        {"Ctrl+O", ID_FILE_OPEN},   {"Ctrl+S", ID_FILE_SAVE},
        {"Ctrl+P", ID_FILE_PRINT},      {"Ctrl+Z", ID_EDIT_UNDO},   {"Ctrl+X", ID_EDIT_CUT},
        {"Ctrl+C", ID_EDIT_COPY},       {"Ctrl+V", ID_EDIT_PASTE},  {"Alt+Backspace", ID_EDIT_UNDO},
        {"Shift+Del", ID_EDIT_CUT},     {"Ctrl+Ins", ID_EDIT_COPY}, {"Shift+Ins", ID_EDIT_PASTE},
        {"F6", ID_NEXT_PANE},           {"Shift+F6", ID_PREV_PANE}, {"Ctrl+Y", ID_EDIT_REDO},
        {"Ctrl+Shift+Z", ID_EDIT_REDO},
    };
    int owned = 0;
    for (QAction* pAction : Frame().actions())
        owned += static_cast<int>(pAction->shortcuts().size());
    EXPECT_EQ(owned, 16);
    for (const auto& [key, nID] : keys)
        EXPECT_TRUE(Action(nID)->shortcuts().contains(QKeySequence(key))) << key;
}

TEST_F(FrameTest, CommandsWithoutHandlersAreDisabledAndCutOpensEnabled) {
    App().Commands().UpdateAll();
    for (int nID :
         {ID_EDIT_UNDO, ID_EDIT_REDO, ID_EDIT_COPY, ID_EDIT_PASTE, ID_NEXT_PANE, ID_PREV_PANE})
        EXPECT_FALSE(Action(nID)->isEnabled()) << nID;
    for (int nID : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_FILE_IMPORT,
                    ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, ID_FILE_PRINT_SETUP, ID_APP_EXIT,
                    ID_APP_ABOUT, ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR})
        EXPECT_TRUE(Action(nID)->isEnabled()) << nID;
    Action(ID_EDIT_CUT)->setEnabled(false);
    OpenMenu(1);
    EXPECT_TRUE(Action(ID_EDIT_CUT)->isEnabled());
    EXPECT_FALSE(Action(ID_EDIT_UNDO)->isEnabled());
}

TEST_F(FrameTest, ExportFollowsTheSelectionImportIsAlwaysOn) {
    OpenMenu(0);
    EXPECT_FALSE(Action(ID_FILE_EXPORT)->isEnabled());
    EXPECT_TRUE(Action(ID_FILE_IMPORT)->isEnabled());
    SelectRow(1);
    EXPECT_TRUE(Action(ID_FILE_EXPORT)->isEnabled());
    View().clearSelection();
    EXPECT_FALSE(Action(ID_FILE_EXPORT)->isEnabled());
    SelectRow(0);
    Action(ID_EDIT_CUT)->trigger(); // the next row is selected
    EXPECT_TRUE(Action(ID_FILE_EXPORT)->isEnabled());
    EXPECT_TRUE(Action(ID_FILE_IMPORT)->isEnabled());
}

TEST_F(FrameTest, ToolbarHasTenButtonsWithTooltipsButImportAndExport) {
    QStringList layout;
    for (QAction* pAction : Frame().ToolBar()->actions())
        layout << (pAction->isSeparator() ? QString("|")
                                          : QString::number(CCommandMap::CommandOf(pAction)));
    EXPECT_EQ(layout.join(' '),
              "57600 57601 57603 | 32771 32772 | 57635 57634 57637 | 57607 | 57664");
    EXPECT_EQ(Action(ID_FILE_NEW)->toolTip(), "New");
    EXPECT_EQ(Action(ID_APP_ABOUT)->toolTip(), "About");
    Frame().show();
    for (int nID : {ID_FILE_IMPORT, ID_FILE_EXPORT, ID_FILE_NEW}) {
        QToolTip::hideText();
        QWidget* pButton = Frame().ToolBar()->widgetForAction(Action(nID));
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), pButton->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(pButton, &help);
        EXPECT_EQ(QToolTip::text(), nID == ID_FILE_NEW ? "New" : "") << nID;
    }
    EXPECT_EQ(Frame().ToolBar()->allowedAreas(), Qt::AllToolBarAreas);
    EXPECT_TRUE(Frame().ToolBar()->isMovable());
}

TEST_F(FrameTest, StatusBarShowsPromptsThenReady) {
    EXPECT_EQ(Frame().Message(), "Ready");
    EXPECT_EQ(Action(ID_FILE_IMPORT)->statusTip(), "Import SelectedFile");
    EXPECT_EQ(Action(ID_FILE_EXPORT)->statusTip(), "Export Selected File");
    EXPECT_EQ(Action(ID_FILE_NEW)->statusTip(), "Create a new document");
    QStatusTipEvent hover(Action(ID_FILE_EXPORT)->statusTip());
    QApplication::sendEvent(&Frame(), &hover);
    EXPECT_EQ(Frame().Message(), "Export Selected File");
    QStatusTipEvent leave{QString()};
    QApplication::sendEvent(&Frame(), &leave);
    EXPECT_EQ(Frame().Message(), "Ready");
    ASSERT_EQ(Frame().Indicators().size(), 3u);
    EXPECT_EQ(Frame().Indicators()[0]->objectName(), "CAP");
    EXPECT_EQ(Frame().Indicators()[2]->objectName(), "SCRL");
}

TEST_F(FrameTest, ViewMenuHidesAndShowsTheBarsWithACheckMark) {
    OpenMenu(2);
    EXPECT_TRUE(Action(ID_VIEW_TOOLBAR)->isChecked());
    EXPECT_TRUE(App().Commands().Execute(ID_VIEW_TOOLBAR));
    OpenMenu(2);
    EXPECT_TRUE(Frame().ToolBar()->isHidden());
    EXPECT_FALSE(Action(ID_VIEW_TOOLBAR)->isChecked());
    EXPECT_TRUE(App().Commands().Execute(ID_VIEW_STATUS_BAR));
    EXPECT_TRUE(Frame().statusBar()->isHidden());
    App().Commands().Execute(ID_VIEW_TOOLBAR);
    App().Commands().Execute(ID_VIEW_STATUS_BAR);
    OpenMenu(2);
    EXPECT_FALSE(Frame().ToolBar()->isHidden());
    EXPECT_TRUE(Action(ID_VIEW_STATUS_BAR)->isChecked());
}

TEST_F(FrameTest, AboutBoxShowsNameVersionAndNotice) {
    QStringList texts;
    QString title;
    OnModal([&](QDialog& dialog) {
        title = dialog.windowTitle();
        for (QLabel* pLabel : dialog.findChildren<QLabel*>())
            texts << pLabel->text();
        return static_cast<int>(QDialog::Accepted);
    });
    EXPECT_TRUE(App().Commands().Execute(ID_APP_ABOUT));
    EXPECT_EQ(title, "About Ostrevane");
    EXPECT_TRUE(texts.contains("Ostrevane Version " OSTREVANE_VERSION));
    EXPECT_EQ(ModalCount(), 1);
}

TEST_F(FrameTest, KeysReachTheirCommandsAndPaneKeysDoNothing) {
    Frame().show();
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    const int rows = View().Model().rowCount();
    SelectRow(0);
    QTest::keyClick(&View(), Qt::Key_F6);
    QTest::keyClick(&View(), Qt::Key_F6, Qt::ShiftModifier);
    QTest::keyClick(&View(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(View().Model().rowCount(), rows - 1);
    QTest::keyClick(&View(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(View().Model().rowCount(), rows - 2);
    QTest::keyClick(&View(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(View().Model().rowCount(), rows - 1);
    QTest::keyClick(&View(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(View().Model().rowCount(), rows - 2);
    // Ctrl+N asks about the changes: Cancel keeps the archive.
    m_messages.Answer(IDCANCEL);
    QTest::keyClick(&View(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(View().Model().rowCount(), rows - 2);
}

// The first window fits the screen's free area; a later start restores
// where the last one was left.
TEST_F(FrameTest, TheWindowFitsTheScreenAndComesBackWhereItWasLeft) {
    const QRect free = Frame().screen()->availableGeometry();
    EXPECT_LE(Frame().width(), free.width() * 0.9 + 1);
    EXPECT_LE(Frame().height(), free.height() * 0.9 + 1);
    EXPECT_TRUE(free.contains(Frame().geometry().center()));
    Frame().resize(640, 360);
    ASSERT_TRUE(Frame().close());
    ASSERT_TRUE(Start());
    EXPECT_EQ(Frame().size(), QSize(640, 360));
}

} // namespace
