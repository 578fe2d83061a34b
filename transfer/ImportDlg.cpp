#include "transfer/ImportDlg.h"

#include "archive/EntryRules.h"
#include "archive/OstrevaneDoc.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/WaitProgress.h"
#include "transfer/ImportPipeline.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

std::int32_t g_lastImportType = 0;

namespace {
constexpr int NAME_CHARS = static_cast<int>(ENTRY_NAME_SIZE);
}

CImportDlg::CImportDlg(const QString& path, const QString& fileTitle, QWidget* pParent)
    : CDialog(pParent), m_strPath(path),
      m_strName(QString::fromStdString(ProposedEntryName(fileTitle.toStdString()))),
      m_nType(g_lastImportType), m_nId(g_pDoc->ProposedId(g_lastImportType)) {
    setWindowTitle("Importing File");
    CreateControls();
}

// Laid out like the dialog template: the file name across the top, name and
// ID on the left, the type on the right, OK and Cancel at the bottom right.
void CImportDlg::CreateControls() {
    m_pFileName = new QLineEdit(this);
    m_pFileName->setReadOnly(true);
    m_pName = new QLineEdit(this);
    m_pName->setValidator(new CLatin1Validator(m_pName));
    LimitTyping(m_pName, NAME_CHARS);
    m_pId = new QLineEdit(this);
    m_pId->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), m_pId));
    m_pType = new QComboBox(this);
    m_pType->addItems(
        {"Viewport Overlay", "Portrait", "Sound (8-bit mono wave)", "Background Graphics"});
    connect(m_pType, &QComboBox::activated, this, [this] { OnSelchangeType(); });
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->button(QDialogButtonBox::Ok)->setDefault(true);
    ConnectButtons(pButtons);

    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(new QLabel("File name", this), 0, 0, 1, 2);
    pGrid->addWidget(m_pFileName, 1, 0, 1, 2);
    pGrid->addWidget(new QLabel("Name  (16 characters)", this), 2, 0);
    pGrid->addWidget(m_pName, 3, 0);
    pGrid->addWidget(new QLabel("File Type", this), 2, 1);
    pGrid->addWidget(m_pType, 3, 1);
    pGrid->addWidget(new QLabel("ID  (integer)", this), 4, 0);
    pGrid->addWidget(m_pId, 5, 0);
    pGrid->addWidget(pButtons, 6, 1, Qt::AlignRight);
    pGrid->setColumnStretch(0, 3);
    pGrid->setColumnStretch(1, 2);
    setMinimumWidth(fontMetrics().averageCharWidth() * 72);

    SetTabOrder({m_pName, m_pId, m_pType, pButtons->button(QDialogButtonBox::Ok),
                 pButtons->button(QDialogButtonBox::Cancel), m_pFileName});
    m_pName->setFocus();
}

void CImportDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Text(pDX, m_pFileName, m_strPath);
    DDX_Text(pDX, m_pName, m_strName);
    DDV_MaxChars(pDX, m_strName, NAME_CHARS);
    DDX_CBIndex(pDX, m_pType, m_nType);
    DDX_Text(pDX, m_pId, m_nId);
}

// Every field is read first; one that fails stops the reading there, so a
// name that is too long keeps the previous type, while a bad ID (read last)
// does not stop the change.
void CImportDlg::OnSelchangeType() {
    UpdateData(true);
    m_nId = g_pDoc->ProposedId(m_nType);
    g_lastImportType = m_nType;
    UpdateData(false);
}

void CImportDlg::OnOK() {
    if (!UpdateData(true))
        return;
    CWaitProgress wait(this, "Importing " + m_strPath);
    const ImportRequest request{QFile::encodeName(m_strPath).toStdString(), m_nType, m_nId,
                                m_strName.toLatin1().toStdString(), wait.Callback()};
    // Removing the entry replaced and adding the new one are one step to undo.
    CEntryChangeGroup group(*g_pDoc);
    if (ImportFile(*g_pDoc, request, OwnerOf(this)) == ImportResult::Imported)
        accept();
}
