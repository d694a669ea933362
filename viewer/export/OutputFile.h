// The files the exports write. Only a regular file (or nothing yet) is ever
// replaced: a FIFO, a device or a socket, or a link to one, is refused before
// anything is read or written, so that an export never blocks on it nor pours
// its bytes into it. A file is written beside its place and renamed over it
// only when whole, so a failed write keeps the earlier file. Paths keep their
// bytes (catalogue/NativePath.h).
#pragma once

#include <QByteArray>
#include <QString>

namespace drivora {

// Why an export cannot be written to `path`: empty when it names a regular
// file, a link to one, or nothing yet.
QString OutputRefusal(const QString &path);

// A file written beside its place (NAME.partial-XXXXXX in the same folder),
// removed again unless committed. A link to a regular file is followed: the
// file it leads to is replaced, the link stays.
class AsideFile {
public:
    explicit AsideFile(const QString &path);
    ~AsideFile();
    AsideFile(const AsideFile &) = delete;
    AsideFile &operator=(const AsideFile &) = delete;

    // Refuses what OutputRefusal refuses; false with a reason.
    bool open(QString *why);
    // The file aside, for writers that open it by name.
    QByteArray nativeAsidePath() const { return m_aside; }
    bool write(const QByteArray &bytes, QString *why);
    // Flushes the file aside to the disk and renames it over the place, as an
    // ordinary file (the permissions the umask leaves).
    bool commit(QString *why);

private:
    QString m_path;
    QByteArray m_target, m_aside;
    int m_fd = -1;
};

// The whole of `bytes` as the file `path`, through an AsideFile.
bool WriteWholeFile(const QString &path, const QByteArray &bytes, QString *why);

} // namespace drivora
