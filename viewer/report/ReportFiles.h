// What the printed report reads and writes besides its pages: the digest of
// the recording it comes from, read on a worker thread, and the PDF file it
// is preset to. No widgets: the rules run and are tested without a display.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

namespace drivora {

// The SHA-256 of a whole file, read through its native bytes (a folder name
// that is not UTF-8 included).
struct FileDigest {
    bool ok = false;
    bool cancelled = false;
    qint64 size = 0;       // bytes read
    QByteArray sha256;     // 32 bytes when ok
    QString error;         // why not, in words for the user
    QString hex() const { return QString::fromLatin1(sha256.toHex()); }
};

inline constexpr qint64 kDigestChunk = 4 << 20; // bytes read at a time

// Reads the file in chunks of kDigestChunk; after each, progress(done, total)
// is called, and a false answer cancels. Runs on the calling thread.
FileDigest DigestFile(const QString &path, const std::function<bool(qint64 done, qint64 total)> &progress = {});

// DigestFile on a worker thread: the caller's event loop keeps turning and
// hears how far it got. Cancelled and waited for when destroyed.
class DigestJob : public QObject {
    Q_OBJECT
public:
    explicit DigestJob(QString path, QObject *parent = nullptr);
    ~DigestJob() override;

    void start();
    void cancel() { m_cancel = true; }
    bool running() const;
    // What was read, once finished() has come.
    FileDigest result() const { return m_result; }

signals:
    // From the worker thread: bytes read of all.
    void progressed(qint64 done, qint64 total);
    // Queued to the job's own thread once the worker is done.
    void finished();

private:
    QString m_path;
    std::atomic<bool> m_cancel = false;
    FileDigest m_result;
    std::unique_ptr<QThread> m_worker;
};

// The PDF file a report is preset to where no printer is installed: named
// after the moment, in the picture folder of the options (the capture folder
// when none is set). When that folder cannot take it, no file and the
// reason, for the user.
struct ReportFilePreset {
    QString file;
    QString problem;
};
ReportFilePreset PresetReportFile(const QString &pictureFolder, const QDateTime &now);

} // namespace drivora
