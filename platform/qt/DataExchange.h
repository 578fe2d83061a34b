#pragma once

#include <QDialog>
#include <QString>
#include <QValidator>

#include <cstdint>
#include <initializer_list>

class QComboBox;
class QLineEdit;
class QWidget;

// One exchange between a dialog's fields and its controls, in one direction.
// Fields move in the order the dialog lists them; the first that fails its
// validation shows the platform's message, takes the focus and ends the
// exchange: every later DDX_ and DDV_ call does nothing.
class CDataExchange {
public:
    CDataExchange(QWidget* pDialog, bool bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDialog(pDialog) {}

    // Remembers the control being exchanged, for a validation that fails.
    void PrepareCtrl(QWidget* pControl) { m_pLastControl = pControl; }
    // Prepares pControl for its exchange; false once an earlier field has
    // failed, when no other field is read or written.
    bool Enter(QWidget* pControl) {
        if (m_bFailed)
            return false;
        PrepareCtrl(pControl);
        return true;
    }
    // Shows text (owned by the dialog), focuses the last control, stops.
    void Fail(const QString& text);
    bool HasFailed() const { return m_bFailed; }

    const bool m_bSaveAndValidate;

private:
    QWidget* m_pDialog;
    QWidget* m_pLastControl = nullptr;
    bool m_bFailed = false;
};

void DDX_Text(CDataExchange* pDX, QLineEdit* pEdit, QString& value);
// An unsigned 32-bit decimal number, read as ParseUnsigned32 reads it.
void DDX_Text(CDataExchange* pDX, QLineEdit* pEdit, std::uint32_t& value);
// The selected item's index (-1 for none).
void DDX_CBIndex(CDataExchange* pDX, QComboBox* pCombo, std::int32_t& index);
// At most nChars characters. Towards the controls it stops the user typing
// more into the last control, without cutting a longer text already there.
void DDV_MaxChars(CDataExchange* pDX, const QString& value, int nChars);

// Accepts only characters that are one byte in Latin-1.
class CLatin1Validator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

// Stops the user typing more than maxChars characters into pEdit, without
// cutting a longer text the program put there (which may only shrink), as
// QLineEdit::setMaxLength would.
void LimitTyping(QLineEdit* pEdit, int maxChars);

// A dialog with data exchange: DoDataExchange lists the fields, UpdateData
// moves them, and OK (OnOK) reads them back before closing.
class CDialog : public QDialog {
    Q_OBJECT
public:
    using QDialog::QDialog;

    // True when every field moved (and passed its validation).
    bool UpdateData(bool bSaveAndValidate = true);
    // Moves the fields to the controls, once: DoModal calls it before the
    // dialog runs, so that a test's modal hook sees the dialog as shown.
    void InitDialog();

protected:
    virtual void DoDataExchange(CDataExchange* pDX) = 0;
    // OK: the fields read back, then the dialog closes; a failed field keeps
    // it open.
    virtual void OnOK();
    void showEvent(QShowEvent* pEvent) override;
    // The controls' tab order, first to last.
    static void SetTabOrder(std::initializer_list<QWidget*> controls);
    // Connects a button box's OK and Cancel to OnOK and reject.
    void ConnectButtons(class QDialogButtonBox* pButtons);

private:
    bool m_bInitialised = false;
};
