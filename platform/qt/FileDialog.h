#pragma once

#include <QStringList>

#include <functional>

class QWidget;

// The platform's open and save dialogs, taking the old filter syntax
// ("Bitmap (*.bmp)|*.bmp|All files (*.*)|*.*||"), a default extension that a
// typed name without one receives, and an initial file name.
class CFileDialog {
public:
    CFileDialog(bool bOpenFileDialog, const QString& defaultExt, const QString& fileName,
                const QString& filter, QWidget* pParent);

    // Shows the dialog; true when the user chose a file.
    bool DoModal();

    // The chosen file's full path, and its name without the folder.
    QString GetPathName() const { return m_pathName; }
    QString GetFileTitle() const;

    bool IsOpenDialog() const { return m_bOpen; }
    const QString& GetDefaultExt() const { return m_defaultExt; }
    const QString& GetInitialName() const { return m_fileName; }
    // The filter in Qt's form ("Bitmap (*.bmp);;All files (*.*)").
    QStringList GetNameFilters() const { return m_nameFilters; }
    QWidget* GetParent() const { return m_pParent; }

    // For a test's handler: the file "chosen".
    void SetPathName(const QString& path) { m_pathName = path; }

private:
    bool m_bOpen;
    QString m_defaultExt;
    QString m_fileName;
    QStringList m_nameFilters;
    QWidget* m_pParent;
    QString m_pathName;
};

// "Name|pattern|Name|pattern||" to Qt's name filters. Each name already shows
// its patterns; a pattern list that differs from the one in the name replaces
// it, with Qt's space-separated form of the ";" list.
QStringList ConvertFilter(const QString& filter);

// Replaces the real dialog: the handler sees the dialog's settings, sets the
// chosen path and returns true, or returns false for Cancel. An empty one
// restores the real dialog. Returns the previous handler.
using FileDialogHandler = std::function<bool(CFileDialog& dialog)>;
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);
