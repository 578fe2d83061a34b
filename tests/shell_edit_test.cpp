// Row activation and the Edit File Entry dialog.

#include "archive/OstrevaneDoc.h"
#include "platform/qt/SingleDocManager.h"
#include "tests/ShellFixture.h"
#include "ui/EditEntryDlg.h"
#include "ui/EntryTableModel.h"
#include "ui/MainFrame.h"
#include "ui/OstrevaneView.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class EditTest : public ShellTest {
protected:
    // Portraits 9, 3 and 7 in that file order, then overlay 3 and a
    // background 12 (a type the dialog's list does not offer).
    void SetUp() override {
        ASSERT_TRUE(Start({WriteArchive("edit.dat", ArchiveOf({{1, 9, "Nine            "},
                                                               {1, 3, "Three           "},
                                                               {1, 7, "Seven           "},
                                                               {0, 3, "Lamp            "},
                                                               {3, 12, "Sky             "}}))}));
    }

    // Activates the row showing the entry named name, handing the dialog to
    // fill; returns the dialog's result (-1 when none opened).
    int Edit(const QString& name, const std::function<void(CEditEntryDlg&)>& fill) {
        return RunDialog<CEditEntryDlg>(
            [&] {
                SelectRow(static_cast<int>(Column(1).indexOf(name)));
                View().OnRowActivated();
            },
            fill);
    }

    const CFileEntry* Named(const std::string& name) const {
        for (const CFileEntry* p = Doc().m_pHead; p != nullptr; p = p->m_pNext)
            if (std::string(p->m_name.begin(), p->m_name.begin() + name.size()) == name)
                return p;
        return nullptr;
    }
};

TEST_F(EditTest, OpensOnTheRowsEntryWithItsValuesAndOkFocused) {
    Edit("Seven", [](CEditEntryDlg& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Edit File Entry");
        EXPECT_EQ(dialog.m_pType->count(), 3);
        EXPECT_EQ(dialog.m_pType->itemText(0), "Viewport overlay");
        EXPECT_EQ(dialog.m_pType->currentText(), "Portrait");
        EXPECT_EQ(dialog.m_pId->text(), "7");
        EXPECT_EQ(dialog.m_pName->text(), "Seven");
        EXPECT_EQ(dialog.focusWidget(), dialog.m_pOk);
        EXPECT_EQ(dialog.m_pOk->nextInFocusChain(), dialog.m_pCancel);
        EXPECT_TRUE(dialog.m_pOk->isDefault());
    });
    EXPECT_EQ(ModalCount(), 1);
}

TEST_F(EditTest, OkWithoutChangesChangesNothing) {
    EXPECT_EQ(Edit("Nine", [](CEditEntryDlg& dialog) { dialog.OnOK(); }), QDialog::Accepted);
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_EQ(Column(0), QStringList({"9", "3", "7", "3", "12"})); // still in file order
}

TEST_F(EditTest, ANameWithAZeroByteComesBackSpacePadded) {
    const QString path =
        WriteArchive("zero.dat", ArchiveOf({{1, 1, std::string("Ab\0junkjunkjunk", 16)}}));
    App().Manager()->OpenDocumentFile(path);
    Edit("Ab", [](CEditEntryDlg& dialog) {
        EXPECT_EQ(dialog.m_pName->text(), "Ab");
        dialog.OnOK();
    });
    EXPECT_TRUE(Doc().IsModified());
    const std::string name(Doc().m_pHead->m_name.begin(), Doc().m_pHead->m_name.end());
    EXPECT_EQ(name, "Ab              ");
}

TEST_F(EditTest, RenamingAndRenumberingToAFreeIdReSortTheRows) {
    Edit("Nine", [](CEditEntryDlg& dialog) {
        dialog.m_pName->setText("Ninth");
        dialog.m_pId->setText("1");
        dialog.OnOK();
    });
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_EQ(Column(1), QStringList({"Ninth", "Three", "Lamp", "Seven", "Sky"}));
    EXPECT_EQ(Column(0), QStringList({"1", "3", "3", "7", "12"}));
}

TEST_F(EditTest, RenumberingOntoAnotherEntryAsksAndNoKeepsBoth) {
    const CFileEntry* pNine = Named("Nine");
    EXPECT_EQ(Edit("Nine",
                   [&](CEditEntryDlg& dialog) {
                       dialog.m_pId->setText("3");
                       m_messages.Answer(IDNO);
                       dialog.OnOK();
                       ASSERT_EQ(m_messages.Messages().size(), 1u);
                       const RecordedMessage& question = m_messages.Messages()[0];
                       EXPECT_EQ(question.text,
                                 "There already exists a file\nentry with that type and ID.\n"
                                 "Should we delete the old entry\nand replace it with this one?");
                       EXPECT_EQ(question.caption, "Warning--Duplicate entry");
                       EXPECT_EQ(question.style, 52u);
                       EXPECT_EQ(question.pOwner, &dialog);
                       EXPECT_EQ(dialog.m_pId->text(), "3");
                   }),
              QDialog::Rejected);
    EXPECT_EQ(Doc().CountEntries(), 5);
    EXPECT_EQ(pNine->m_id, 9);
    EXPECT_FALSE(Doc().IsModified());
}

// The list was not in ID order when loaded: removing the other entry
// re-sorts it, and the change must still reach the entry the dialog shows.
TEST_F(EditTest, YesDeletesTheOtherEntryThenRenumbersTheOneEdited) {
    const CFileEntry* pNine = Named("Nine");
    Edit("Nine", [&](CEditEntryDlg& dialog) {
        dialog.m_pId->setText("3");
        m_messages.Answer(IDYES);
        dialog.OnOK();
    });
    EXPECT_EQ(Doc().CountEntries(), 4);
    EXPECT_EQ(Named("Three"), nullptr);
    ASSERT_EQ(Named("Nine"), pNine);
    EXPECT_EQ(pNine->m_id, 3);
    EXPECT_EQ(Named("Seven")->m_id, 7);
    // Stable by ID: Lamp held ID 3 first.
    EXPECT_EQ(Column(1), QStringList({"Lamp", "Nine", "Seven", "Sky"}));
}

TEST_F(EditTest, IdsMustBeUnsignedDecimalNumbers) {
    Edit("Seven", [&](CEditEntryDlg& dialog) {
        for (const char* bad : {"-1", "12ab", "", "4294967296"}) {
            m_messages.Clear();
            dialog.m_pId->setText(bad);
            dialog.OnOK();
            ASSERT_EQ(m_messages.Messages().size(), 1u) << bad;
            EXPECT_EQ(m_messages.Messages()[0].text, "Please enter an unsigned integer.");
            EXPECT_EQ(dialog.result(), QDialog::Rejected);
            EXPECT_EQ(dialog.focusWidget(), dialog.m_pId);
        }
        dialog.m_pId->setText(" 4294967295 "); // the pattern of -1: the ID stays
        dialog.OnOK();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    });
    EXPECT_EQ(Named("Seven")->m_id, 7);
    EXPECT_FALSE(Doc().IsModified());
}

// 4294967295 is the template's "keep the ID", so the entry keeps its ID and
// another entry whose ID is -1 is not in its way.
TEST_F(EditTest, TheIdOfAllOnesKeepsTheIdAndDeletesNoEntryWithIdMinusOne) {
    const QString path = WriteArchive(
        "minus.dat", ArchiveOf({{1, 7, "Seven           "}, {1, -1, "Minus           "}}));
    App().Manager()->OpenDocumentFile(path);
    const int result = Edit("Seven", [](CEditEntryDlg& dialog) {
        dialog.m_pId->setText("4294967295");
        dialog.m_pName->setText("Seventh");
        dialog.OnOK();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_EQ(Column(0), QStringList({"-1", "7"}));
    EXPECT_EQ(Column(1), QStringList({"Minus", "Seventh"}));
}

TEST_F(EditTest, NamesStopAtSixteenCharacters) {
    Edit("Seven", [](CEditEntryDlg& dialog) {
        dialog.m_pName->clear();
        QTest::keyClicks(dialog.m_pName, "abcdefghijklmnopqrstu");
        EXPECT_EQ(dialog.m_pName->text(), "abcdefghijklmnop");
        // A longer text the program put there stays, and may only shrink.
        dialog.m_strName = "seventeen letters";
        dialog.UpdateData(false);
        QTest::keyClicks(dialog.m_pName, "x");
        EXPECT_EQ(dialog.m_pName->text(), "seventeen letters");
        QTest::keyClick(dialog.m_pName, Qt::Key_Backspace);
        EXPECT_EQ(dialog.m_pName->text(), "seventeen letter");
        QTest::keyClick(dialog.m_pName, Qt::Key_Backspace);
        QKeyEvent polish(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                         QString::fromUtf8("\u0142"));
        QApplication::sendEvent(dialog.m_pName, &polish);
        EXPECT_EQ(dialog.m_pName->text(), "seventeen lette"); // not Latin-1
    });
}

TEST_F(EditTest, ATypeTheListLacksShowsNoneAndStaysUnlessOneIsPicked) {
    Edit("Sky", [](CEditEntryDlg& dialog) {
        EXPECT_EQ(dialog.m_pType->currentIndex(), -1);
        dialog.m_pName->setText("Sky2");
        dialog.OnOK();
    });
    EXPECT_EQ(Named("Sky2")->m_type, ENTRY_BACKGROUNDS);
    Edit("Sky2", [](CEditEntryDlg& dialog) {
        dialog.m_pType->setCurrentIndex(ENTRY_PORTRAIT);
        dialog.OnOK();
    });
    EXPECT_EQ(Named("Sky2")->m_type, ENTRY_PORTRAIT);
}

TEST_F(EditTest, DoubleClickAndEnterActivateSingleClicksAndNoSelectionDoNot) {
    Frame().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
    const QRect row = View().visualRect(View().Model().index(2, 1));
    QTest::mouseClick(View().viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(ModalCount(), 0);
    QTest::mouseDClick(View().viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(ModalCount(), 1);
    QTest::keyClick(&View(), Qt::Key_Return);
    EXPECT_EQ(ModalCount(), 2);
    View().clearSelection();
    QTest::keyClick(&View(), Qt::Key_Return);
    View().OnRowActivated();
    EXPECT_EQ(ModalCount(), 2);
}

} // namespace
