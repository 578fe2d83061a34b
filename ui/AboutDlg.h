#pragma once

#include <QDialog>

// The About box: the program's icon, its name and version, a short notice
// and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* pParent = nullptr);
};
