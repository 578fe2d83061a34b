#include "ui/AboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent) {
    setWindowTitle("About Ostrevane");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* pIcon = new QLabel(this);
    pIcon->setPixmap(QIcon(":/ostrevane/app.svg").pixmap(32, 32));
    pIcon->setAlignment(Qt::AlignTop);

    auto* pVersion = new QLabel("Ostrevane Version " OSTREVANE_VERSION, this);
    pVersion->setTextFormat(Qt::PlainText);
    auto* pNotice = new QLabel("Copyright (C) 2026 the Ostrevane developers.\n"
                               "An editor for game resource archives.",
                               this);
    pNotice->setTextFormat(Qt::PlainText);

    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok, Qt::Vertical, this);
    pButtons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* pLayout = new QGridLayout(this);
    pLayout->setHorizontalSpacing(16);
    pLayout->addWidget(pIcon, 0, 0, 2, 1);
    pLayout->addWidget(pVersion, 0, 1);
    pLayout->addWidget(pNotice, 1, 1);
    pLayout->addWidget(pButtons, 0, 2, 2, 1, Qt::AlignTop);
    pLayout->setColumnStretch(1, 1);
    pLayout->setSizeConstraint(QLayout::SetFixedSize);
}
