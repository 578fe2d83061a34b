#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// Tells when the file at a path may have changed: rewritten, replaced by a
// rename, removed or made again. It watches the file and its folder, since a
// file replaced by a rename is no longer the one watched; the notices of one
// save come in a burst and are gathered into one Changed() a moment later.
// Whether anything really changed is for the receiver to find out.
class CFileWatcher : public QObject {
    Q_OBJECT
public:
    explicit CFileWatcher(QObject* pParent = nullptr);

    // Watches path from now on instead of the previous one; an empty path
    // watches nothing.
    void Watch(const QString& path);

    // How long a burst of notices is gathered.
    static constexpr int SETTLE_MS = 100;

signals:
    void Changed();

private:
    void OnNotice();

    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QString m_strPath;
};
