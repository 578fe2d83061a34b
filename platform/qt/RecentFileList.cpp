#include "platform/qt/RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

constexpr char SECTION[] = "Recent File List";

QString Normalised(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

void CRecentFileList::Add(const QString& path) {
    const QString file = Normalised(path);
    m_files.removeAll(file);
    m_files.prepend(file);
    while (m_files.size() > m_size)
        m_files.removeLast();
}

void CRecentFileList::Remove(const QString& path) {
    m_files.removeAll(Normalised(path));
}

void CRecentFileList::ReadList(QSettings& settings) {
    m_files.clear();
    settings.beginGroup(SECTION);
    for (int i = 1; i <= m_size; ++i) {
        const QString file = settings.value(QString("File%1").arg(i)).toString();
        if (!file.isEmpty() && !m_files.contains(file))
            m_files << file;
    }
    settings.endGroup();
}

void CRecentFileList::WriteList(QSettings& settings) const {
    settings.beginGroup(SECTION);
    settings.remove("");
    for (qsizetype i = 0; i < m_files.size(); ++i)
        settings.setValue(QString("File%1").arg(i + 1), m_files[i]);
    settings.endGroup();
}

QString CRecentFileList::MenuText(int index) const {
    QString shown = QDir::toNativeSeparators(m_files.value(index));
    const QString home = QDir::homePath();
    if (home != "/" && shown.startsWith(home + '/'))
        shown = '~' + shown.mid(home.size());
    // Ampersands in the path would otherwise become mnemonics.
    shown.replace('&', "&&");
    return QString("&%1 %2").arg(index + 1).arg(shown);
}
