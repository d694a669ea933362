// Snapshot file names, and pictures written whole or not at all.
#include "app/Snapshot.h"
#include "catalogue/AppPaths.h"
#include "support/Files.h"

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace drivora;

TEST(Snapshot, FileNames)
{
    const QDateTime when(QDate(2010, 2, 3), QTime(4, 5, 6, 7));
    struct Case {
        const char *recording;
        int channel;
        const char *name;
    } cases[] = {
        {"CLIP.AVI", 1, "/pictures/CLIP-2010-02-03-04h05m06s007(Track1).jpg"},
        {"CLIP.AVI", 2, "/pictures/CLIP-2010-02-03-04h05m06s007(Track2).jpg"},
        {"REC_20240315_081500_0.AVI", 1, "/pictures/REC_20240315_081500_0-2010-02-03-04h05m06s007(Track1).jpg"},
        {"noextension", 1, "/pictures/noextension-2010-02-03-04h05m06s007(Track1).jpg"},
        {".hidden", 2, "/pictures/.hidden-2010-02-03-04h05m06s007(Track2).jpg"},
        {"a.b.avi", 1, "/pictures/a.b-2010-02-03-04h05m06s007(Track1).jpg"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SnapshotFileName(QStringLiteral("/pictures"), QString::fromUtf8(c.recording), when, c.channel),
                  QString::fromUtf8(c.name))
            << c.recording;

    // No folder set: the capture folder, never the root.
    QTemporaryDir documents;
    SetDocumentsFolderForTesting(documents.path());
    const QString name = SnapshotFileName(QString(), QStringLiteral("CLIP.AVI"), when, 1);
    EXPECT_TRUE(name.startsWith(GetCaptureFolder() + QLatin1Char('/'))) << qPrintable(name);
    SetDocumentsFolderForTesting(QString());
}

TEST(Snapshot, WrittenWholeOrNotAtAll)
{
    QImage picture(320, 180, QImage::Format_RGB32);
    picture.fill(QColor(30, 120, 200));
    QTemporaryDir dir;
    const QString good = dir.filePath(QStringLiteral("a(Track1).jpg"));
    EXPECT_EQ(SaveSnapshot(picture, good), QString());
    QImageReader reader(good);
    EXPECT_EQ(reader.format(), QByteArray("jpeg"));
    EXPECT_EQ(reader.size(), QSize(320, 180)) << "at the picture's own size";

    EXPECT_FALSE(SaveSnapshot(picture, dir.filePath(QStringLiteral("missing/b.jpg"))).isEmpty());
    EXPECT_FALSE(SaveSnapshot(QImage(), dir.filePath(QStringLiteral("c.jpg"))).isEmpty());

    testsupport::SmallDisk disk("64k");
    if (!disk.available())
        GTEST_SKIP() << "needs the right to mount a small file system";
    QImage noise(1280, 720, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb((x * 7919 + y * 104729) & 255, (x * y) & 255, (x ^ y) & 255));
    const QString full = QString::fromStdString(disk.file("d(Track1).jpg"));
    const QString why = SaveSnapshot(noise, full);
    EXPECT_FALSE(why.isEmpty()) << "a full disk is reported";
    EXPECT_TRUE(QDir(QString::fromStdString(disk.path())).entryList(QDir::Files).isEmpty()) << "nothing left";
}
