// The editor beside other programs: a change on disk offers a reload, a
// save asks before writing over another program's change and takes turns
// with ostr, and an archive whose directory disagrees with its data is
// said once and asked about before it is saved.

#include "archive/OstrevaneDoc.h"
#include "platform/File.h"
#include "platform/qt/FileWatcher.h"
#include "platform/qt/SingleDocManager.h"
#include "tests/LockHolder.h"
#include "tests/ShellFixture.h"
#include "ui/EntryTableModel.h"
#include "ui/MainFrame.h"
#include "ui/OstrevaneView.h"
#include "ui/Resource.h"

#include <QTest>

#include <unistd.h>

namespace {

class SharingTest : public ShellTest {
protected:
    static SEntrySpec Entry(std::int32_t id, char name) {
        return {ENTRY_VIEWPORT_OVERLAY, id, name + std::string(15, ' ')};
    }

    void OpenArchive(std::vector<SEntrySpec> entries) {
        path = WriteArchive("shared.dat", ArchiveOf(entries)).toStdString();
        ASSERT_TRUE(Start({QString::fromStdString(path)}));
    }

    // Another program saves the archive, by a rename or in place.
    void ChangeOnDisk(const Bytes& bytes, bool bRename = true) {
        if (!bRename) {
            WriteBytes(path, bytes);
            return;
        }
        CFile file;
        ASSERT_TRUE(file.OpenForReplace(path) && file.Write(bytes.data(), bytes.size()) &&
                    file.Commit());
    }

    // Lets the file watcher's notices arrive and settle.
    bool WaitForMessages(std::size_t count) {
        return QTest::qWaitFor([&] { return m_messages.Messages().size() >= count; }, 3000);
    }
    void LetNoticesSettle() { QTest::qWait(CFileWatcher::SETTLE_MS * 3); }

    std::string path;
    const Bytes three = ArchiveOf({Entry(1, 'a'), Entry(2, 'b'), Entry(3, 'c')});
};

TEST_F(SharingTest, AChangeOnDiskOffersAReloadWhileTheArchiveIsUnmodified) {
    struct Row {
        const char* label;
        bool bRename;
        int answer;
        int rows;
    };
    const Row rows[] = {
        {"replaced by a rename, reloaded", true, IDYES, 3},
        {"rewritten in place, not reloaded", false, IDNO, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        OpenArchive({Entry(1, 'a')});
        m_messages.Clear();
        m_messages.Answer(row.answer);
        ChangeOnDisk(three, row.bRename);
        ASSERT_TRUE(WaitForMessages(1));
        LetNoticesSettle();
        ASSERT_EQ(m_messages.Messages().size(), 1u); // once for one change
        EXPECT_EQ(m_messages.Messages()[0].text,
                  path + " was changed by another program. Reload it?");
        EXPECT_EQ(View().Model().rowCount(), row.rows);
        EXPECT_FALSE(Doc().IsModified());
    }
}

TEST_F(SharingTest, SavingAsksBeforeWritingOverAnotherProgramsChange) {
    OpenArchive({Entry(1, 'a'), Entry(2, 'b')});
    SelectRow(0);
    App().Commands().Execute(ID_EDIT_CUT);
    ChangeOnDisk(three);
    LetNoticesSettle();
    EXPECT_TRUE(m_messages.Messages().empty()); // a modified archive is asked at the save

    m_messages.Answer(IDNO);
    App().Commands().Execute(ID_FILE_SAVE);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].text,
              path + " was changed by another program since it was opened. Overwrite those "
                     "changes?");
    EXPECT_EQ(ReadBytes(path), three);
    EXPECT_TRUE(Doc().IsModified());

    m_messages.Answer(IDYES);
    App().Commands().Execute(ID_FILE_SAVE);
    EXPECT_EQ(ReadBytes(path).size(), 12u + 36u);
    EXPECT_FALSE(Doc().IsModified());
    LetNoticesSettle();
    EXPECT_EQ(m_messages.Messages().size(), 2u); // its own save is no change by another
}

TEST_F(SharingTest, AnArchiveRemovedOnDiskIsSavedAgainWithoutAsking) {
    OpenArchive({Entry(1, 'a')});
    ASSERT_EQ(unlink(path.c_str()), 0);
    LetNoticesSettle();
    App().Commands().Execute(ID_FILE_SAVE);
    EXPECT_TRUE(m_messages.Messages().empty());
    EXPECT_EQ(ReadBytes(path).size(), 12u + 36u);
    EXPECT_EQ(Frame().windowTitle(), "shared.dat[*] - Ostrevane");
}

TEST_F(SharingTest, ASaveTakesTurnsWithAnotherProgramSavingTheArchive) {
    OpenArchive({Entry(1, 'a')});
    SelectRow(0);
    App().Commands().Execute(ID_EDIT_CUT);
    App().Manager()->m_lockWaitSeconds = 0.2;
    const Bytes before = ReadBytes(path);
    const LockHolder holder(path, LockThen::Hold);
    App().Commands().Execute(ID_FILE_SAVE);
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].text,
              path + " is in use by another program (pid " + std::to_string(holder.Pid()) + ")");
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_TRUE(Doc().IsModified());
}

TEST_F(SharingTest, ADirectoryThatDisagreesWithItsDataIsSaidOnceAndAskedBeforeSaving) {
    Bytes bytes = ArchiveOf({Entry(1, 'a')});
    bytes.push_back(0xEE); // a byte after the last entry's data
    path = WriteArchive("shared.dat", bytes).toStdString();
    ASSERT_TRUE(Start({QString::fromStdString(path)}));
    const std::string said = path + ": its directory does not match its data; saving will rewrite "
                                    "its layout.";
    ASSERT_EQ(m_messages.Messages().size(), 1u);
    EXPECT_EQ(m_messages.Messages()[0].text, said);

    const int answers[] = {IDNO, IDYES};
    for (const int answer : answers) {
        m_messages.Answer(answer);
        App().Commands().Execute(ID_FILE_SAVE);
    }
    ASSERT_EQ(m_messages.Messages().size(), 3u);
    EXPECT_EQ(m_messages.Messages()[1].text, said + "\nSave it all the same?");
    EXPECT_EQ(ReadBytes(path).size(), bytes.size() - 1);
    App().Commands().Execute(ID_FILE_SAVE);
    EXPECT_EQ(m_messages.Messages().size(), 3u); // asked once
}

} // namespace
