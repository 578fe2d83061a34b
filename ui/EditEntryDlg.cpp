#include "ui/EditEntryDlg.h"

#include "archive/EntryRules.h"
#include "archive/OstrevaneDoc.h"
#include "platform/qt/QtMessageBox.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
constexpr int NAME_CHARS = static_cast<int>(ENTRY_NAME_SIZE);
}

CEditEntryDlg::CEditEntryDlg(CFileEntry* pEntry, QWidget* pParent)
    : CDialog(pParent), m_pEntry(pEntry) {
    m_nType = pEntry->m_type;
    m_nId = static_cast<std::uint32_t>(pEntry->m_id);
    // The 16 bytes as they are but the padding spaces at the end, so that
    // typing at the end of the field works; OK pads the name again.
    qsizetype length = static_cast<qsizetype>(pEntry->m_name.size());
    while (length > 0 && pEntry->m_name[static_cast<std::size_t>(length - 1)] == ' ')
        --length;
    m_strName = QString::fromLatin1(reinterpret_cast<const char*>(pEntry->m_name.data()), length);
    setWindowTitle("Edit File Entry");
    CreateControls();
}

// Laid out like the dialog template: ID and type side by side, the name
// below, Cancel and OK at the bottom right; OK leads the tab order.
void CEditEntryDlg::CreateControls() {
    m_pOk = new QPushButton("OK", this);
    m_pOk->setDefault(true);
    m_pCancel = new QPushButton("Cancel", this);
    m_pId = new QLineEdit(this);
    m_pName = new QLineEdit(this);
    m_pName->setValidator(new CLatin1Validator(m_pName));
    LimitTyping(m_pName, NAME_CHARS);
    m_pType = new QComboBox(this);
    m_pType->addItems({"Viewport overlay", "Portrait", "Sound"});
    connect(m_pOk, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(m_pCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* pGrid = new QGridLayout(this);
    pGrid->addWidget(new QLabel("ID", this), 0, 0);
    pGrid->addWidget(new QLabel("File Type", this), 0, 1);
    pGrid->addWidget(m_pId, 1, 0);
    pGrid->addWidget(m_pType, 1, 1);
    pGrid->addWidget(new QLabel("Name", this), 2, 0);
    pGrid->addWidget(m_pName, 3, 0, 1, 2);
    auto* pButtons = new QHBoxLayout;
    pButtons->addStretch();
    pButtons->addWidget(m_pCancel);
    pButtons->addWidget(m_pOk);
    pGrid->addLayout(pButtons, 4, 0, 1, 3);
    pGrid->setColumnStretch(2, 1);
    m_pId->setMinimumWidth(fontMetrics().horizontalAdvance("4294967295") * 5 / 4);
    m_pName->setMinimumWidth(fontMetrics().horizontalAdvance("MMMMMMMMMMMMMMMM"));

    SetTabOrder({m_pOk, m_pCancel, m_pId, m_pName, m_pType});
    m_pOk->setFocus();
}

void CEditEntryDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_CBIndex(pDX, m_pType, m_nType);
    DDX_Text(pDX, m_pId, m_nId);
    DDX_Text(pDX, m_pName, m_strName);
    DDV_MaxChars(pDX, m_strName, NAME_CHARS);
}

void CEditEntryDlg::OnOK() {
    if (!UpdateData(true))
        return;
    CFileEntry tmpl;
    // No type picked (an entry of a type the list does not offer) keeps the
    // entry's type.
    tmpl.m_type = m_nType < 0 ? ENTRY_TYPE_NONE : m_nType;
    tmpl.m_id = static_cast<std::int32_t>(m_nId);
    tmpl.m_name.fill(' ');
    const QByteArray name = m_strName.left(NAME_CHARS).toLatin1();
    std::copy(name.begin(), name.end(), tmpl.m_name.begin());
    // Deleting the entry in the way and the edit are one step to undo.
    CEntryChangeGroup group(*g_pDoc);
    if (!ResolveDuplicate(*g_pDoc, m_pEntry, tmpl, OwnerOf(this)))
        return;
    g_pDoc->ModifyEntry(m_pEntry, tmpl);
    accept();
}
