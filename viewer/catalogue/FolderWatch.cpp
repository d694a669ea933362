#include "FolderWatch.h"

#include <QDir>
#include <QFileInfo>

namespace drivora {

QStringList WatchedFolders(const QStringList &opened)
{
    QStringList folders;
    auto add = [&folders](const QString &folder) {
        QString f = QDir::cleanPath(folder);
        if (!folders.contains(f))
            folders << f;
    };
    for (const QString &path : opened) {
        if (!QFileInfo(path).isDir())
            continue;
        add(path);
        const QStringList subfolders = QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &name : subfolders)
            for (const char *kind : {"DRIVE", "EVENT", "PARKING"})
                if (name.compare(QLatin1String(kind), Qt::CaseInsensitive) == 0)
                    add(QDir(path).filePath(name));
    }
    return folders;
}

FolderWatch::FolderWatch(int settleMs, QObject *parent) : QObject(parent)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(settleMs);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { m_settle.start(); });
    connect(&m_settle, &QTimer::timeout, this, [this] {
        refollow();
        emit changed();
    });
}

void FolderWatch::follow(const QStringList &opened)
{
    m_opened = opened;
    m_settle.stop();
    refollow();
}

void FolderWatch::refollow()
{
    const QStringList wanted = WatchedFolders(m_opened);
    QStringList gone;
    for (const QString &f : m_watcher.directories())
        if (!wanted.contains(f))
            gone << f;
    if (!gone.isEmpty())
        m_watcher.removePaths(gone);
    QStringList added;
    for (const QString &f : wanted)
        if (!m_watcher.directories().contains(f))
            added << f;
    if (!added.isEmpty())
        m_watcher.addPaths(added);
}

} // namespace drivora
