#include "OutputFile.h"

#include "catalogue/NativePath.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace drivora {
namespace {

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString OutputRefusal(const QString &path)
{
    const QByteArray native = NativeFromPath(path);
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        return {}; // nothing there yet; writing says whether the folder takes it
    if (S_ISLNK(st.st_mode) && ::stat(native.constData(), &st) != 0)
        return {}; // a link that leads nowhere is replaced like a file
    if (S_ISREG(st.st_mode))
        return {};
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("%1 is a folder").arg(DisplayPath(path));
    return QStringLiteral("%1 is not a regular file (a FIFO, device or socket); nothing was written to it")
        .arg(DisplayPath(path));
}

AsideFile::AsideFile(const QString &path) : m_path(path) {}

AsideFile::~AsideFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_aside.isEmpty())
        ::unlink(m_aside.constData());
}

bool AsideFile::open(QString *why)
{
    if (const QString refusal = OutputRefusal(m_path); !refusal.isEmpty()) {
        if (why)
            *why = refusal;
        return false;
    }
    m_target = NativeFromPath(m_path);
    struct stat st {};
    if (::lstat(m_target.constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // The file the link leads to is replaced, beside itself.
        if (char *resolved = ::realpath(m_target.constData(), nullptr)) {
            m_target = resolved;
            std::free(resolved);
        }
    }
    QByteArray pattern = m_target + ".partial-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        if (why)
            *why = SystemError(errno);
        return false;
    }
    m_fd = fd;
    m_aside = pattern;
    return true;
}

bool AsideFile::write(const QByteArray &bytes, QString *why)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (why)
                *why = SystemError(n < 0 ? errno : ENOSPC);
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

bool AsideFile::commit(QString *why)
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    // A file aside is private; an export is an ordinary file.
    if (::fchmod(m_fd, 0666 & ~mask) != 0 || ::fsync(m_fd) != 0) {
        if (why)
            *why = SystemError(errno);
        return false;
    }
    const int closed = ::close(m_fd);
    m_fd = -1;
    if (closed != 0 || ::rename(m_aside.constData(), m_target.constData()) != 0) {
        if (why)
            *why = SystemError(errno);
        return false;
    }
    m_aside.clear();
    return true;
}

bool WriteWholeFile(const QString &path, const QByteArray &bytes, QString *why)
{
    AsideFile file(path);
    return file.open(why) && file.write(bytes, why) && file.commit(why);
}

} // namespace drivora
