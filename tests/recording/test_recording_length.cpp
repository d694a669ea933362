// The list's length column: read from a recording's headers alone, on a
// worker thread.
#include "catalogue/RecordingLength.h"
#include "support/Recordings.h"
#include "support/Wait.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace drivora;

TEST(RecordingLength, FromTheHeadersAlone)
{
    QTemporaryDir dir;
    auto make = [&](const char *name, int seconds, int fps, int rear) {
        testsupport::SmallRecording shape;
        shape.fileName = name;
        shape.seconds = seconds;
        shape.fps = fps;
        shape.rearWidth = rear;
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(testsupport::MakeRecording(path.toStdString(), shape));
        return path;
    };
    const QString two = make("REC_20240315_081500_0.AVI", 2, 15, 160);
    EXPECT_EQ(RecordingLengthMs(two), 2000);
    EXPECT_EQ(RecordingLengthMs(make("EVT_20240315_081612_0.AVI", 3, 10, 0)), 3000) << "one channel, 10 a second";

    // Only the start of the file is read: a recording cut after its headers
    // still tells its length, one cut inside them does not.
    QFile whole(two);
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    struct Case {
        const char *what;
        QByteArray content;
        int64_t ms;
    } cases[] = {
        {"cut after 8 KiB", bytes.left(8192), 2000},
        {"cut before its stream headers: the main header's frames times their time", bytes.left(100), 1999},
        {"cut inside its main header", bytes.left(40), -1},
        {"empty", QByteArray(), -1},
        {"not a recording", QByteArray("RIFF\x10\0\0\0WAVEfmt ", 16) + QByteArray(64, '\0'), -1},
        {"a header list of no streams", QByteArray("RIFF\x20\0\0\0AVI LIST\x04\0\0\0hdrl", 24), -1},
    };
    for (const Case &c : cases) {
        const QString path = dir.filePath(QStringLiteral("case.AVI"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.content);
        f.close();
        EXPECT_EQ(RecordingLengthMs(path), c.ms) << c.what;
    }
    EXPECT_EQ(RecordingLengthMs(dir.filePath(QStringLiteral("missing.AVI"))), -1);
    EXPECT_EQ(RecordingLengthMs(dir.path()), -1) << "a folder";
    const QString fifo = dir.filePath(QStringLiteral("REC_20240315_090000_0.AVI"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    EXPECT_EQ(RecordingLengthMs(fifo), -1) << "a FIFO is not waited on";
}

TEST(RecordingLength, Text)
{
    const std::pair<int64_t, const char *> cases[] = {
        {-1, ""}, {0, "0:00"}, {999, "0:00"}, {59000, "0:59"}, {60000, "1:00"}, {61500, "1:01"},
        {3599000, "59:59"}, {3600000, "1:00:00"}, {36061000, "10:01:01"},
    };
    for (const auto &[ms, text] : cases)
        EXPECT_EQ(LengthText(ms), QString::fromLatin1(text)) << ms;
}

// Lengths come on the thread that asked, each file read again only once it
// has grown.
TEST(RecordingLength, ReadOnAWorker)
{
    QTemporaryDir dir;
    testsupport::SmallRecording shape;
    shape.seconds = 2;
    const QString path = dir.filePath(QStringLiteral("REC_20240315_081500_0.AVI"));
    ASSERT_TRUE(testsupport::MakeRecording(path.toStdString(), shape));
    const QString garbage = dir.filePath(QStringLiteral("REC_20240315_081530_0.AVI"));
    QFile g(garbage);
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write("not yet");
    g.close();

    RecordingLengths lengths;
    std::vector<std::pair<QString, qint64>> read;
    QObject::connect(&lengths, &RecordingLengths::lengthRead,
                     [&read](const QString &path, qint64 ms) { read.emplace_back(path, ms); });
    lengths.request({path, garbage});
    ASSERT_TRUE(testsupport::WaitFor([&] { return int(read.size()) >= 2; }));
    EXPECT_EQ(read.at(0).first, path);
    EXPECT_EQ(read.at(0).second, 2000);
    EXPECT_EQ(read.at(1).second, -1);

    // The camera finishes the second file: read again, now whole.
    ASSERT_TRUE(QFile::remove(garbage));
    ASSERT_TRUE(QFile::copy(path, garbage));
    lengths.request({garbage});
    ASSERT_TRUE(testsupport::WaitFor([&] { return int(read.size()) >= 3; }));
    EXPECT_EQ(read.at(2).second, 2000);
}
