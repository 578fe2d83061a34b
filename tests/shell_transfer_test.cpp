// Import and export in the editor: the file dialogs, the Importing File
// dialog and its proposals, and the export command.

#include "archive/OstrevaneDoc.h"
#include "platform/qt/CommandMap.h"
#include "platform/qt/WaitProgress.h"
#include "tests/ShellFixture.h"
#include "transfer/ImportDlg.h"
#include "ui/EntryTableModel.h"
#include "ui/OstrevaneView.h"
#include "ui/Resource.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressDialog>
#include <QSettings>
#include <QTest>

namespace {

class TransferTest : public ShellTest {
protected:
    void SetUp() override {
        g_lastImportType = 0;
        ASSERT_TRUE(Start());
    }

    QString MakeFile(const std::string& name, const Bytes& bytes) {
        return WriteArchive(name, bytes);
    }

    // Runs File > Import File on path, handing the dialog to fill (which may
    // press OK any number of times); returns the dialog's result.
    int Import(const QString& path, const std::function<void(CImportDlg&)>& fill) {
        ChooseFile(path);
        return RunDialog<CImportDlg>([&] { App().Commands().Execute(ID_FILE_IMPORT); }, fill);
    }

    static void Press(CImportDlg& dialog) { dialog.OnOK(); }
    static void PickType(CImportDlg& dialog, int type) {
        dialog.m_pType->setCurrentIndex(type);
        dialog.OnSelchangeType();
    }
};

TEST_F(TransferTest, ImportAsksForAFileThenStoresItAsProposed) {
    const Bytes picture(3000, 0x42);
    const QString path = MakeFile("forest.night.bmp", picture);
    EXPECT_EQ(Import(path,
                     [](CImportDlg& dialog) {
                         EXPECT_EQ(dialog.windowTitle(), "Importing File");
                         EXPECT_EQ(dialog.m_pFileName->text(), dialog.m_strPath);
                         EXPECT_TRUE(dialog.m_pFileName->isReadOnly());
                         EXPECT_EQ(dialog.m_pName->text(), "forest.night");
                         EXPECT_EQ(dialog.m_pType->currentText(), "Viewport Overlay");
                         EXPECT_EQ(dialog.m_pId->text(), "1");
                         Press(dialog);
                     }),
              QDialog::Accepted);
    EXPECT_TRUE(m_lastFileDialog.bOpen);
    EXPECT_EQ(m_lastFileDialog.defaultExt, "dat");
    EXPECT_EQ(m_lastFileDialog.initialName, "");
    EXPECT_EQ(m_lastFileDialog.filters,
              QStringList({"Bitmap (*.bmp)", "Wave (*.wav)", "All files (*)"}));
    EXPECT_EQ(m_lastFileDialog.pParent, &View());
    EXPECT_EQ(Column(1), QStringList({"forest.night"}));
    EXPECT_EQ(Column(2), QStringList({"Viewport Overlay"}));
    EXPECT_EQ(Column(3), QStringList({"3000"}));
    EXPECT_TRUE(Doc().IsModified());
}

TEST_F(TransferTest, TheLastTypePickedCarriesOverEvenFromACancelledDialog) {
    const QString wave = MakeFile("bell.wav", MakeWave(10));
    Import(wave, [](CImportDlg& dialog) { PickType(dialog, ENTRY_SOUND); });
    EXPECT_EQ(Doc().CountEntries(), 0);
    EXPECT_EQ(g_lastImportType, ENTRY_SOUND);
    Import(wave, [](CImportDlg& dialog) {
        EXPECT_EQ(dialog.m_pType->currentIndex(), ENTRY_SOUND);
        EXPECT_EQ(dialog.m_pId->text(), "1");
        dialog.m_pId->setText("7");
        Press(dialog);
    });
    Import(wave, [](CImportDlg& dialog) { EXPECT_EQ(dialog.m_pId->text(), "8"); });
}

TEST_F(TransferTest, ChangingTheTypeProposesItsIdUnlessTheNameIsTooLong) {
    const QString path = MakeFile("a.bmp", Bytes(10, 1));
    Import(path, [](CImportDlg& dialog) { Press(dialog); }); // overlay 1
    Import(path, [&](CImportDlg& dialog) {
        dialog.m_pId->setText("40");
        PickType(dialog, ENTRY_PORTRAIT);
        EXPECT_EQ(dialog.m_pId->text(), "1"); // 40 replaced
        PickType(dialog, ENTRY_VIEWPORT_OVERLAY);
        EXPECT_EQ(dialog.m_pId->text(), "2");
        // An empty ID does not stop the change: the box gets the proposal.
        dialog.m_pId->clear();
        PickType(dialog, ENTRY_PORTRAIT);
        EXPECT_EQ(dialog.m_pId->text(), "1");
        EXPECT_EQ(g_lastImportType, ENTRY_PORTRAIT);
        // A name over 16 characters stops the reading before the type.
        dialog.m_strName = "seventeen letters";
        dialog.UpdateData(false);
        m_messages.Clear();
        PickType(dialog, ENTRY_SOUND);
        EXPECT_EQ(dialog.m_pType->currentIndex(), ENTRY_PORTRAIT);
        EXPECT_EQ(g_lastImportType, ENTRY_PORTRAIT);
        ASSERT_FALSE(m_messages.Messages().empty());
        EXPECT_EQ(m_messages.Messages().back().text, "Please enter no more than 16 characters.");
    });
}

TEST_F(TransferTest, FailuresKeepTheDialogOpenWithItsFields) {
    const QString bitmap = MakeFile("door.bmp", Bytes(100, 7));
    EXPECT_EQ(Import(bitmap,
                     [&](CImportDlg& dialog) {
                         PickType(dialog, ENTRY_SOUND);
                         dialog.m_pName->setText("Bell");
                         Press(dialog); // not a wave file
                         ASSERT_EQ(m_messages.Messages().size(), 1u);
                         EXPECT_EQ(m_messages.Messages()[0].text,
                                   "That does not look like a Wave File");
                         EXPECT_EQ(m_messages.Messages()[0].pOwner, &dialog);
                         EXPECT_EQ(dialog.m_pName->text(), "Bell");
                         EXPECT_EQ(dialog.m_pType->currentIndex(), ENTRY_SOUND);
                         EXPECT_EQ(dialog.result(), QDialog::Rejected);
                     }),
              QDialog::Rejected);
    EXPECT_EQ(Doc().CountEntries(), 0);
    EXPECT_FALSE(Doc().IsModified());
}

TEST_F(TransferTest, AClashAsksAndYesReplacesNoKeepsTheDialogOpen) {
    const QString first = MakeFile("first.bmp", Bytes(10, 1));
    const QString second = MakeFile("second.bmp", Bytes(20, 2));
    Import(first, [](CImportDlg& dialog) { Press(dialog); });
    Import(second, [&](CImportDlg& dialog) {
        dialog.m_pId->setText("1");
        m_messages.Answer(IDNO);
        Press(dialog);
        ASSERT_EQ(m_messages.Messages().size(), 1u);
        EXPECT_EQ(m_messages.Messages()[0].text,
                  "That ID is being used already\nDo you want us to replace it?");
        EXPECT_EQ(m_messages.Messages()[0].caption, "Are you sure");
        EXPECT_EQ(m_messages.Messages()[0].style, 8196u);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(Column(1), QStringList({"first"}));
        m_messages.Answer(IDYES);
        Press(dialog);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    });
    EXPECT_EQ(Column(1), QStringList({"second"}));
    EXPECT_EQ(Column(3), QStringList({"20"}));
}

TEST_F(TransferTest, ExportWritesTheSelectedEntryBackByteForByte) {
    const Bytes wave = MakeWave(5000);
    Import(MakeFile("chime.wav", wave), [](CImportDlg& dialog) {
        PickType(dialog, ENTRY_SOUND);
        Press(dialog);
    });
    SelectRow(0);
    const QString out = QString::fromStdString(m_dir.File("out.wav"));
    ChooseFile(out);
    App().Commands().Execute(ID_FILE_EXPORT);
    EXPECT_FALSE(m_lastFileDialog.bOpen);
    EXPECT_EQ(m_lastFileDialog.initialName, "untitled");
    EXPECT_EQ(m_lastFileDialog.defaultExt, "dat");
    EXPECT_EQ(m_lastFileDialog.filters,
              QStringList({"Bitmap (*.bmp)", "Wave (*.wav)", "Binary (*.bin)", "All files (*)"}));
    EXPECT_EQ(ReadBytes(out.toStdString()), wave);
    EXPECT_TRUE(m_messages.Messages().empty());
}

TEST_F(TransferTest, ExportThatCannotWriteSaysSoAndNothingSelectedWritesNothing) {
    Import(MakeFile("x.bmp", Bytes(10, 1)), [](CImportDlg& dialog) { Press(dialog); });
    SelectRow(0);
    ChooseFile(QString::fromStdString(m_dir.File("no-such-folder/out.bmp")));
    App().Commands().Execute(ID_FILE_EXPORT);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].text, "Cannot open that file");
    EXPECT_EQ(m_messages.Messages()[0].caption, "error");
    EXPECT_EQ(m_messages.Messages()[0].pOwner, &View());

    View().clearSelection();
    const QString out = QString::fromStdString(m_dir.File("nothing.bmp"));
    ChooseFile(out);
    View().OnFileExport(); // as if the disabled command ran anyway
    EXPECT_FALSE(QFile::exists(out));
}

TEST_F(TransferTest, SlowWorkShowsACancellableProgressDialog) {
    CWaitProgress wait(&View(), "Working");
    EXPECT_TRUE(wait.Report(1, 10));
    EXPECT_EQ(View().findChild<QProgressDialog*>(), nullptr);
    QTest::qWait(CWaitProgress::DELAY_MS + 50);
    EXPECT_TRUE(wait.Report(5, 10));
    auto* pDialog = View().findChild<QProgressDialog*>();
    ASSERT_NE(pDialog, nullptr);
    EXPECT_EQ(pDialog->value(), 500);
    pDialog->cancel();
    EXPECT_FALSE(wait.Report(6, 10));
}

} // namespace

namespace {

// The export dialog starts at the filter that fits the entry, and a name
// typed without an extension gets that of the filter chosen; the import
// dialog adds ".dat" only when no file has the name as typed. Each kind of
// dialog starts in the folder its kind last chose a file in.
TEST_F(TransferTest, FileDialogsFitTheEntryCompleteNamesAndRememberFolders) {
    const QString imports = QString::fromStdString(m_dir.File("in"));
    const QString exports = QString::fromStdString(m_dir.File("out"));
    ASSERT_TRUE(QDir().mkpath(imports) && QDir().mkpath(exports));
    const struct {
        const char* file;   // imported from imports, as typed
        const char* stored; // the file the import read
        int type;
        Bytes content;
        int filter;       // the export dialog's first filter
        int chosen;       // the filter chosen in it
        const char* name; // typed there
        const char* written;
    } rows[] = {
        {"readme", "readme", 0, {'B', 'M', 1}, 0, 0, "portrait", "portrait.bmp"},
        {"pic", "pic.dat", 1, {'x', 'y'}, 3, 3, "portrait", "portrait"},
        {"chime.wav", "chime.wav", ENTRY_SOUND, MakeWave(100), 1, 2, "chime", "chime.bin"},
        {"tiny", "tiny", 3, {'B'}, 3, 0, "name.txt", "name.txt"},
    };
    MakeFile("in/pic.dat", {'x', 'y'});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        if (std::string(row.stored) != "pic.dat")
            MakeFile(std::string("in/") + row.stored, row.content);
        Import(imports + "/" + row.file, [&](CImportDlg& dialog) {
            EXPECT_EQ(dialog.m_strPath, imports + "/" + row.stored);
            PickType(dialog, row.type);
            Press(dialog);
        });
        EXPECT_EQ(m_lastFileDialog.initialFolder, &row == rows ? QString() : imports);
        ChooseFile(exports + "/" + row.name, row.chosen);
        App().Commands().Execute(ID_FILE_EXPORT);
        EXPECT_EQ(m_lastFileDialog.selectedFilter, row.filter);
        EXPECT_EQ(m_lastFileDialog.initialFolder, &row == rows ? QString() : exports);
        EXPECT_TRUE(QFile::exists(exports + "/" + row.written));
    }
    EXPECT_EQ(QSettings().value("Folders/import").toString(), imports);
}

} // namespace

namespace {

TEST_F(TransferTest, ExportAllWritesEveryEntryAsExtractAllNamesIt) {
    const Bytes door(300, 'D'), sky{'B', 'M', 7};
    ASSERT_TRUE(Start({WriteArchive("all.dat", ArchiveBuilder()
                                                   .Packed(1, 1, "Door", door)
                                                   .Packed(3, 2, "Sky", sky)
                                                   .Entry(0, 3, "Bad", {1, 2, 3, 4}, 100)
                                                   .Build())}));
    const QString folder = QString::fromStdString(m_dir.File("all"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::string doorFile = m_dir.File("all/portrait-1-Door.bmp");
    const std::string skyFile = m_dir.File("all/backgrounds-2-Sky.bmp");
    ChooseFile(folder);
    App().Commands().Execute(ID_FILE_EXPORT_ALL);
    EXPECT_TRUE(m_lastFileDialog.bFolder);
    EXPECT_EQ(ReadBytes(doorFile), door);
    EXPECT_EQ(ReadBytes(skyFile), sky);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].text,
              "1 of 3 entries could not be exported:\noverlay 3: its data is damaged");
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 2);

    // Files in the way: asked once; No writes nothing, Yes replaces them.
    const Bytes old{'o', 'l', 'd'};
    WriteBytes(doorFile, old);
    for (const int answer : {IDNO, IDYES}) {
        m_messages.Clear();
        m_messages.Answer(answer);
        ChooseFile(folder);
        App().Commands().Execute(ID_FILE_EXPORT_ALL);
        ASSERT_GE(m_messages.Messages().size(), 1u);
        EXPECT_EQ(m_messages.Messages()[0].text,
                  "2 files in " + folder.toStdString() + " would be replaced. Replace them?");
        EXPECT_EQ(ReadBytes(doorFile), answer == IDYES ? door : old);
    }
}

} // namespace
