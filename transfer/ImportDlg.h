#pragma once

#include "platform/qt/DataExchange.h"

#include <cstdint>

class QComboBox;
class QLineEdit;

// The type chosen last in any import dialog of this run; the next one
// starts there.
extern std::int32_t g_lastImportType;

// "Importing File": the type, name and ID of the entry a file becomes. OK
// runs the import; the dialog closes only once the entry is stored.
class CImportDlg : public CDialog {
    Q_OBJECT
public:
    enum { IDD = 130 };

    CImportDlg(const QString& path, const QString& fileTitle, QWidget* pParent = nullptr);

    QString m_strPath;
    QString m_strName;
    std::int32_t m_nType;
    std::uint32_t m_nId;

    // The controls, named by their IDs.
    QLineEdit* m_pFileName;
    QLineEdit* m_pName;
    QComboBox* m_pType;
    QLineEdit* m_pId;

    // The type box's selection changed by the user.
    void OnSelchangeType();
    void OnOK() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    void CreateControls();
};
