#include "NativePath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace drivora {
namespace {

constexpr char16_t kEscapeBase = 0xDC00; // U+DC80..U+DCFF carry the bytes 0x80..0xFF

// Length of the valid UTF-8 sequence at p (1..4), or 0 when it is not one.
int validSequence(const unsigned char *p, qsizetype left)
{
    const unsigned c = p[0];
    if (c < 0x80)
        return 1;
    int length;
    unsigned min;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (left < length)
        return 0;
    unsigned code = c & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

QString PathFromNative(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data());
    const qsizetype n = bytes.size();
    QString text;
    text.reserve(n);
    qsizetype i = 0;
    while (i < n) {
        qsizetype run = i; // a run of valid sequences is decoded in one go
        while (run < n) {
            const int length = validSequence(p + run, n - run);
            if (length == 0)
                break;
            run += length;
        }
        if (run > i) {
            text += QString::fromUtf8(bytes.sliced(i, run - i));
            i = run;
        }
        if (i < n) {
            text += QChar(char16_t(kEscapeBase + p[i]));
            ++i;
        }
    }
    return text;
}

QByteArray NativeFromPath(const QString &path)
{
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype from = 0;
    const qsizetype n = path.size();
    for (qsizetype i = 0; i <= n; ++i) {
        const bool escaped = i < n && path[i].unicode() >= 0xDC80 && path[i].unicode() <= 0xDCFF &&
                             !(i > 0 && path[i - 1].isHighSurrogate());
        if (i < n && !escaped)
            continue;
        if (i > from)
            bytes += QStringView(path).sliced(from, i - from).toUtf8();
        if (escaped)
            bytes += char(path[i].unicode() - kEscapeBase);
        from = i + 1;
    }
    return bytes;
}

QString DisplayPath(const QString &path)
{
    QString shown = path;
    for (qsizetype i = 0; i < shown.size(); ++i)
        if (shown[i].unicode() >= 0xDC80 && shown[i].unicode() <= 0xDCFF && !(i > 0 && shown[i - 1].isHighSurrogate()))
            shown[i] = QChar(QChar::ReplacementCharacter);
    return shown;
}

bool IsRegularFile(const QString &path)
{
    struct stat st {};
    return ::stat(NativeFromPath(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsSomethingElseThanAFile(const QString &path)
{
    struct stat st {};
    return ::stat(NativeFromPath(path).constData(), &st) == 0 && !S_ISREG(st.st_mode);
}

int OpenRegularFile(const QString &path, qint64 maxSize)
{
    const int fd = ::open(NativeFromPath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (maxSize >= 0 && st.st_size > maxSize)) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace drivora
