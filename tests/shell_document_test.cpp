// Start-up and the document commands: opening, the save-changes question,
// saving, the recent-file list and files dropped on the window.

#include "archive/OstrevaneDoc.h"
#include "platform/qt/CommandMap.h"
#include "platform/qt/SingleDocManager.h"
#include "tests/ShellFixture.h"
#include "ui/EntryTableModel.h"
#include "ui/MainFrame.h"
#include "ui/OstrevaneView.h"
#include "ui/Resource.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMimeData>
#include <QSettings>

#include <filesystem>

namespace {

using DocumentTest = ShellTest;

const std::string SAVE_QUESTION_STYLE = std::to_string(MB_YESNOCANCEL | MB_ICONEXCLAMATION);

TEST_F(DocumentTest, StartsWithAnEmptyUntitledArchive) {
    ASSERT_TRUE(Start());
    EXPECT_EQ(Frame().windowTitle(), "Untitled[*] - Ostrevane");
    EXPECT_FALSE(Frame().isWindowModified());
    EXPECT_EQ(View().Model().rowCount(), 0);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(DocumentTest, StartsWithTheNamedArchiveAndFailsOnOneThatCannotBeOpened) {
    ASSERT_TRUE(Start({WriteArchive("five.dat", HandMadeArchive())}));
    EXPECT_EQ(Frame().windowTitle(), "five.dat[*] - Ostrevane");
    EXPECT_EQ(View().Model().rowCount(), 5);

    EXPECT_FALSE(Start({QString::fromStdString(m_dir.File("missing.dat"))}));
    EXPECT_EQ(App().ExitCode(), 1);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].text.rfind("Cannot open \"", 0), 0u);
}

TEST_F(DocumentTest, WrongMagicShowsItsMessageAndLeavesAnEmptyArchive) {
    ASSERT_TRUE(
        Start({WriteArchive("foreign.dat", Bytes{'P', 'K', 3, 4, 0, 0, 0, 0, 0, 0, 0, 0})}));
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].text, "That does not look like a Ostrevane file");
    EXPECT_EQ(m_messages.Messages()[0].caption, "Error");
    EXPECT_EQ(Frame().windowTitle(), "Untitled[*] - Ostrevane");
    EXPECT_EQ(View().Model().rowCount(), 0);
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_TRUE(App().Manager()->RecentFiles().Files().isEmpty());
}

TEST_F(DocumentTest, ModifiedArchiveAsksBeforeNewAndHonoursEachAnswer) {
    const QString path = WriteArchive("five.dat", HandMadeArchive());
    const Bytes original = HandMadeArchive();
    ASSERT_TRUE(Start({path}));
    SelectRow(0);
    App().Commands().Execute(ID_EDIT_CUT);
    EXPECT_TRUE(Frame().isWindowModified());

    m_messages.Answer(IDCANCEL);
    App().Commands().Execute(ID_FILE_NEW);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].text, "Save changes to " + path.toStdString() + "?");
    EXPECT_EQ(m_messages.Messages()[0].caption, "Ostrevane");
    EXPECT_EQ(std::to_string(m_messages.Messages()[0].style), SAVE_QUESTION_STYLE);
    EXPECT_EQ(View().Model().rowCount(), 4);

    m_messages.Answer(IDNO);
    App().Commands().Execute(ID_FILE_NEW);
    EXPECT_EQ(View().Model().rowCount(), 0);
    EXPECT_EQ(ReadBytes(path.toStdString()), original);

    App().Manager()->OpenDocumentFile(path);
    SelectRow(0);
    App().Commands().Execute(ID_EDIT_CUT);
    m_messages.Answer(IDYES);
    App().Commands().Execute(ID_FILE_NEW);
    EXPECT_NE(ReadBytes(path.toStdString()), original);
    EXPECT_EQ(ReadBytes(path.toStdString()).size(), original.size() - 36 - 8);
}

TEST_F(DocumentTest, SaveAsNamesTheArchiveAndAFailedSaveKeepsItModified) {
    ASSERT_TRUE(Start());
    const std::unique_ptr<CFileEntry> pEntry(Doc().NewEntry(ENTRY_PORTRAIT, 3));
    Doc().AddEntry(*pEntry);
    ChooseFile(QString::fromStdString(m_dir.File("folder-that-is-not-there/new.dat")));
    App().Commands().Execute(ID_FILE_SAVE);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].text.rfind("Cannot save \"", 0), 0u);
    EXPECT_TRUE(Doc().IsModified());
    EXPECT_EQ(Frame().windowTitle(), "Untitled[*] - Ostrevane");

    const QString target = QString::fromStdString(m_dir.File("new.dat"));
    ChooseFile(target);
    App().Commands().Execute(ID_FILE_SAVE_AS);
    EXPECT_FALSE(Doc().IsModified());
    EXPECT_EQ(Frame().windowTitle(), "new.dat[*] - Ostrevane");
    EXPECT_EQ(ReadBytes(target.toStdString()).size(), 12u + 36u);
    EXPECT_EQ(App().Manager()->RecentFiles().Files().value(0), target);
}

TEST_F(DocumentTest, TheTenthFilePushesTheOldestOutOfTheRecentList) {
    ASSERT_TRUE(Start());
    QStringList paths;
    for (int i = 0; i < 10; ++i) {
        paths << WriteArchive("file" + std::to_string(i) + ".dat", HandMadeArchive());
        ChooseFile(paths.back());
        App().Commands().Execute(ID_FILE_OPEN);
    }
    const QStringList& recent = App().Manager()->RecentFiles().Files();
    ASSERT_EQ(recent.size(), 9);
    EXPECT_EQ(recent.front(), paths[9]);
    EXPECT_FALSE(recent.contains(paths[0]));
    // Opening a listed file again moves it to the top without a duplicate.
    App().Manager()->OpenDocumentFile(paths[3]);
    EXPECT_EQ(recent.front(), paths[3]);
    EXPECT_EQ(recent.size(), 9);

    QStringList items;
    for (QAction* pAction : Frame().Menu(0)->actions())
        if (pAction->isVisible() && pAction->text().startsWith('&') &&
            pAction->text().at(1).isDigit())
            items << pAction->text();
    ASSERT_EQ(items.size(), 9);
    EXPECT_TRUE(items[0].startsWith("&1 ") && items[0].endsWith("file3.dat"));

    ASSERT_TRUE(Frame().close());
    QSettings settings;
    EXPECT_EQ(settings.value("Recent File List/File1").toString(), paths[3]);
    EXPECT_EQ(settings.value("Recent File List/File9").toString(), paths[1]);
}

TEST_F(DocumentTest, ClosingAModifiedArchiveCanBeCancelled) {
    ASSERT_TRUE(Start({WriteArchive("five.dat", HandMadeArchive())}));
    Frame().show();
    SelectRow(0);
    App().Commands().Execute(ID_EDIT_CUT);
    m_messages.Answer(IDCANCEL);
    EXPECT_FALSE(Frame().close());
    EXPECT_TRUE(Frame().isVisible());
    m_messages.Answer(IDNO);
    EXPECT_TRUE(Frame().close());
}

TEST_F(DocumentTest, ADroppedFileOpens) {
    ASSERT_TRUE(Start());
    const QString path = WriteArchive("dropped.dat", HandMadeArchive());
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Frame(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&Frame(), &drop);
    EXPECT_EQ(View().Model().rowCount(), 5);
    EXPECT_EQ(Frame().windowTitle(), "dropped.dat[*] - Ostrevane");
}

} // namespace
