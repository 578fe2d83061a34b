// The entry list: columns, row texts, deleting, and rows acting on exactly
// the entry they show.

#include "archive/OstrevaneDoc.h"
#include "platform/qt/CommandMap.h"
#include "tests/ShellFixture.h"
#include "ui/EntryTableModel.h"
#include "ui/MainFrame.h"
#include "ui/OstrevaneView.h"
#include "ui/Resource.h"

#include <QDialog>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTest>
#include <QToolBar>

#include <memory>

namespace {

class ViewTest : public ShellTest {
protected:
    void SetUp() override { ASSERT_TRUE(Start({WriteArchive("hand.dat", HandMadeArchive())})); }
};

TEST_F(ViewTest, ColumnsHaveTheirTitlesWidthsAndAlignment) {
    const CEntryTableModel& model = View().Model();
    QStringList titles;
    for (int c = 0; c < model.columnCount(); ++c)
        titles << model.headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titles, QStringList({"ID", "Name", "Type", "Size", "Packed", "File Offset"}));
    // In proportion to the design's widths, and never narrower.
    const int widths[] = {50, 200, 100, 60, 60, 80};
    const double scale = View().header()->sectionSize(1) / 200.0;
    EXPECT_GE(scale, 1.0);
    // The ID column also holds the longest ID.
    EXPECT_GT(View().header()->sectionSize(0),
              View().fontMetrics().horizontalAdvance("-2147483648"));
    EXPECT_GE(View().header()->sectionSize(0), 50 * scale - 1);
    for (int c = 1; c < 6; ++c) {
        EXPECT_NEAR(View().header()->sectionSize(c), widths[c] * scale, 1.0) << c;
    }
    for (int c = 0; c < 6; ++c) {
        const bool bRight = (model.index(0, c).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                             Qt::AlignRight) != 0;
        EXPECT_EQ(bRight, c >= 3) << c;
    }
    EXPECT_FALSE(View().header()->sectionsClickable());
    EXPECT_EQ(View().editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(View().selectionMode(), QAbstractItemView::SingleSelection);
}

TEST_F(ViewTest, RowsShowTheFileOrderWithTheirTexts) {
    EXPECT_EQ(Column(0), QStringList({"5", "-2", "300", "1000000", "0"}));
    EXPECT_EQ(Column(1), QStringList({"Door", "Bell", "", QString::fromLatin1("Tab\t\xE9t\xE9"),
                                      "ABCDEFGHIJKLMNOP"}));
    EXPECT_EQ(Column(2), QStringList({"Portrait", "Sound", "Backgrounds", "Unknown", "Unknown"}));
    EXPECT_EQ(Column(3), QStringList({"20", "3", "0", "12345", "0"}));
    EXPECT_EQ(Column(4), QStringList({"8", "4", "0", "4", "0"}));
    EXPECT_EQ(Column(5), QStringList({"192", "200", "204", "204", "208"}));
    EXPECT_EQ(View().Model().index(0, 0).data(Qt::UserRole).toUInt(), 0x01000005u);
}

TEST_F(ViewTest, RowKeysDecodeToTypeAndId) {
    CFileEntry entry;
    entry.m_type = 2;
    entry.m_id = 300;
    EXPECT_EQ(RowKey(entry), 0x0200012Cu);
    EXPECT_EQ(KeyType(0x0200012C), 2);
    EXPECT_EQ(KeyId(0x0200012C), 300);
}

TEST_F(ViewTest, CutDeletesTheSelectedEntryEveryWay) {
    Frame().show();
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    QAction* pCut = App().Commands().Action(ID_EDIT_CUT);
    pCut->trigger(); // nothing selected
    QTest::keyClick(&View(), Qt::Key_Delete);
    EXPECT_EQ(Doc().CountEntries(), 5);
    EXPECT_FALSE(Doc().IsModified());

    SelectRow(0);
    pCut->trigger(); // Edit > Cut
    EXPECT_EQ(Doc().CountEntries(), 4);
    EXPECT_TRUE(Doc().IsModified());
    QTest::mouseClick(Frame().ToolBar()->widgetForAction(pCut), Qt::LeftButton);
    EXPECT_EQ(Doc().CountEntries(), 3);
    QTest::keyClick(&View(), Qt::Key_X, Qt::ControlModifier);
    QTest::keyClick(&View(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(Doc().CountEntries(), 1);
    QTest::keyClick(&View(), Qt::Key_Delete);
    EXPECT_EQ(Doc().CountEntries(), 0);
    EXPECT_EQ(View().Model().rowCount(), 0);
}

TEST_F(ViewTest, RemovingAnEntryShowsTheNewOffsetsInIdOrder) {
    SelectRow(1); // Bell, type 2, ID -2
    App().Commands().Execute(ID_EDIT_CUT);
    // Sorted by ID now; four records and the remaining payloads.
    EXPECT_EQ(Column(0), QStringList({"0", "5", "300", "1000000"}));
    EXPECT_EQ(Column(5), QStringList({"156", "156", "164", "164"}));
}

TEST_F(ViewTest, RowsActOnTheEntryTheyShowEvenWhenKeysCollide) {
    // Type 1 ID 5 and a second entry whose key decodes to the same pair.
    CFileEntry twin;
    twin.m_type = 1;
    twin.m_id = 5 | 0x01000000; // its key is 0x01000005 as well
    Doc().AddEntry(twin);
    ASSERT_EQ(View().Model().rowCount(), 6);
    const int twinRow = static_cast<int>(Column(0).indexOf("16777221"));
    SelectRow(twinRow);
    CFileEntry* pShown = View().Model().EntryAt(twinRow);
    App().Commands().Execute(ID_EDIT_CUT);
    EXPECT_FALSE(Column(0).contains("16777221"));
    EXPECT_TRUE(Column(0).contains("5"));
    EXPECT_FALSE(Doc().ContainsEntry(pShown));
}

TEST_F(ViewTest, HintZeroClearsAndReopeningKeepsSixColumns) {
    Doc().UpdateAllViews(nullptr, 0);
    EXPECT_EQ(View().Model().rowCount(), 0);
    Doc().UpdateAllViews(nullptr, HINT_ENTRY_CHANGED);
    EXPECT_EQ(View().Model().rowCount(), 5);
    App().Commands().Execute(ID_FILE_NEW);
    EXPECT_EQ(View().Model().rowCount(), 0);
    EXPECT_EQ(View().Model().columnCount(), 6);
    EXPECT_EQ(g_columnsCreated, 1);
}

TEST_F(ViewTest, PrintingRendersTheTableOnAsManyPagesAsItNeeds) {
    for (int i = 0; i < 300; ++i) {
        const std::unique_ptr<CFileEntry> pEntry(Doc().NewEntry(ENTRY_SOUND, 1000 + i));
        Doc().AddEntry(*pEntry);
    }
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const std::string pdf = m_dir.File("table.pdf");
    printer.setOutputFileName(QString::fromStdString(pdf));
    ASSERT_TRUE(View().PrintTo(printer));
    const Bytes bytes = ReadBytes(pdf);
    const std::string text(bytes.begin(), bytes.end());
    std::size_t pages = 0;
    for (std::size_t at = text.find("/Type /Page\n"); at != std::string::npos;
         at = text.find("/Type /Page\n", at + 1))
        ++pages;
    EXPECT_GE(pages, 4u);
}

TEST_F(ViewTest, PrintCommandsOpenTheirDialogs) {
    QStringList opened;
    for (int i = 0; i < 3; ++i)
        OnModal([&](QDialog& dialog) {
            opened << dialog.metaObject()->className();
            return static_cast<int>(QDialog::Rejected);
        });
    App().Commands().Execute(ID_FILE_PRINT);
    App().Commands().Execute(ID_FILE_PRINT_PREVIEW);
    App().Commands().Execute(ID_FILE_PRINT_SETUP);
    EXPECT_EQ(opened, QStringList({"QPrintDialog", "QPrintPreviewDialog", "QPageSetupDialog"}));
}

using PrintSwitchTest = ShellTest;

TEST_F(PrintSwitchTest, PrintsWithoutShowingTheWindowAndSaysWhenItCannot) {
    if (!QPrinterInfo::defaultPrinter().isNull())
        GTEST_SKIP() << "this machine has a default printer; the test would print on it";
    EXPECT_FALSE(Start({"--print", WriteArchive("hand.dat", HandMadeArchive())}));
    EXPECT_EQ(App().ExitCode(), 1);
    EXPECT_FALSE(Frame().isVisible());
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].text, "There is no printer to print to.");

    EXPECT_FALSE(Start({"--print", QString::fromStdString(m_dir.File("missing.dat"))}));
    EXPECT_EQ(App().ExitCode(), 1);
    EXPECT_EQ(m_messages.Messages().back().text.rfind("Cannot open \"", 0), 0u);
}

} // namespace

namespace {

// Rows: 5 Door (Portrait), -2 Bell (Sound), 300 (Backgrounds), 1000000
// "Tab..." (Unknown), 0 "ABCDEFGHIJKLMNOP" (Unknown).
TEST_F(ViewTest, TheFilterShowsMatchingRowsAndCountsThem) {
    Frame().show();
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    QTest::keyClick(&View(), Qt::Key_F, Qt::ControlModifier);
    auto* pFilter = Frame().findChild<QLineEdit*>("filter");
    ASSERT_NE(pFilter, nullptr);
    EXPECT_TRUE(pFilter->hasFocus());
    const struct {
        const char* typed;
        QStringList ids;
    } rows[] = {
        {"bell", {"-2"}},              // a name, in any case
        {"00", {"300", "1000000"}},    // an ID
        {"UNKNOWN", {"1000000", "0"}}, // a type
        {"nothing like it", {}},       //
        {"", {"5", "-2", "300", "1000000", "0"}},
    };
    for (const auto& row : rows) {
        pFilter->setText(row.typed);
        EXPECT_EQ(Column(0), row.ids) << row.typed;
        EXPECT_EQ(Frame().EntryCount(),
                  *row.typed ? QString("%1 of 5 entries").arg(row.ids.size()) : QString());
    }
    // Commands act on the row shown; the document keeps its order.
    QTest::keyClicks(pFilter, "unknown");
    QTest::keyClick(pFilter, Qt::Key_Down);
    EXPECT_TRUE(View().hasFocus());
    SelectRow(1);
    QTest::keyClick(&View(), Qt::Key_Delete);
    EXPECT_EQ(Column(0), QStringList({"1000000"}));
    EXPECT_EQ(Frame().EntryCount(), "1 of 4 entries");
    QTest::keyClick(pFilter, Qt::Key_Escape);
    EXPECT_EQ(pFilter->text(), "");
    EXPECT_EQ(Column(0), QStringList({"-2", "5", "300", "1000000"}));
    EXPECT_EQ(View().GetSelectedRow(), 3); // still the entry 1000000
}

} // namespace
