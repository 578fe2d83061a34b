#pragma once

#include "platform/qt/DataExchange.h"

#include <cstdint>

class CFileEntry;
class QComboBox;
class QLineEdit;
class QPushButton;

// "Edit File Entry": the type, ID and name of one entry. OK applies the
// change through the document, after asking before another entry with the
// same type and ID is deleted to make room.
class CEditEntryDlg : public CDialog {
    Q_OBJECT
public:
    enum { IDD = 132 };

    // pEntry must be an entry of the document; it stays that entry while the
    // dialog is open, whatever else is removed or re-sorted.
    CEditEntryDlg(CFileEntry* pEntry, QWidget* pParent = nullptr);

    std::int32_t m_nType = -1;
    std::uint32_t m_nId = 0;
    QString m_strName;
    CFileEntry* m_pEntry;

    QPushButton* m_pOk;
    QPushButton* m_pCancel;
    QLineEdit* m_pId;
    QLineEdit* m_pName;
    QComboBox* m_pType;

    void OnOK() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void CreateControls();
};
