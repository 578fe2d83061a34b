#include "platform/qt/FileDialog.h"

#include "platform/qt/Modal.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

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

CFileDialog::CFileDialog(bool bOpenFileDialog, const QString& defaultExt, const QString& fileName,
                         const QString& filter, QWidget* pParent)
    : m_bOpen(bOpenFileDialog), m_defaultExt(defaultExt), m_fileName(fileName),
      m_nameFilters(ConvertFilter(filter)), m_pParent(pParent) {}

QString CFileDialog::GetFileTitle() const {
    return QFileInfo(m_pathName).fileName();
}

bool CFileDialog::DoModal() {
    m_pathName.clear();
    if (Handler())
        return Handler()(*this);
    QFileDialog dialog(m_pParent);
    dialog.setAcceptMode(m_bOpen ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dialog.setFileMode(m_bOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilters(m_nameFilters);
    dialog.setDefaultSuffix(m_defaultExt);
    if (!m_fileName.isEmpty())
        dialog.selectFile(m_fileName);
    if (::DoModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    m_pathName = dialog.selectedFiles().constFirst();
    return true;
}

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}
