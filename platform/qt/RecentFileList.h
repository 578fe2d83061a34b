#pragma once

#include <QStringList>

class QSettings;

// Most recently used files, newest first, at most m_size of them. Paths are
// kept absolute; adding a file already listed moves it to the front.
class CRecentFileList {
public:
    explicit CRecentFileList(int size) : m_size(size) {}

    void Add(const QString& path);
    void Remove(const QString& path);
    const QStringList& Files() const { return m_files; }
    int GetSize() const { return m_size; }

    // The list's section in the settings: "File1" to "File<size>".
    void ReadList(QSettings& settings);
    void WriteList(QSettings& settings) const;

    // The menu text of entry index: "&1 " and the path, the home folder
    // shown as "~".
    QString MenuText(int index) const;

private:
    int m_size;
    QStringList m_files;
};
