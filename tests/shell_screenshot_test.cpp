// Pictures of the editor to look at: written only when OSTREVANE_SCREENSHOTS
// names a folder (run with QT_SCALE_FACTOR=2 for the 200% pictures).

#include "tests/ShellFixture.h"
#include "transfer/ImportDlg.h"
#include "ui/AboutDlg.h"
#include "ui/EditEntryDlg.h"
#include "ui/EntryTableModel.h"
#include "ui/MainFrame.h"
#include "ui/OstrevaneView.h"

#include <QDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTest>

#include <cstdlib>

namespace {

class ScreenshotTest : public ShellTest {
protected:
    void SetUp() override {
        const char* dir = std::getenv("OSTREVANE_SCREENSHOTS");
        if (dir == nullptr)
            GTEST_SKIP() << "OSTREVANE_SCREENSHOTS is not set";
        m_folder = QString::fromLocal8Bit(dir);
        m_suffix = QString("@%1x").arg(QGuiApplication::primaryScreen()->devicePixelRatio());
    }

    void Save(QWidget& widget, const QString& name) {
        EXPECT_TRUE(widget.grab().save(m_folder + "/" + name + m_suffix + ".png"));
    }

    QString m_folder;
    QString m_suffix;
};

TEST_F(ScreenshotTest, MainWindowOnTheExampleArchive) {
    ASSERT_TRUE(Start({OSTREVANE_EXAMPLE_ARCHIVE}));
    Frame().resize(800, 400);
    Frame().show();
    SelectRow(1);
    QTest::qWait(100);
    EXPECT_EQ(Frame().Message(), "Ready");
    Save(Frame(), "main-window");
    QMenu* pFile = Frame().Menu(0);
    emit pFile->aboutToShow();
    pFile->adjustSize();
    Save(*pFile, "file-menu");
    CAboutDlg about(&Frame());
    about.show();
    Save(about, "about-box");
    CImportDlg import(OSTREVANE_EXAMPLE_ARCHIVE, "forest.night.bmp", &Frame());
    import.show();
    Save(import, "import-dialog");
    CEditEntryDlg edit(View().Model().EntryAt(1), &Frame());
    edit.show();
    Save(edit, "edit-dialog");
}

} // namespace
