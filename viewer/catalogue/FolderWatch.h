#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace drivora {

// The folders the list follows for what was opened: each folder among the
// paths and those of its DRIVE, EVENT and PARKING subfolders (in any case, as
// a FAT card may spell them) that are there now. Files are not followed.
QStringList WatchedFolders(const QStringList &opened);

// Follows the opened folders and tells, once a burst of changes has settled
// for `settleMs`, that their recordings may have changed: a camera writing
// many files gives one `changed()`. A subfolder made or removed later is
// followed or left from the next change on.
class FolderWatch : public QObject {
    Q_OBJECT
public:
    explicit FolderWatch(int settleMs = 400, QObject *parent = nullptr);

    // Replaces what is followed (empty: nothing).
    void follow(const QStringList &opened);
    QStringList opened() const { return m_opened; }
    QStringList folders() const { return m_watcher.directories(); }

signals:
    void changed();

private:
    void refollow();

    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QStringList m_opened;
};

} // namespace drivora
