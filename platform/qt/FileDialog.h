#pragma once

#include <QStringList>

#include <functional>

class QWidget;

// The platform's open and save dialogs, taking the old filter syntax
// ("Bitmap (*.bmp)|*.bmp|All files (*.*)|*.*||") and an initial file name.
// A name typed without an extension gets one: in an open dialog the default
// extension, and only when no file has the name as typed; in a save dialog
// that of the chosen filter (none for a filter of all files).
class CFileDialog {
public:
    CFileDialog(bool bOpenFileDialog, const QString& defaultExt, const QString& fileName,
                const QString& filter, QWidget* pParent);

    // A dialog that chooses a folder (GetPathName), with no filter.
    static CFileDialog ForFolder(QWidget* pParent);

    // The filter shown first (0 for the first).
    void SelectFilter(int index) { m_selectedFilter = index; }
    // Starts in the folder the last dialog of this kind chose a file in, in
    // this run or an earlier one, and remembers this one's.
    void RememberFolder(const QString& kind) { m_folderKind = kind; }

    // Shows the dialog; true when the user chose a file.
    bool DoModal();

    // The chosen file's full path, and its name without the folder.
    QString GetPathName() const { return m_pathName; }
    QString GetFileTitle() const;

    bool IsOpenDialog() const { return m_bOpen; }
    bool IsFolderDialog() const { return m_bFolder; }
    const QString& GetDefaultExt() const { return m_defaultExt; }
    const QString& GetInitialName() const { return m_fileName; }
    // The filter in Qt's form ("Bitmap (*.bmp);;All files (*.*)").
    QStringList GetNameFilters() const { return m_nameFilters; }
    QWidget* GetParent() const { return m_pParent; }
    int GetSelectedFilter() const { return m_selectedFilter; }
    // The folder the dialog starts in; empty for the current one.
    const QString& GetInitialFolder() const { return m_initialFolder; }

    // For a test's handler: the file "chosen" (as typed), and its filter.
    void SetPathName(const QString& path) { m_pathName = path; }
    void SetSelectedFilter(int index) { m_selectedFilter = index; }

private:
    bool RunDialog();
    QString CompletedName(const QString& typed) const;

    bool m_bOpen;
    bool m_bFolder = false;
    QString m_defaultExt;
    QString m_fileName;
    QStringList m_nameFilters;
    QWidget* m_pParent;
    QString m_pathName;
    int m_selectedFilter = 0;
    QString m_folderKind;
    QString m_initialFolder;
};

// The extension a name filter stands for ("bmp" for "Bitmap (*.bmp)"), or
// empty when it has none or several.
QString FilterExtension(const QString& nameFilter);

// "Name|pattern|Name|pattern||" to Qt's name filters. Each name already shows
// its patterns; a pattern list that differs from the one in the name replaces
// it, with Qt's space-separated form of the ";" list.
QStringList ConvertFilter(const QString& filter);

// Replaces the real dialog: the handler sees the dialog's settings, sets the
// chosen path and returns true, or returns false for Cancel. An empty one
// restores the real dialog. Returns the previous handler.
using FileDialogHandler = std::function<bool(CFileDialog& dialog)>;
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);
