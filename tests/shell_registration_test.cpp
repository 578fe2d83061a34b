// Registering the launcher entry, the archive MIME type and the icons with
// the user's desktop.

#include "platform/qt/DesktopRegistration.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

namespace {

const QStringList TARGETS = {
    "applications/ostrevane.desktop",
    "mime/packages/ostrevane.xml",
    "icons/hicolor/scalable/apps/ostrevane.svg",
    "icons/hicolor/scalable/mimetypes/application-x-ostrevane.svg",
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// Runs against the test-mode data folder of a home of its own (test runs may
// be parallel), with PATH holding stand-ins for the desktop's cache tools,
// which log each call instead of touching anything.
class ShellRegistration : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_home.isValid() && m_tools.isValid());
        m_savedHome = qgetenv("HOME");
        m_savedPath = qgetenv("PATH");
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("PATH", QFile::encodeName(m_tools.path()));
        m_data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        ASSERT_TRUE(m_data.startsWith(m_home.path() + '/')) << m_data.toStdString();
        m_log = m_tools.filePath("calls.log");
        for (const char* tool : {"update-mime-database", "update-desktop-database"})
            MakeTool(m_tools.filePath(tool));
    }
    void TearDown() override {
        qputenv("HOME", m_savedHome);
        qputenv("PATH", m_savedPath);
    }

    void MakeTool(const QString& path) {
        const QByteArray script =
            "#!/bin/sh\necho \"${0##*/} $1\" >> '" + QFile::encodeName(m_log) + "'\n";
        ASSERT_TRUE(WriteAll(path, script));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString Target(const QString& name) const { return m_data + '/' + name; }

    // The tool calls logged, once there are `expected` of them (or after five
    // seconds), plus a moment for any unexpected one to show up.
    QStringList ToolCalls(int expected) const {
        QDeadlineTimer deadline(5000);
        while (Calls().size() < expected && !deadline.hasExpired())
            QThread::msleep(20);
        QThread::msleep(150);
        QStringList calls = Calls();
        calls.sort();
        return calls;
    }
    QStringList Calls() const {
        return QString::fromUtf8(ReadAll(m_log)).split('\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir m_home;
    QTemporaryDir m_tools;
    QByteArray m_savedHome;
    QByteArray m_savedPath;
    QString m_data;
    QString m_log;
};

TEST_F(ShellRegistration, FirstRunWritesEveryFileAndRefreshesBothCaches) {
    const QString exe = "/opt/ostrevane/bin/ostrevane";
    ASSERT_TRUE(RegisterShellFileTypes(exe));

    EXPECT_EQ(ReadAll(Target(TARGETS[1])), ReadAll(":/ostrevane/desktop/ostrevane-mime.xml"));
    EXPECT_EQ(ReadAll(Target(TARGETS[2])), ReadAll(":/ostrevane/app.svg"));
    EXPECT_EQ(ReadAll(Target(TARGETS[3])), ReadAll(":/ostrevane/document.svg"));
    // The bundled entry, with only its Exec line changed.
    const QStringList bundled =
        QString::fromUtf8(ReadAll(":/ostrevane/desktop/ostrevane.desktop")).split('\n');
    const QStringList written = QString::fromUtf8(ReadAll(Target(TARGETS[0]))).split('\n');
    ASSERT_EQ(written.size(), bundled.size());
    for (qsizetype i = 0; i < written.size(); ++i) {
        const bool isExec = bundled[i].startsWith("Exec=");
        EXPECT_EQ(written[i], isExec ? "Exec=/opt/ostrevane/bin/ostrevane %f" : bundled[i]);
    }
    EXPECT_TRUE(written.contains("MimeType=application/x-ostrevane;"));

    EXPECT_EQ(ToolCalls(2), QStringList({"update-desktop-database " + m_data + "/applications",
                                         "update-mime-database " + m_data + "/mime"}));
}

TEST_F(ShellRegistration, SecondRunLeavesCurrentFilesAlone) {
    ASSERT_TRUE(RegisterShellFileTypes("/usr/bin/ostrevane"));
    ASSERT_EQ(ToolCalls(2).size(), 2);
    const QDateTime past(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC);
    for (const QString& name : TARGETS) {
        QFile file(Target(name));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(past, QFileDevice::FileModificationTime));
    }

    EXPECT_TRUE(RegisterShellFileTypes("/usr/bin/ostrevane"));
    for (const QString& name : TARGETS)
        EXPECT_EQ(QFileInfo(Target(name)).lastModified().toUTC(), past) << name.toStdString();
    EXPECT_EQ(ToolCalls(2).size(), 2); // no cache refreshed
}

TEST_F(ShellRegistration, StaleFilesAreRewritten) {
    ASSERT_TRUE(RegisterShellFileTypes("/usr/bin/ostrevane"));
    ASSERT_EQ(ToolCalls(2).size(), 2);
    const QByteArray icon = ReadAll(Target(TARGETS[2]));
    ASSERT_TRUE(WriteAll(Target(TARGETS[2]), "<svg/>"));
    // A new location of the program also makes the entry stale.
    ASSERT_TRUE(RegisterShellFileTypes("/home/me/ostrevane"));

    EXPECT_EQ(ReadAll(Target(TARGETS[2])), icon);
    EXPECT_TRUE(ReadAll(Target(TARGETS[0])).contains("\nExec=/home/me/ostrevane %f\n"));
    const QStringList calls = ToolCalls(3);
    EXPECT_EQ(calls.count("update-desktop-database " + m_data + "/applications"), 2);
    EXPECT_EQ(calls.count("update-mime-database " + m_data + "/mime"), 1);
}

TEST_F(ShellRegistration, UnwritableDataFolderFailsQuietly) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_data).absolutePath()));
    ASSERT_TRUE(WriteAll(m_data, "a file where the folder should be"));
    EXPECT_FALSE(RegisterShellFileTypes("/usr/bin/ostrevane"));
    EXPECT_TRUE(ToolCalls(0).isEmpty());
}

TEST_F(ShellRegistration, OneUnwritableFileDoesNotStopTheOthers) {
    ASSERT_TRUE(QDir().mkpath(m_data));
    ASSERT_TRUE(WriteAll(Target("applications"), "a file where the folder should be"));
    EXPECT_FALSE(RegisterShellFileTypes("/usr/bin/ostrevane"));
    for (const QString& name : TARGETS.mid(1))
        EXPECT_TRUE(QFileInfo::exists(Target(name))) << name.toStdString();
    EXPECT_EQ(ToolCalls(1), QStringList({"update-mime-database " + m_data + "/mime"}));
}

TEST(DesktopExecLine, QuotesAndEscapesOnlyWhatItMust) {
    const struct {
        const char* path;
        const char* line;
    } cases[] = {
        {"/usr/bin/ostrevane", R"(Exec=/usr/bin/ostrevane %f)"},
        {"/opt/My Games/ostrevane", R"(Exec="/opt/My Games/ostrevane" %f)"},
        // Backslashes are doubled twice over: once for the quoting, once for
        // the key file's own escaping.
        {"/opt/say \"hi\"/ostrevane", R"(Exec="/opt/say \\"hi\\"/ostrevane" %f)"},
        {"/opt/a\\b/ostrevane", R"(Exec="/opt/a\\\\b/ostrevane" %f)"},
        {"/opt/$HOME`id`/ostrevane", R"(Exec="/opt/\\$HOME\\`id\\`/ostrevane" %f)"},
        {"/opt/100%/ostrevane", R"(Exec=/opt/100%%/ostrevane %f)"},
        {"/opt/it's/ostrevane", R"(Exec="/opt/it's/ostrevane" %f)"},
        {"", R"(Exec=ostrevane %f)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DesktopExecLine(QString::fromUtf8(c.path)), QString::fromUtf8(c.line)) << c.path;
}

TEST(DesktopExecLine, ALineBreakInThePathCannotAddKeys) {
    const QString line = DesktopExecLine("/tmp/x\nTerminal=true\n/ostrevane");
    EXPECT_EQ(line, R"(Exec="/tmp/x\nTerminal=true\n/ostrevane" %f)");
    EXPECT_FALSE(line.contains('\n'));
}

} // namespace
