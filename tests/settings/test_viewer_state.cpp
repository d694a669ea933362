#include "settings/ViewerOptions.h"
#include "settings/ViewerState.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "support/Files.h"

#include <gtest/gtest.h>

using namespace drivora;

namespace {

QString WriteState(const QTemporaryDir &dir, const QByteArray &text)
{
    const QString path = dir.filePath(QStringLiteral("config/window.ini"));
    QDir().mkpath(dir.filePath(QStringLiteral("config")));
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(text);
    return path;
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

} // namespace

TEST(ViewerStateFile, SitsBesideTheOptionFile)
{
    EXPECT_EQ(ViewerStateFilePath(QStringLiteral("/opt/drivora/config/option.ini")),
              QStringLiteral("/opt/drivora/config/window.ini"));
    EXPECT_TRUE(ViewerStateFilePath(QString()).isEmpty()) << "no option file, nothing remembered";
}

TEST(ViewerStateFile, Reading)
{
    ViewerState start;
    start.geometry = QRect(1, 2, 3, 4);
    start.viewMode = 2;
    start.folder = QStringLiteral("/before");
    struct Case {
        const char *what;
        QByteArray text;
        QRect geometry;
        bool maximised;
        int viewMode;
        QString folder, drive;
    } cases[] = {
        {"as the viewer writes it",
         "window=40,30,1200,800\nmaximised=1\nview=both\nfolder=/media/u/KVR/DRIVE\ndrive=/media/u/KVR\n",
         QRect(40, 30, 1200, 800), true, 3, "/media/u/KVR/DRIVE", "/media/u/KVR"},
        {"CR LF line ends", "window=-1900,10,1034,742\r\nview=rear\r\n", QRect(-1900, 10, 1034, 742), false, 2,
         "/before", ""},
        {"a geometry of three numbers is left", "window=40,30,1200\n", QRect(1, 2, 3, 4), false, 2, "/before", ""},
        {"a geometry with words is left", "window=40,30,wide,800\n", QRect(1, 2, 3, 4), false, 2, "/before", ""},
        {"an empty size is left", "window=40,30,0,800\n", QRect(1, 2, 3, 4), false, 2, "/before", ""},
        {"an unknown view is left", "view=all\nview=FRONT\n", QRect(1, 2, 3, 4), false, 2, "/before", ""},
        {"unknown keys and lines without = are skipped", "colour=red\njunk\n=x\nview=front\n", QRect(1, 2, 3, 4),
         false, 1, "/before", ""},
        {"names keep their spaces and their Korean", "folder= /media/운전자/카드 \n", QRect(1, 2, 3, 4), false, 2,
         " /media/운전자/카드 ", ""},
        {"maximised only for 1", "maximised=yes\n", QRect(1, 2, 3, 4), false, 2, "/before", ""},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        ViewerState state = start;
        EXPECT_TRUE(ReadViewerState(WriteState(dir, c.text), state)) << c.what;
        EXPECT_EQ(state.geometry, c.geometry) << c.what;
        EXPECT_EQ(state.maximised, c.maximised) << c.what;
        EXPECT_EQ(state.viewMode, c.viewMode) << c.what;
        EXPECT_EQ(state.folder, c.folder) << c.what;
        EXPECT_EQ(state.drive, c.drive) << c.what;
    }
    ViewerState untouched = start;
    EXPECT_FALSE(ReadViewerState(QStringLiteral("/nonexistent/config/window.ini"), untouched));
    EXPECT_EQ(untouched, start);
}

// What is written reads back the same, and the option file beside it keeps
// its eleven lines byte for byte.
TEST(ViewerStateFile, WritesBesideTheOptionFileAndReadsBack)
{
    QTemporaryDir dir;
    const QString options = dir.filePath(QStringLiteral("config/option.ini"));
    ViewerOptions o;
    o.saveDirectory = QStringLiteral("/home/u/사진");
    ASSERT_TRUE(WriteViewerOptions(options, o));
    const QByteArray optionBytes = ReadAll(options);

    ViewerState state;
    state.geometry = QRect(-1280, 24, 1400, 900);
    state.maximised = true;
    state.viewMode = 3;
    state.folder = QStringLiteral("/media/운전자/KVR-2650");
    state.drive = QStringLiteral("/media/운전자/KVR-2650");
    const QString path = ViewerStateFilePath(options);
    ASSERT_TRUE(WriteViewerState(path, state));
    ViewerState back;
    ASSERT_TRUE(ReadViewerState(path, back));
    EXPECT_EQ(back, state);
    EXPECT_EQ(ReadAll(options), optionBytes);

    // A name with a line end of its own is not written (it would make a line
    // of its own); the rest is.
    state.folder = QStringLiteral("/tmp/two\nlines");
    ASSERT_TRUE(WriteViewerState(path, state));
    EXPECT_FALSE(ReadAll(path).contains("lines"));
    EXPECT_FALSE(WriteViewerState(QString(), state));
}

// On a full disk the save fails, and the old file stays whole with nothing
// left aside.
TEST(ViewerStateFile, AFailedSaveKeepsTheOldFile)
{
    testsupport::SmallDisk disk;
    if (!disk.available())
        GTEST_SKIP() << "needs the right to mount a small file system";
    const QString path = QString::fromStdString(disk.file("config/window.ini"));
    ViewerState state;
    state.geometry = QRect(10, 20, 1100, 760);
    state.folder = QStringLiteral("/media/card");
    ASSERT_TRUE(WriteViewerState(path, state));
    const QByteArray before = ReadAll(path);

    disk.fill();
    state.folder = QString(3000, QLatin1Char('x')); // more than the last free page
    EXPECT_FALSE(WriteViewerState(path, state));
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(QDir(QString::fromStdString(disk.file("config"))).entryList(QDir::Files),
              QStringList{QStringLiteral("window.ini")});
    disk.unfill();
    EXPECT_TRUE(WriteViewerState(path, state)) << "with room again it saves";
}
