#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

namespace drivora {

// A recording's length in milliseconds from its headers alone (the first
// few kilobytes): the first video stream's frames over its rate, else the
// main header's frames times its frame time. -1 when the headers cannot tell
// (not a recording, cut before its headers, no frames yet, not a file).
int64_t RecordingLengthMs(const QString &path);

// "m:ss", or "h:mm:ss" from an hour on; empty for a length not known.
QString LengthText(int64_t ms);

// Reads recordings' lengths on a worker thread, the latest request first, and
// hands each to the thread that made it (lengthRead). A file read before is
// read again only when its size has changed (a camera still writing it).
class RecordingLengths : public QObject {
    Q_OBJECT
public:
    explicit RecordingLengths(QObject *parent = nullptr);
    ~RecordingLengths() override;

    // Replaces what is left to read by these files.
    void request(const QStringList &paths);

signals:
    void lengthRead(const QString &path, qint64 ms);

private:
    void run();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<QString> m_queue;
    bool m_stop = false;
    QHash<QString, std::pair<qint64, qint64>> m_read; // worker only: path -> size, length
    std::thread m_worker;
};

} // namespace drivora
