#include "platform/qt/FileDialog.h"

#include "platform/qt/Modal.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include <utility>

namespace {

FileDialogHandler& Handler() {
    static FileDialogHandler handler;
    return handler;
}

// "Bitmap (*.bmp)" with the pattern "*.bmp;*.dib" becomes "Bitmap (*.bmp *.dib)".
// "*.*" means every file on the old platform; here names need no dot, so it
// becomes "*".
QString NameFilter(const QString& name, const QString& pattern) {
    QStringList list = pattern.split(';', Qt::SkipEmptyParts);
    list.replaceInStrings(QRegularExpression(R"(^\*\.\*$)"), "*");
    const QString patterns = list.join(' ');
    static const QRegularExpression trailingPatterns(R"(\s*\(([^()]*)\)\s*$)");
    const QRegularExpressionMatch match = trailingPatterns.match(name);
    if (match.hasMatch() && match.captured(1).simplified() == patterns)
        return name;
    const QString bare = match.hasMatch() ? name.left(match.capturedStart()) : name;
    return bare + " (" + patterns + ")";
}

} // namespace

QStringList ConvertFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        filters << NameFilter(parts[i], parts[i + 1]);
    }
    return filters;
}

QString FilterExtension(const QString& nameFilter) {
    static const QRegularExpression single(R"(\(\*\.(\w+)\)\s*$)");
    const QRegularExpressionMatch match = single.match(nameFilter);
    return match.hasMatch() ? match.captured(1) : QString();
}

CFileDialog::CFileDialog(bool bOpenFileDialog, const QString& defaultExt, const QString& fileName,
                         const QString& filter, QWidget* pParent)
    : m_bOpen(bOpenFileDialog), m_defaultExt(defaultExt), m_fileName(fileName),
      m_nameFilters(ConvertFilter(filter)), m_pParent(pParent) {}

CFileDialog CFileDialog::ForFolder(QWidget* pParent) {
    CFileDialog dialog(true, QString(), QString(), QString(), pParent);
    dialog.m_bFolder = true;
    return dialog;
}

QString CFileDialog::GetFileTitle() const {
    return QFileInfo(m_pathName).fileName();
}

namespace {

QString FolderKey(const QString& kind) {
    return "Folders/" + kind;
}

// Qt's own dialog adds the default extension to every name typed without
// one, so that "readme" opened "readme.dat". Here a name typed for an
// existing file is taken as it is.
class CTypedNameDialog : public QFileDialog {
public:
    CTypedNameDialog(QWidget* pParent, QString defaultExt)
        : QFileDialog(pParent), m_defaultExt(std::move(defaultExt)) {}

    void accept() override {
        const QStringList files = selectedFiles();
        if (fileMode() == ExistingFile && files.size() == 1 && !m_defaultExt.isEmpty()) {
            const QFileInfo typed(files.constFirst());
            const QString withExt = typed.filePath() + "." + m_defaultExt;
            if (!typed.exists() && typed.suffix().isEmpty() && QFileInfo::exists(withExt))
                selectFile(withExt);
        }
        QFileDialog::accept();
    }

private:
    QString m_defaultExt;
};

} // namespace

bool CFileDialog::DoModal() {
    m_pathName.clear();
    if (!m_folderKind.isEmpty()) {
        const QString folder = QSettings().value(FolderKey(m_folderKind)).toString();
        m_initialFolder = QFileInfo(folder).isDir() ? folder : QString();
    }
    if (!(Handler() ? Handler()(*this) : RunDialog()) || m_pathName.isEmpty())
        return false;
    if (!m_bFolder)
        m_pathName = CompletedName(m_pathName);
    if (!m_folderKind.isEmpty())
        QSettings().setValue(FolderKey(m_folderKind), m_bFolder
                                                          ? QFileInfo(m_pathName).absoluteFilePath()
                                                          : QFileInfo(m_pathName).absolutePath());
    return true;
}

bool CFileDialog::RunDialog() {
    CTypedNameDialog dialog(m_pParent, m_bOpen ? m_defaultExt : QString());
    dialog.setAcceptMode(m_bOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(m_bFolder ? QFileDialog::Directory
                       : m_bOpen ? QFileDialog::ExistingFile
                                 : QFileDialog::AnyFile);
    if (m_bFolder)
        dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setNameFilters(m_nameFilters);
    if (!m_initialFolder.isEmpty())
        dialog.setDirectory(m_initialFolder);
    if (!m_fileName.isEmpty())
        dialog.selectFile(m_fileName);
    if (m_selectedFilter > 0 && m_selectedFilter < m_nameFilters.size())
        dialog.selectNameFilter(m_nameFilters[m_selectedFilter]);
    if (!m_bOpen) {
        // Qt adds the suffix itself, so that it asks before replacing the
        // file the name with the suffix names.
        auto follow = [&dialog](const QString& filter) {
            dialog.setDefaultSuffix(FilterExtension(filter));
        };
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
        follow(dialog.selectedNameFilter());
    }
    if (::DoModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    m_pathName = dialog.selectedFiles().constFirst();
    m_selectedFilter = static_cast<int>(m_nameFilters.indexOf(dialog.selectedNameFilter()));
    return true;
}

// The name as typed, given the extension it lacks (see the class).
QString CFileDialog::CompletedName(const QString& typed) const {
    const QFileInfo info(typed);
    if (!info.suffix().isEmpty())
        return typed;
    if (m_bOpen) {
        const QString withExt = typed + "." + m_defaultExt;
        return !m_defaultExt.isEmpty() && !info.exists() && QFileInfo::exists(withExt) ? withExt
                                                                                       : typed;
    }
    const QString ext = FilterExtension(m_nameFilters.value(m_selectedFilter));
    return ext.isEmpty() ? typed : typed + "." + ext;
}

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}
