// Start-up and the document commands: opening, the save-changes question,
// saving, the recent-file list and files dropped on the window.

#include "archive/OstrevaneDoc.h"
#include "platform/qt/CommandMap.h"
#include "platform/qt/SingleDocManager.h"
#include "tests/ShellFixture.h"
#include "transfer/ImportDlg.h"
#include "ui/EntryTableModel.h"
#include "ui/MainFrame.h"
#include "ui/OstrevaneView.h"
#include "ui/Resource.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSettings>

#include <filesystem>
#include <memory>
#include <vector>

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

// Drops carry real mime data: an archive opens, other files are offered
// for import one dialog after another (Cancel skips one), and the archive
// open stays open.
TEST_F(DocumentTest, DroppedArchivesOpenAndOtherFilesAreImported) {
    ASSERT_TRUE(Start());
    const QString archive = WriteArchive("dropped.dat", HandMadeArchive());
    const QString a = WriteArchive("a.bin", {1, 2, 3}), b = WriteArchive("b.bin", {4, 5});
    const struct {
        QStringList files;
        std::vector<bool> imported; // the answers to the dialogs, in order
        int rows;
        QStringList names; // shown in the Importing File dialogs
    } drops[] = {
        {{archive}, {}, 5, {}},
        {{a}, {true}, 6, {"a"}},
        {{a, b}, {false, true}, 7, {"a", "b"}},
    };
    for (const auto& drop : drops) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& file : drop.files)
            urls << QUrl::fromLocalFile(file);
        data.setUrls(urls);
        QStringList names;
        for (const bool bImport : drop.imported)
            OnModal([&names, bImport](QDialog& dialog) {
                auto& import = dynamic_cast<CImportDlg&>(dialog);
                names << import.m_pName->text();
                import.m_pId->setText(QString::number(90 + names.size()));
                if (bImport)
                    import.OnOK();
                return import.result();
            });
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(&Frame(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&Frame(), &event);
        EXPECT_EQ(names, drop.names);
        EXPECT_EQ(View().Model().rowCount(), drop.rows);
        EXPECT_EQ(Frame().windowTitle(), "dropped.dat[*] - Ostrevane");
    }
}

// Dragging a row out carries the file Export writes, named as Export All
// names it.
TEST_F(DocumentTest, ARowDraggedOutCarriesItsExportedFile) {
    ASSERT_TRUE(Start({WriteArchive(
        "drag.dat", ArchiveBuilder().Packed(1, 4, "Elder", Bytes(500, 'e')).Build())}));
    View().clearSelection();
    EXPECT_EQ(View().DragDataForSelection(), nullptr);
    SelectRow(0);
    const std::unique_ptr<QMimeData> pData(View().DragDataForSelection());
    ASSERT_NE(pData, nullptr);
    ASSERT_EQ(pData->urls().size(), 1);
    const QString path = pData->urls().constFirst().toLocalFile();
    EXPECT_TRUE(path.endsWith("/portrait-4-Elder.bmp"));
    EXPECT_EQ(ReadBytes(path.toStdString()), Bytes(500, 'e'));
}

} // namespace
