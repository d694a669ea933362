#include "CardFiles.h"

#include <QFile>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

// Mount ids that are never given again (Linux 6.8); older kernels give the
// plain ones, which a later mount may reuse.
#ifndef STATX_MNT_ID_UNIQUE
#define STATX_MNT_ID_UNIQUE 0x00004000U
#endif

namespace drivora {
namespace {

constexpr qint64 kLargestCardFile = 1 << 20; // the camera's files are a few hundred bytes

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(Fd &&o) noexcept : m_fd(std::exchange(o.m_fd, -1)) {}
    Fd &operator=(Fd &&o) noexcept
    {
        std::swap(m_fd, o.m_fd);
        return *this;
    }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd;
};

CardFileProblem ProblemOf(int err)
{
    switch (err) {
    case ENOSPC:
    case EDQUOT:
        return CardFileProblem::Full;
    case EROFS:
        return CardFileProblem::ReadOnly;
    case EACCES:
    case EPERM:
        return CardFileProblem::Denied;
    case ENOENT:
        return CardFileProblem::Missing;
    case EXDEV:
    case ELOOP:
        return CardFileProblem::LeadsOut;
    case ENODEV:
    case ENXIO:
    case ESTALE:
        return CardFileProblem::CardGone;
    default:
        return CardFileProblem::Failed;
    }
}

bool Fail(CardFileError *error, CardFileProblem problem, const QString &path, int err = 0)
{
    if (error) {
        error->problem = problem;
        error->path = path;
        error->detail = err ? QString::fromLocal8Bit(std::strerror(err)) : QString();
    }
    return false;
}

QString Joined(const QString &root, const std::string &name)
{
    const QString n = QFile::decodeName(QByteArray::fromStdString(name));
    return root.endsWith(QLatin1Char('/')) ? root + n : root + QLatin1Char('/') + n;
}

// openat2 with the resolution kept beneath `dir`; -1 with errno ENOSYS where
// the kernel has none.
int OpenBeneath(int dir, const char *name, int flags)
{
    open_how how{};
    how.flags = uint64_t(flags | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    int fd;
    do
        fd = int(::syscall(SYS_openat2, dir, name, &how, sizeof how));
    while (fd < 0 && errno == EINTR);
    return fd;
}

CardRootId IdentifyFd(int fd)
{
    CardRootId id;
    struct statx self {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID | STATX_MNT_ID_UNIQUE, &self) != 0)
        return id;
    id.valid = true;
    id.device = makedev(self.stx_dev_major, self.stx_dev_minor);
    id.inode = self.stx_ino;
    id.mountId = (self.stx_mask & (STATX_MNT_ID | STATX_MNT_ID_UNIQUE)) ? self.stx_mnt_id : 0;
    if (self.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) {
        id.mountRoot = (self.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    } else {
        struct statx parent {};
        id.mountRoot = ::statx(fd, "..", 0, STATX_INO | STATX_MNT_ID | STATX_MNT_ID_UNIQUE, &parent) == 0 &&
                       (parent.stx_mnt_id != self.stx_mnt_id || parent.stx_dev_major != self.stx_dev_major ||
                        parent.stx_dev_minor != self.stx_dev_minor);
    }
    return id;
}

// The root folder, checked against the identity it had when it was chosen.
Fd OpenRoot(const QString &root, const CardRootId *expected, CardFileError *error)
{
    Fd fd(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) {
        const int err = errno;
        Fail(error, err == ENOENT || err == ENOTDIR ? CardFileProblem::CardGone : ProblemOf(err), root, err);
        return fd;
    }
    if (expected) {
        const CardRootId now = IdentifyFd(fd.get());
        if (!now.sameFolder(*expected) || (expected->mountRoot && !now.mountRoot)) {
            Fail(error, CardFileProblem::CardGone, root);
            return Fd();
        }
    }
    return fd;
}

// The entry of the folder named `name` in any ASCII case, the exact name first.
std::string FindEntry(int dir, const char *name)
{
    struct stat st;
    if (::fstatat(dir, name, &st, AT_SYMLINK_NOFOLLOW) == 0)
        return name;
    const int copy = ::dup(dir);
    if (copy < 0)
        return name;
    DIR *d = ::fdopendir(copy);
    if (!d) {
        ::close(copy);
        return name;
    }
    std::string found = name;
    while (const dirent *e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, name) == 0) {
            found = e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

// Where a card file really is: a folder on the card and a name in it.
struct Place {
    Fd dir;
    std::string name;
    bool exists = false;
    mode_t mode = 0;
};

QString FdPath(int fd)
{
    return QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(fd));
}

bool Locate(int root, const QString &rootPath, const char *wanted, Place &place, CardFileError *error)
{
    const std::string entry = FindEntry(root, wanted);
    const QString shown = Joined(rootPath, entry);
    struct stat st;
    if (::fstatat(root, entry.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        const int err = errno;
        if (err != ENOENT)
            return Fail(error, ProblemOf(err), shown, err);
        place.dir = Fd(::dup(root));
        place.name = entry;
        return bool(place.dir) || Fail(error, CardFileProblem::Failed, shown, errno);
    }
    if (S_ISREG(st.st_mode)) {
        place.dir = Fd(::dup(root));
        place.name = entry;
        place.exists = true;
        place.mode = st.st_mode & 07777;
        return bool(place.dir) || Fail(error, CardFileProblem::Failed, shown, errno);
    }
    if (!S_ISLNK(st.st_mode))
        return Fail(error, CardFileProblem::NotAFile, shown);

    // A link: followed only while it stays on the card, to a file.
    Fd target(OpenBeneath(root, entry.c_str(), O_PATH));
    if (!target) {
        const int err = errno;
        if (err == ENOENT)
            return Fail(error, CardFileProblem::NotAFile, shown, err);
        return Fail(error, err == ENOSYS ? CardFileProblem::LeadsOut : ProblemOf(err), shown, err);
    }
    struct stat ts;
    if (::fstat(target.get(), &ts) != 0 || !S_ISREG(ts.st_mode))
        return Fail(error, CardFileProblem::NotAFile, shown);
    const QString real = FdPath(target.get());
    const QString realRoot = FdPath(root);
    if (real.isEmpty() || realRoot.isEmpty())
        return Fail(error, CardFileProblem::LeadsOut, shown);
    const QString prefix = realRoot.endsWith(QLatin1Char('/')) ? realRoot : realRoot + QLatin1Char('/');
    if (!real.startsWith(prefix))
        return Fail(error, CardFileProblem::LeadsOut, shown);
    const QString inside = real.mid(prefix.size());
    const qsizetype slash = inside.lastIndexOf(QLatin1Char('/'));
    const QByteArray folder = slash < 0 ? QByteArray(".") : QFile::encodeName(inside.left(slash));
    place.dir = Fd(OpenBeneath(root, folder.constData(), O_RDONLY | O_DIRECTORY));
    if (!place.dir)
        return Fail(error, CardFileProblem::LeadsOut, shown, errno);
    place.name = QFile::encodeName(inside.mid(slash + 1)).toStdString();
    place.exists = true;
    place.mode = ts.st_mode & 07777;
    return true;
}

bool WriteAll(int fd, const QByteArray &bytes)
{
    const char *at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, at, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        at += n;
        left -= n;
    }
    return true;
}

struct Pending {
    Place place;
    std::string temporary;
};

void RemoveTemporaries(const std::vector<Pending> &pending, size_t from = 0)
{
    for (size_t i = from; i < pending.size(); ++i)
        if (!pending[i].temporary.empty())
            ::unlinkat(pending[i].place.dir.get(), pending[i].temporary.c_str(), 0);
}

} // namespace

CardRootId IdentifyCardRoot(const QString &root)
{
    Fd fd(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd ? IdentifyFd(fd.get()) : CardRootId();
}

QString CardFileName(const QString &root, const char *name)
{
    Fd fd(::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd)
        return QString::fromLatin1(name);
    return QFile::decodeName(QByteArray::fromStdString(FindEntry(fd.get(), name)));
}

bool ReadCardFile(const QString &root, const char *name, QByteArray &data, const CardRootId *expected,
                  CardFileError *error)
{
    Fd dir = OpenRoot(root, expected, error);
    if (!dir)
        return false;
    Place place;
    if (!Locate(dir.get(), root, name, place, error))
        return false;
    const QString shown = Joined(root, place.name);
    if (!place.exists)
        return Fail(error, CardFileProblem::Missing, shown);
    // Never waits: a FIFO put in the file's place meanwhile is refused below.
    Fd file(::openat(place.dir.get(), place.name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
    if (!file)
        return Fail(error, ProblemOf(errno), shown, errno);
    struct stat st;
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return Fail(error, CardFileProblem::NotAFile, shown);
    QByteArray out;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return Fail(error, ProblemOf(errno), shown, errno);
        if (n == 0 || out.size() >= kLargestCardFile)
            break;
        out.append(buffer, qsizetype(std::min<qint64>(n, kLargestCardFile - out.size())));
    }
    data = out;
    return true;
}

bool WriteCardFiles(const QString &root, const std::vector<std::pair<const char *, QByteArray>> &files,
                    const CardRootId *expected, CardFileError *error)
{
    Fd dir = OpenRoot(root, expected, error);
    if (!dir)
        return false;
    std::vector<Pending> pending;
    pending.reserve(files.size());
    for (const auto &[name, bytes] : files) {
        Pending p;
        if (!Locate(dir.get(), root, name, p.place, error)) {
            RemoveTemporaries(pending);
            return false;
        }
        const QString shown = Joined(root, p.place.name);
        Fd out;
        for (int attempt = 0; attempt < 100 && !out; ++attempt) {
            p.temporary = p.place.name + '.' + QByteArray::number(QRandomGenerator::global()->generate() % 1000000).toStdString();
            out = Fd(::openat(p.place.dir.get(), p.temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              0666));
            if (!out && errno != EEXIST)
                break;
        }
        if (!out) {
            const int err = errno;
            p.temporary.clear();
            RemoveTemporaries(pending);
            return Fail(error, ProblemOf(err), shown, err);
        }
        pending.push_back(std::move(p));
        Pending &last = pending.back();
        if (last.place.exists)
            ::fchmod(out.get(), last.place.mode); // a FAT card has no modes: failing is fine
        if (!WriteAll(out.get(), bytes) || ::fsync(out.get()) != 0) {
            const int err = errno;
            RemoveTemporaries(pending);
            return Fail(error, ProblemOf(err), shown, err);
        }
    }
    // All whole: into their places.
    for (size_t i = 0; i < pending.size(); ++i) {
        Pending &p = pending[i];
        if (::renameat(p.place.dir.get(), p.temporary.c_str(), p.place.dir.get(), p.place.name.c_str()) != 0) {
            const int err = errno;
            RemoveTemporaries(pending, i);
            return Fail(error, ProblemOf(err), Joined(root, p.place.name), err);
        }
        p.temporary.clear();
        ::fsync(p.place.dir.get());
    }
    return true;
}

} // namespace drivora
