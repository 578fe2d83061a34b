#include "platform/qt/QtMessageBox.h"
#include "ui/OstrevaneApp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    InstallQtMessageBox();
    COstrevaneApp app;
    if (!app.InitInstance(QApplication::arguments()))
        return app.ExitCode();
    return QApplication::exec();
}
