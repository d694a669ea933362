// What the report reads besides its pages, without a display: the digest of
// its recording against sha256sum (a folder name that is not UTF-8
// included), read on a worker while the caller's event loop turns, and the
// PDF file it is preset to in the picture folder.
#include "catalogue/AppPaths.h"
#include "catalogue/NativePath.h"
#include "report/ReportFiles.h"
#include "support/Files.h"
#include "support/Process.h"
#include "support/Wait.h"

#include <QDir>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace drivora;

namespace {

// A file of `size` bytes that differ along it.
bool WriteFile(const QByteArray &nativePath, qint64 size)
{
    const int fd = ::open(nativePath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    QByteArray block(1 << 16, Qt::Uninitialized);
    bool ok = true;
    for (qint64 at = 0; at < size && ok; at += block.size()) {
        for (int i = 0; i < block.size(); ++i)
            block[i] = char((at + i) * 2654435761u >> 13);
        const qint64 n = std::min<qint64>(block.size(), size - at);
        ok = ::write(fd, block.constData(), size_t(n)) == n;
    }
    return ::close(fd) == 0 && ok;
}

std::string Sha256sum(const QByteArray &nativePath)
{
    return testsupport::Shell("sha256sum " + testsupport::Quote(nativePath.toStdString())).output.substr(0, 64);
}

} // namespace

TEST(ReportDigest, MatchesSha256sumForEveryRecording)
{
    QTemporaryDir dir;
    const QByteArray root = QFile::encodeName(dir.path());
    // A card written on a Korean system: "블랙박스" in EUC-KR is not UTF-8.
    const QByteArray korean = root + "/\xBA\xED\xB7\xA2\xB9\xDA\xBD\xBA";
    ASSERT_EQ(::mkdir(korean.constData(), 0755), 0);
    struct Case {
        const char *what;
        QByteArray path;
        qint64 size;
    } cases[] = {
        {"empty", root + "/REC_20240315_081500_0.AVI", 0},
        {"smaller than a chunk", root + "/REC_20240315_081530_0.AVI", 70001},
        {"chunks and a rest", root + "/REC_20240315_081600_0.AVI", 2 * kDigestChunk + 12345},
        {"in a folder that is not UTF-8", korean + "/EVT_20240315_081612_0.AVI", kDigestChunk + 1},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(WriteFile(c.path, c.size)) << c.what;
        std::vector<qint64> seen;
        const FileDigest d = DigestFile(PathFromNative(c.path), [&](qint64 done, qint64 total) {
            seen.push_back(done);
            EXPECT_EQ(total, c.size) << c.what;
            return true;
        });
        ASSERT_TRUE(d.ok) << c.what << ": " << d.error.toStdString();
        EXPECT_EQ(d.hex().toStdString(), Sha256sum(c.path)) << c.what;
        EXPECT_EQ(d.size, c.size) << c.what;
        EXPECT_EQ(seen.size(), size_t((c.size + kDigestChunk - 1) / kDigestChunk)) << c.what << ": one call a chunk";
    }

    // What cannot be read says so, and a FIFO named like a recording is
    // never waited on.
    const QByteArray fifo = root + "/REC_20240315_090000_0.AVI";
    ASSERT_EQ(::mkfifo(fifo.constData(), 0644), 0);
    for (const QByteArray &bad : {root + "/missing.AVI", fifo, korean}) {
        const FileDigest d = DigestFile(PathFromNative(bad));
        EXPECT_FALSE(d.ok) << bad.toStdString();
        EXPECT_TRUE(d.error.startsWith(QStringLiteral("원본 녹화를 열 수 없습니다: "))) << d.error.toStdString();
    }
    // Cancelled by its progress: no digest.
    const FileDigest cancelled = DigestFile(PathFromNative(cases[2].path), [](qint64, qint64) { return false; });
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_FALSE(cancelled.ok);
}

TEST(ReportDigest, ReadsOnAWorkerWhileTheEventLoopTurns)
{
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("REC_20240315_081500_0.AVI")));
    const qint64 size = 24 * kDigestChunk + 7;
    ASSERT_TRUE(WriteFile(path, size));

    DigestJob job(PathFromNative(path));
    QThread *const caller = QThread::currentThread();
    std::atomic<int> offCaller = 0, onCaller = 0;
    QObject::connect(&job, &DigestJob::progressed, &job, [&](qint64, qint64) { ++(QThread::currentThread() == caller ? onCaller : offCaller); },
            Qt::DirectConnection);
    // Ticks of the caller's loop that come while the worker is still reading.
    int ticksWhileReading = 0;
    qint64 lastSeen = 0;
    QObject::connect(&job, &DigestJob::progressed, &job, [&](qint64 done, qint64) { lastSeen = done; }, Qt::QueuedConnection);
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (job.running() && lastSeen < size)
            ++ticksWhileReading;
    });
    tick.start(0);
    bool finished = false;
    QObject::connect(&job, &DigestJob::finished, [&] { finished = true; });
    job.start();
    ASSERT_TRUE(testsupport::WaitFor([&] { return finished; }, 60000));
    EXPECT_EQ(onCaller, 0);
    EXPECT_EQ(offCaller, 25);
    EXPECT_GT(ticksWhileReading, 0) << "the caller's events were handled while the file was read";
    ASSERT_TRUE(job.result().ok);
    EXPECT_EQ(job.result().hex().toStdString(), Sha256sum(path));

    // Cancelled while it reads: it stops, with no digest.
    DigestJob stopped(PathFromNative(path));
    QObject::connect(&stopped, &DigestJob::progressed, &stopped, [&stopped](qint64, qint64) { stopped.cancel(); }, Qt::DirectConnection);
    bool ended = false;
    QObject::connect(&stopped, &DigestJob::finished, [&] { ended = true; });
    stopped.start();
    ASSERT_TRUE(testsupport::WaitFor([&] { return ended; }, 60000));
    EXPECT_TRUE(stopped.result().cancelled);
    EXPECT_EQ(stopped.result().size, kDigestChunk) << "stopped after its first chunk";
}

TEST(ReportFilePreset, ThePictureFolderOrWhyNot)
{
    QTemporaryDir pictures, documents;
    SetDocumentsFolderForTesting(documents.path());
    const QDateTime at(QDate(2024, 3, 15), QTime(8, 15, 30));
    const QString name = QStringLiteral("/KVR-2650 Report 2024-03-15 08-15-30.pdf");
    testsupport::SmallDisk card;
    const QString locked = QString::fromStdString(card.path());
    if (card.available()) {
        ASSERT_TRUE(card.setReadOnly(true));
    }
    struct Case {
        const char *what;
        QString folder;
        QString file;    // the preset, or empty
        QString problem; // how the reason starts
    } cases[] = {
        {"the folder chosen", pictures.path(), pictures.path() + name, {}},
        {"with a slash at its end", pictures.path() + QStringLiteral("/"), pictures.path() + name, {}},
        {"none chosen: the capture folder", {}, documents.path() + QStringLiteral("/CAM_CAPTURE") + name, {}},
        {"missing", QStringLiteral("/nonexistent/pictures"), {}, QStringLiteral("사진 저장 폴더가 없습니다: /nonexistent/pictures")},
        {"a file", pictures.path() + QStringLiteral("/not-a-folder"), {}, QStringLiteral("사진 저장 폴더가 없습니다: ")},
        {"write-protected", card.available() ? locked : QString(), {}, QStringLiteral("사진 저장 폴더에 쓸 수 없습니다: ") + locked},
    };
    ASSERT_TRUE(testsupport::WriteText((pictures.path() + QStringLiteral("/not-a-folder")).toStdString(), "x"));
    for (const Case &c : cases) {
        if (c.folder.isEmpty() && !c.problem.isEmpty())
            continue; // no right to mount a disk here
        const ReportFilePreset p = PresetReportFile(c.folder, at);
        EXPECT_EQ(p.file, c.file) << c.what;
        EXPECT_TRUE(c.problem.isEmpty() ? p.problem.isEmpty() : p.problem.startsWith(c.problem))
            << c.what << ": " << p.problem.toStdString();
    }
    EXPECT_EQ(QDir(pictures.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("not-a-folder")})
        << "the folder is tried, and left as it was";
    SetDocumentsFolderForTesting({});
}
