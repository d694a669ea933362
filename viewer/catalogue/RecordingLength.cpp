#include "RecordingLength.h"

#include "NativePath.h"

#include <QFileInfo>

#include <cstring>
#include <unistd.h>

namespace drivora {
namespace {

uint32_t le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool is(const uint8_t *p, const char *fourcc)
{
    return std::memcmp(p, fourcc, 4) == 0;
}

// The headers of the camera's recordings take a few hundred bytes; an AVI's
// header list sits before its media data, within this many bytes.
constexpr size_t kHeaderWindow = 64 * 1024;

int64_t LengthFromHeaderList(const uint8_t *p, const uint8_t *end)
{
    int64_t mainHeader = -1;
    while (end - p >= 8) {
        const uint32_t size = le32(p + 4);
        const uint8_t *data = p + 8;
        const uint64_t room = uint64_t(end - data);
        if (is(p, "avih") && size >= 20 && room >= 20) {
            const uint64_t microseconds = le32(data), frames = le32(data + 16);
            if (microseconds > 0 && frames > 0)
                mainHeader = int64_t(frames * microseconds / 1000);
        } else if (is(p, "LIST") && size >= 4 && room >= 4 && is(data, "strl")) {
            const uint8_t *q = data + 4;
            const uint8_t *qend = data + std::min<uint64_t>(size, room);
            if (qend - q >= 8 + 36 && is(q, "strh") && le32(q + 4) >= 36 && is(q + 8, "vids")) {
                const uint8_t *h = q + 8;
                const uint64_t scale = le32(h + 20), rate = le32(h + 24), length = le32(h + 32);
                if (scale > 0 && rate > 0 && length > 0)
                    return int64_t(length * scale * 1000 / rate);
            }
        }
        if (size > room)
            break;
        p = data + size + (size & 1);
    }
    return mainHeader;
}

} // namespace

int64_t RecordingLengthMs(const QString &path)
{
    // Regular files only: a FIFO named like a recording would never answer.
    const int fd = OpenRegularFile(path);
    if (fd < 0)
        return -1;
    std::vector<uint8_t> head(kHeaderWindow);
    size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = ::read(fd, head.data() + got, head.size() - got);
        if (n <= 0)
            break;
        got += size_t(n);
    }
    ::close(fd);
    const uint8_t *p = head.data();
    if (got < 12 || !is(p, "RIFF") || !is(p + 8, "AVI "))
        return -1;
    const uint8_t *end = p + got;
    p += 12;
    while (end - p >= 12) {
        const uint32_t size = le32(p + 4);
        if (is(p, "LIST") && is(p + 8, "hdrl"))
            return LengthFromHeaderList(p + 12, p + 8 + std::min<uint64_t>(size, uint64_t(end - p - 8)));
        if (is(p, "LIST") && is(p + 8, "movi"))
            return -1; // the media data before any header list
        if (size > uint64_t(end - p - 8))
            return -1;
        p += 8 + size + (size & 1);
    }
    return -1;
}

QString LengthText(int64_t ms)
{
    if (ms < 0)
        return {};
    const int64_t s = ms / 1000;
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(s / 3600)
            .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

RecordingLengths::RecordingLengths(QObject *parent) : QObject(parent), m_worker([this] { run(); }) {}

RecordingLengths::~RecordingLengths()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_worker.join();
}

void RecordingLengths::request(const QStringList &paths)
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_queue.assign(paths.cbegin(), paths.cend());
    }
    m_wake.notify_all();
}

void RecordingLengths::run()
{
    for (;;) {
        QString path;
        {
            std::unique_lock<std::mutex> hold(m_lock);
            m_wake.wait(hold, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            path = m_queue.front();
            m_queue.pop_front();
        }
        const qint64 size = QFileInfo(path).size();
        const auto known = m_read.constFind(path);
        qint64 ms;
        if (known != m_read.cend() && known->first == size) {
            ms = known->second;
        } else {
            ms = RecordingLengthMs(path);
            m_read.insert(path, {size, ms});
        }
        QMetaObject::invokeMethod(this, [this, path, ms] { emit lengthRead(path, ms); }, Qt::QueuedConnection);
    }
}

} // namespace drivora
