// The shell suite runs without a display (Qt's offscreen platform unless one
// is chosen), with a home folder of its own so that it never
// touches a user's recent files or desktop registration.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

QtMessageHandler g_defaultHandler = nullptr;

void FilterOffscreenNoise(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text == "This plugin does not support propagateSizeHints()")
        return;
    g_defaultHandler(type, context, text);
}

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir home;
    const QByteArray root = home.path().toLocal8Bit();
    setenv("XDG_RUNTIME_DIR", (root + "/runtime").constData(), 0);
    // Settings and data of test mode live below HOME: one folder per process,
    // so that suites running side by side never share a recent-file list.
    setenv("HOME", root.constData(), 1);
    QDir(home.path()).mkpath("runtime");
    QFile::setPermissions(home.path() + "/runtime",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QStandardPaths::setTestModeEnabled(true);
    g_defaultHandler = qInstallMessageHandler(FilterOffscreenNoise);
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
