#include "platform/qt/DataExchange.h"

#include "platform/MessageBox.h"
#include "platform/NumberText.h"
#include "platform/qt/QtMessageBox.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

void CDataExchange::Fail(const QString& text) {
    MessageBox(OwnerOf(m_pDialog), text.toStdString(), GetAppTitle(), MB_OK | MB_ICONEXCLAMATION);
    if (m_pLastControl != nullptr) {
        m_pLastControl->setFocus();
        if (auto* pEdit = qobject_cast<QLineEdit*>(m_pLastControl))
            pEdit->selectAll();
    }
    m_bFailed = true;
}

namespace {

// A text field ends at its first zero character, and shows a text the
// program gives it whole, even one longer than the user may type.
void SetFieldText(QLineEdit* pEdit, const QString& value) {
    const QString text = value.left(value.indexOf(QChar(0)));
    if (pEdit->maxLength() < text.size())
        pEdit->setMaxLength(static_cast<int>(text.size()));
    pEdit->setText(text);
}

} // namespace

void DDX_Text(CDataExchange* pDX, QLineEdit* pEdit, QString& value) {
    if (!pDX->Enter(pEdit))
        return;
    if (pDX->m_bSaveAndValidate)
        value = pEdit->text();
    else
        SetFieldText(pEdit, value);
}

void DDX_Text(CDataExchange* pDX, QLineEdit* pEdit, std::uint32_t& value) {
    if (!pDX->Enter(pEdit))
        return;
    if (!pDX->m_bSaveAndValidate) {
        pEdit->setText(QString::number(value));
        return;
    }
    if (const auto number = ParseUnsigned32(pEdit->text().toStdString()))
        value = *number;
    else
        pDX->Fail("Please enter an unsigned integer.");
}

void DDX_CBIndex(CDataExchange* pDX, QComboBox* pCombo, std::int32_t& index) {
    if (!pDX->Enter(pCombo))
        return;
    if (pDX->m_bSaveAndValidate)
        index = pCombo->currentIndex();
    else
        pCombo->setCurrentIndex(index >= 0 && index < pCombo->count() ? index : -1);
}

void DDV_MaxChars(CDataExchange* pDX, const QString& value, int nChars) {
    if (pDX->HasFailed())
        return;
    if (pDX->m_bSaveAndValidate) {
        if (value.size() > nChars)
            pDX->Fail(QString("Please enter no more than %1 characters.").arg(nChars));
    }
}

QValidator::State CLatin1Validator::validate(QString& input, int&) const {
    for (QChar c : input)
        if (c.unicode() > 0xFF)
            return Invalid;
    return Acceptable;
}

namespace {

// The field's length limit follows a longer text the program put there, so
// that it is kept but cannot grow, and returns to maxChars once the text is
// short enough. The limit only changes when it must: setting it resets the
// cursor.
class CTypingLimit : public QObject {
public:
    CTypingLimit(QLineEdit* pEdit, int maxChars) : QObject(pEdit), m_maxChars(maxChars) {
        Follow(pEdit, pEdit->text());
        connect(pEdit, &QLineEdit::textChanged, this,
                [this, pEdit](const QString& text) { Follow(pEdit, text); });
    }

private:
    void Follow(QLineEdit* pEdit, const QString& text) {
        const int limit = std::max(m_maxChars, static_cast<int>(text.size()));
        if (pEdit->maxLength() != limit)
            pEdit->setMaxLength(limit);
    }

    int m_maxChars;
};

} // namespace

void LimitTyping(QLineEdit* pEdit, int maxChars) {
    new CTypingLimit(pEdit, maxChars);
}

bool CDialog::UpdateData(bool bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.HasFailed();
}

void CDialog::OnOK() {
    if (UpdateData(true))
        accept();
}

void CDialog::InitDialog() {
    if (m_bInitialised)
        return;
    m_bInitialised = true;
    UpdateData(false);
}

void CDialog::showEvent(QShowEvent* pEvent) {
    InitDialog();
    QDialog::showEvent(pEvent);
}

void CDialog::SetTabOrder(std::initializer_list<QWidget*> controls) {
    QWidget* pPrevious = nullptr;
    for (QWidget* pControl : controls) {
        if (pPrevious != nullptr)
            QWidget::setTabOrder(pPrevious, pControl);
        pPrevious = pControl;
    }
}

void CDialog::ConnectButtons(QDialogButtonBox* pButtons) {
    // OK must not close the dialog by itself: OnOK decides.
    disconnect(pButtons, &QDialogButtonBox::accepted, nullptr, nullptr);
    connect(pButtons, &QDialogButtonBox::accepted, this, [this] { OnOK(); });
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}
