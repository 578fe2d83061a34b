// Undo and Redo through the real keys and dialogs, against a model of the
// list: every undo shows the rows as they were before the step, every redo
// as they were after it, the selection follows the entry, and "*" follows the
// step the archive was saved at.

#include "archive/OstrevaneDoc.h"
#include "platform/MessageBox.h"
#include "platform/qt/CommandMap.h"
#include "tests/ShellFixture.h"
#include "transfer/ImportDlg.h"
#include "ui/EditEntryDlg.h"
#include "ui/EntryTableModel.h"
#include "ui/MainFrame.h"
#include "ui/OstrevaneView.h"
#include "ui/Resource.h"
#include "ui/UndoHistory.h"

#include <QLineEdit>
#include <QTest>

#include <vector>

namespace {

enum class EAction {
    Cut,
    DeleteKey,
    Undo,
    Redo,
    RedoShifted,
    Edit,
    EditOverDuplicate,
    Import,
    Save
};

struct SStep {
    EAction action;
    int row;          // the row acted on (Cut, DeleteKey, Edit)
    const char* id;   // the ID typed (Edit, Import)
    int selected;     // the row selected afterwards
    int rows;         // and the rows then
    const char* note; // what the step is
};

class UndoTest : public ShellTest {
protected:
    // In file order, out of ID order; no data, so every offset is 192.
    void SetUp() override {
        ASSERT_TRUE(Start({WriteArchive("undo.dat", ArchiveOf({{1, 5, "Door            "},
                                                               {2, -2, "Bell            "},
                                                               {2, 300, "Sky             "},
                                                               {3, 1000000, "Far             "},
                                                               {0, 0, "Zero            "}}))}));
        Frame().show();
        Frame().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    }

    // Every column of every row.
    QStringList Rows() const {
        QStringList rows;
        for (int r = 0; r < View().Model().rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < CEntryTableModel::ColumnCount; ++c)
                cells << View().Model().index(r, c).data().toString();
            rows << cells.join('|');
        }
        return rows;
    }

    void Run(const SStep& step) {
        switch (step.action) {
        case EAction::Cut:
            SelectRow(step.row);
            QTest::keyClick(&View(), Qt::Key_X, Qt::ControlModifier);
            break;
        case EAction::DeleteKey:
            SelectRow(step.row);
            QTest::keyClick(&View(), Qt::Key_Delete);
            break;
        case EAction::Undo:
            QTest::keyClick(&View(), Qt::Key_Z, Qt::ControlModifier);
            break;
        case EAction::Redo:
            QTest::keyClick(&View(), Qt::Key_Y, Qt::ControlModifier);
            break;
        case EAction::RedoShifted:
            QTest::keyClick(&View(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
            break;
        case EAction::Edit:
        case EAction::EditOverDuplicate:
            if (step.action == EAction::EditOverDuplicate)
                m_messages.Answer(IDYES);
            RunDialog<CEditEntryDlg>(
                [&] {
                    SelectRow(step.row);
                    View().OnRowActivated();
                },
                [&](CEditEntryDlg& dialog) {
                    dialog.m_pId->setText(step.id);
                    dialog.OnOK();
                });
            break;
        case EAction::Import:
            m_messages.Answer(IDYES); // replace the entry of that type and ID
            ChooseFile(m_imported);
            RunDialog<CImportDlg>([&] { App().Commands().Execute(ID_FILE_IMPORT); },
                                  [&](CImportDlg& dialog) {
                                      dialog.m_pId->setText(step.id);
                                      dialog.OnOK();
                                  });
            break;
        case EAction::Save:
            App().Commands().Execute(ID_FILE_SAVE);
            break;
        }
    }

    QString m_imported;
};

// The first change sorts the list by ID.
const SStep STEPS[] = {
    {EAction::Cut, 0, "", 0, 4, "Ctrl+X on Door: the next row, Bell (-2) after the sort"},
    {EAction::Cut, 0, "", 0, 3, "Ctrl+X again deletes the next entry, Bell"},
    {EAction::DeleteKey, 0, "", 0, 2, "Delete deletes too"},
    {EAction::Undo, 0, "", 0, 3, "the entry 0 is back and selected"},
    {EAction::Undo, 0, "", 0, 4, "Bell is back and selected"},
    {EAction::Undo, 0, "", 0, 5, "Door is back: the file order and offsets as loaded"},
    {EAction::Redo, 0, "", 0, 4, "Ctrl+Y deletes Door again"},
    {EAction::Edit, 2, "7", 2, 4, "Sky's 300 becomes 7, between 0 and 1000000"},
    {EAction::Save, 0, "", 2, 4, "saved here"},
    {EAction::Undo, 0, "", 2, 4, "7 is 300 again"},
    {EAction::RedoShifted, 0, "", 2, 4, "Ctrl+Shift+Z: back at the saved step"},
    {EAction::EditOverDuplicate, 0, "7", 1, 3, "Bell takes 7, Sky deleted"},
    {EAction::Undo, 0, "", 0, 4, "one step: both back, Bell selected"},
    {EAction::Import, 0, "1000000", 3, 4, "an import replaces Far"},
    {EAction::Undo, 0, "", 3, 4, "Far is back"},
    {EAction::Redo, 0, "", 3, 4, "and replaced again"},
};

TEST_F(UndoTest, EveryStepIsTakenBackAndMadeAgainExactly) {
    m_imported = WriteArchive("import.bin", Bytes{1, 2, 3});
    g_lastImportType = 3; // Far's type
    std::vector<QStringList> states{Rows()};
    int at = 0;    // the state shown
    int saved = 0; // the state saved, -1 once it cannot be reached
    for (const SStep& step : STEPS) {
        SCOPED_TRACE(step.note);
        Run(step);
        switch (step.action) {
        case EAction::Undo:
            --at;
            break;
        case EAction::Redo:
        case EAction::RedoShifted:
            ++at;
            break;
        case EAction::Save:
            saved = at;
            break;
        default:
            states.resize(static_cast<std::size_t>(++at));
            states.push_back(Rows());
            if (saved >= at)
                saved = -1;
            break;
        }
        EXPECT_EQ(Rows(), states[static_cast<std::size_t>(at)]);
        EXPECT_EQ(View().GetSelectedRow(), step.selected);
        EXPECT_EQ(View().Model().rowCount(), step.rows);
        EXPECT_EQ(Doc().IsModified(), saved != at);
        EXPECT_EQ(Frame().isWindowModified(), saved != at);
        EXPECT_EQ(App().Commands().Action(ID_EDIT_UNDO)->isEnabled(), at > 0);
        EXPECT_EQ(App().Commands().Action(ID_EDIT_REDO)->isEnabled(),
                  at + 1 < static_cast<int>(states.size()));
    }
    EXPECT_EQ(m_messages.Messages().size(), 2u); // the questions about duplicates
    // A new archive starts a new history.
    m_messages.Answer(IDNO);
    App().Commands().Execute(ID_FILE_NEW);
    EXPECT_FALSE(App().History()->CanUndo());
    EXPECT_FALSE(App().Commands().Action(ID_EDIT_UNDO)->isEnabled());
}

} // namespace
