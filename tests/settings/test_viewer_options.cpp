#include "catalogue/AppPaths.h"
#include "settings/ViewerOptions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "support/Files.h"

#include <gtest/gtest.h>

using namespace drivora;

namespace {

QString WriteText(const QTemporaryDir &dir, const QByteArray &text)
{
    const QString path = dir.filePath(QStringLiteral("config/option.ini"));
    QDir().mkpath(dir.filePath(QStringLiteral("config")));
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(text);
    return path;
}

} // namespace

TEST(ViewerOptionsFile, Reading)
{
    QTemporaryDir documents;
    SetDocumentsFolderForTesting(documents.path());
    const QString capture = documents.path() + QStringLiteral("/CAM_CAPTURE");
    struct Case {
        const char *what;
        QByteArray text;
        QString saveDirectory;
        int32_t playValue;
        bool rearMirror;
    } cases[] = {
        {"as the viewer writes it",
         "[DIRECTORY]\r\nROOT_DIRECTORY=CL_DRIVORA\r\n[OPTION]\r\nSAVE_DIRECTORY=/home/u/Pictures\r\nPLAY_VALUE=7\r\n"
         "REAR_MIRROR=1\r\n",
         "/home/u/Pictures", 7, true},
        {"LF line ends and no sections", "PLAY_VALUE=3\nREAR_MIRROR=0\n", "start", 3, false},
        {"keys in other case are ignored", "play_value=9\nRear_Mirror=1\n", "start", 5, false},
        {"the last of two lines wins", "PLAY_VALUE=2\nPLAY_VALUE=8\n", "start", 8, false},
        {"an empty folder means the capture folder", "SAVE_DIRECTORY=\n", capture, 5, false},
        {"mirror 2 is not 1", "REAR_MIRROR=2\n", "start", 5, false},
        {"spaces around = make another key", "PLAY_VALUE = 4\nREAR_MIRROR =1\n", "start", 5, false},
        {"tabs are stripped", "\tPLAY_VALUE\t=\t6\t\r\n", "start", 6, false},
        {"a value that is not a number", "PLAY_VALUE=abc\nREAR_MIRROR=yes\n", "start", 0, false},
        {"leading digits only", "PLAY_VALUE=12seconds\n", "start", 12, false},
        {"no range check", "PLAY_VALUE=-3\n", "start", -3, false},
        {"a line longer than 255 characters is read in pieces",
         "SAVE_DIRECTORY=" + QByteArray(250, 'a') + "PLAY_VALUE=9\n", "start", 5, false},
        {"a piece of a long line can hold a key",
         "X=" + QByteArray(253, 'b') + "PLAY_VALUE=9\n", "start", 9, false},
        {"no equals sign", "[OPTION]\nPLAY_VALUE\n", "start", 5, false},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        const QString path = WriteText(dir, c.text);
        ViewerOptions options;
        options.saveDirectory = QStringLiteral("start");
        EXPECT_TRUE(ReadViewerOptions(path, options)) << c.what;
        if (QByteArray(c.what).startsWith("a line longer")) {
            EXPECT_EQ(options.saveDirectory.size(), 240) << c.what << ": the first 255 characters";
        } else {
            EXPECT_EQ(options.saveDirectory, c.saveDirectory) << c.what;
        }
        EXPECT_EQ(options.playValue, c.playValue) << c.what;
        EXPECT_EQ(options.rearMirror, c.rearMirror) << c.what;
    }
    EXPECT_TRUE(QFileInfo(capture).isDir()) << "the capture folder is created";
    SetDocumentsFolderForTesting({});

    ViewerOptions untouched;
    EXPECT_FALSE(ReadViewerOptions(QStringLiteral("/nonexistent/config/option.ini"), untouched));
    EXPECT_EQ(untouched.playValue, 5);
    EXPECT_TRUE(untouched.saveDirectory.isEmpty());
    EXPECT_FALSE(untouched.rearMirror);
}

TEST(ViewerOptionsFile, WritingIsExactAndSafe)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("config/option.ini"));
    ViewerOptions options;
    options.saveDirectory = QStringLiteral("/home/운전자/사진");
    options.playValue = 10;
    options.rearMirror = true;
    ASSERT_TRUE(WriteViewerOptions(path, options)) << "the config folder is made when missing";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[DIRECTORY]\r\n"
                                      "ROOT_DIRECTORY=CL_DRIVORA\r\n"
                                      "EVENT_DIRECTORY=MP4_EVENT\r\n"
                                      "CONTINUOS_DIRECTORY=MP4_INFINITE\r\n"
                                      "[OPTION]\r\n"
                                      "SAVE_DIRECTORY=/home/운전자/사진\r\n"
                                      "PLAY_VALUE=10\r\n"
                                      "USE_LOG=FALSE\r\n"
                                      "LOG_LEVEL=3\r\n"
                                      "LOG_TYPE=3\r\n"
                                      "REAR_MIRROR=1\r\n"));
    f.close();

    ViewerOptions back;
    ASSERT_TRUE(ReadViewerOptions(path, back));
    EXPECT_EQ(back.saveDirectory, options.saveDirectory);
    EXPECT_EQ(back.playValue, 10);
    EXPECT_TRUE(back.rearMirror);

    EXPECT_FALSE(WriteViewerOptions(QString(), options));
}

// On a full disk the save fails, says so, and the old file stays whole.
TEST(ViewerOptionsFile, AFailedSaveKeepsTheOldFile)
{
    testsupport::SmallDisk disk;
    if (!disk.available())
        GTEST_SKIP() << "needs the right to mount a small file system";
    const QString path = QString::fromStdString(disk.file("config/option.ini"));
    ViewerOptions options;
    options.saveDirectory = QStringLiteral("/media/card/캡처");
    options.playValue = 7;
    ASSERT_TRUE(WriteViewerOptions(path, options));
    const std::string before = testsupport::ReadText(path.toStdString());

    disk.fill();
    options.saveDirectory = QString(3000, QLatin1Char('x')); // more than the last free page
    options.playValue = 3;
    EXPECT_FALSE(WriteViewerOptions(path, options));
    EXPECT_EQ(testsupport::ReadText(path.toStdString()), before);
    EXPECT_EQ(QDir(QString::fromStdString(disk.file("config"))).entryList(QDir::Files),
              QStringList{QStringLiteral("option.ini")})
        << "nothing is left aside";

    disk.unfill();
    EXPECT_TRUE(WriteViewerOptions(path, options)) << "with room again it saves";
}

// A line of any length is read in its 255-character pieces, in time linear in
// the file's size (a 16 MiB line took 21 s when each piece searched for the
// line's end again).
TEST(ViewerOptionsFile, LongLinesAreReadInPieces)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("option.ini"));
    // A 16 MiB line of "x", then a piece that starts with a key: only a
    // piece that begins a line or a 255-character piece boundary is read.
    QByteArray text(16 << 20, 'x');
    text += "\r\nPLAY_VALUE=4\r\n";
    text += QByteArray(255, 'y') + "PLAY_VALUE=9\r\n"; // its second piece starts with the key
    ASSERT_TRUE(testsupport::WriteText(path.toStdString(), text.toStdString()));
    ViewerOptions options;
    ASSERT_TRUE(ReadViewerOptions(path, options));
    EXPECT_EQ(options.playValue, 9);
}

TEST(ViewerOptionsFile, PathBesideTheProgram)
{
    ASSERT_TRUE(BuildOptionFilePath());
    EXPECT_EQ(OptionFilePath(), GetAppDirectory() + QStringLiteral("/config/option.ini"));
}

TEST(ViewerOptionsFile, TheSpeedUnitLivesBesideTheElevenLines)
{
    QTemporaryDir dir;
    const QString options = dir.filePath("config/option.ini");
    const QString extras = ExtraOptionFilePath(options);
    EXPECT_EQ(extras, dir.filePath("config/viewer.ini"));
    ViewerOptions o;
    o.speedInMiles = true;
    ASSERT_TRUE(WriteViewerOptions(options, o));
    ASSERT_TRUE(WriteExtraOptions(extras, o));
    QFile f(options);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count('\n'), 11) << "the option file keeps its eleven lines";
    ViewerOptions back;
    EXPECT_FALSE(back.speedInMiles);
    ASSERT_TRUE(ReadExtraOptions(extras, back));
    EXPECT_TRUE(back.speedInMiles);
    o.speedInMiles = false;
    ASSERT_TRUE(WriteExtraOptions(extras, o));
    ASSERT_TRUE(ReadExtraOptions(extras, back));
    EXPECT_FALSE(back.speedInMiles);
    EXPECT_FALSE(ReadExtraOptions(dir.filePath("missing.ini"), back));
    EXPECT_NEAR(KmhToMph(100), 62.137, 0.001);
}
