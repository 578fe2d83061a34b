#include "platform/qt/FileWatcher.h"

#include <QFileInfo>

CFileWatcher::CFileWatcher(QObject* pParent) : QObject(pParent) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(SETTLE_MS);
    connect(&m_settle, &QTimer::timeout, this, &CFileWatcher::Changed);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &CFileWatcher::OnNotice);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &CFileWatcher::OnNotice);
}

void CFileWatcher::Watch(const QString& path) {
    if (path == m_strPath)
        return;
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_settle.stop();
    m_strPath = path;
    if (path.isEmpty())
        return;
    m_watcher.addPath(QFileInfo(path).absolutePath());
    if (QFileInfo::exists(path))
        m_watcher.addPath(path);
}

// A watch follows the file it was set on, so after a file was renamed over
// the watched one, or removed and made again, the path is watched afresh.
void CFileWatcher::OnNotice() {
    if (m_watcher.files().contains(m_strPath))
        m_watcher.removePath(m_strPath);
    if (QFileInfo::exists(m_strPath))
        m_watcher.addPath(m_strPath);
    m_settle.start();
}
