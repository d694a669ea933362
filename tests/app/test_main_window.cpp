// The real main window, offscreen, on a small card made by the generator,
// with a message box that records what it is told and answers.
#include "app/CDrivoraViewerDlg.h"
#include "app/CZoomDlg.h"
#include "app/UiStringLibrary.h"
#include "catalogue/AppPaths.h"
#include "catalogue/NativePath.h"
#include "controls/CDvListCtrl.h"
#include "controls/CDvScreenCtrl.h"
#include "controls/SkinnedControls.h"
#include "settings/ViewerOptions.h"
#include "support/Files.h"
#include "support/Messages.h"
#include "support/Wait.h"
#include "support/Process.h"
#include "support/Recordings.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

using namespace drivora;

namespace {

using testsupport::RecordingMessages;
using testsupport::WaitFor;

class MainWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_card = new QTemporaryDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, s_card->path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, s_card->path());
        struct Made {
            const char *name;
            int rear;
            int seconds;
        } made[] = {{"DRIVE/REC_20240315_081500_0.AVI", 160, 2},
                    {"DRIVE/REC_20240315_081530_0.AVI", 160, 2},
                    {"EVENT/EVT_20240315_081612_0.AVI", 0, 2}};
        QDir(s_card->path()).mkpath(QStringLiteral("DRIVE"));
        QDir(s_card->path()).mkpath(QStringLiteral("EVENT"));
        for (const Made &m : made) {
            testsupport::SmallRecording shape;
            shape.fileName = QString::fromLatin1(m.name).section(QLatin1Char('/'), -1).toStdString();
            shape.rearWidth = m.rear;
            shape.seconds = m.seconds;
            ASSERT_TRUE(testsupport::MakeRecording(s_card->filePath(QString::fromLatin1(m.name)).toStdString(), shape));
        }
    }
    static void TearDownTestSuite()
    {
        delete s_card;
        s_card = nullptr;
    }
    void SetUp() override
    {
        SetOptionFilePathForTesting(m_config.filePath(QStringLiteral("option.ini")));
        ViewerOptions::instance() = ViewerOptions();
        ViewerOptions::instance().saveDirectory = m_pictures.path();
        window = std::make_unique<CDrivoraViewerDlg>();
        window->setMessageBox(&messages);
        window->show();
    }
    void TearDown() override { window.reset(); }

    static QString card() { return s_card->path(); }
    QStringList listedNames() const
    {
        QStringList names;
        for (int row = 0; row < window->list()->rows()->rowCount(); ++row)
            names << window->list()->rowFileName(row);
        return names;
    }

    static QTemporaryDir *s_card;
    QTemporaryDir m_config, m_pictures;
    RecordingMessages messages;
    std::unique_ptr<CDrivoraViewerDlg> window;
};
QTemporaryDir *MainWindow::s_card = nullptr;

} // namespace

TEST_F(MainWindow, OpensACardPlaysRowZeroAndGoesOnAtTheEnd)
{
    EXPECT_GE(window->width(), 1034);
    EXPECT_GE(window->height(), 742);
    for (int id : {ids::KindAllButton, ids::KindEventButton, ids::KindNormalButton, ids::KindParkingButton})
        EXPECT_FALSE(window->button(id)->isEnabled()) << id << ": disabled before anything is listed";

    window->openPaths({card()});
    EXPECT_EQ(listedNames(), QStringList({"REC_20240315_081500_0.AVI", "REC_20240315_081530_0.AVI",
                                          "EVT_20240315_081612_0.AVI"}))
        << "sorted by date and time";
    EXPECT_EQ(window->list()->currentRow(), 0);
    ASSERT_NE(window->player().engine(), nullptr);
    EXPECT_EQ(window->player().engine()->state(), EngineRunning);
    EXPECT_TRUE(window->button(ids::Pause)->isVisible());
    EXPECT_FALSE(window->button(ids::Play)->isVisible());
    // The kinds present: all, normal and event; no parking recording.
    EXPECT_TRUE(window->button(ids::KindAllButton)->isEnabled());
    EXPECT_TRUE(window->button(ids::KindNormalButton)->isEnabled());
    EXPECT_TRUE(window->button(ids::KindEventButton)->isEnabled());
    EXPECT_FALSE(window->button(ids::KindParkingButton)->isEnabled());

    // The timeline moves, and at the end the next row plays.
    EXPECT_TRUE(WaitFor([&] { return window->list()->currentRow() == 1; }));
    EXPECT_EQ(window->player().engine()->state(), EngineRunning);

    // Event while a normal recording plays: it goes on playing; All finds it again.
    window->command(ids::KindEventButton);
    EXPECT_EQ(listedNames(), QStringList({"EVT_20240315_081612_0.AVI"}));
    EXPECT_EQ(window->player().engine()->state(), EngineRunning);
    window->command(ids::KindAllButton);
    EXPECT_EQ(window->list()->currentFileName(), QStringLiteral("REC_20240315_081530_0.AVI"));
}

TEST_F(MainWindow, ADamagedRecordingIsNamedAndTheNextPlays)
{
    QTemporaryDir damaged;
    QDir(damaged.path()).mkpath(QStringLiteral("DRIVE"));
    ASSERT_TRUE(testsupport::WriteText(damaged.filePath(QStringLiteral("DRIVE/REC_20240315_080000_0.AVI")).toStdString(),
                                       std::string(20000, 'x')));
    QFile::copy(card() + QStringLiteral("/DRIVE/REC_20240315_081500_0.AVI"),
                damaged.filePath(QStringLiteral("DRIVE/REC_20240315_081500_0.AVI")));
    window->openPaths({damaged.path()});
    EXPECT_EQ(messages.told,
              QStringList{QStringLiteral("KVR-2650 Viewer: 동영상을 플레이 할 수 없습니다.(002)\n녹화 파일이 아닙니다.")})
        << "with why, on a second line: " << messages.told.join(" | ").toStdString();
    EXPECT_EQ(window->list()->currentRow(), 1);
    EXPECT_EQ(window->player().engine()->state(), EngineRunning);
}

TEST_F(MainWindow, CaptureWritesBothChannelsAndStaysPaused)
{
    window->openPaths({card()});
    ASSERT_EQ(window->player().engine()->state(), EngineRunning);
    window->transport().pause();
    window->transport().seekRequest(1250);
    window->command(ids::Capture);
    EXPECT_EQ(window->player().engine()->state(), EnginePaused);
    const QStringList pictures = QDir(m_pictures.path()).entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name);
    ASSERT_EQ(pictures.size(), 2) << qPrintable(pictures.join(' '));
    // Named by the camera's clock at the picture: 08:15:00 and 1.25 s.
    EXPECT_EQ(pictures[0], QStringLiteral("REC_20240315_081500_0-2024-03-15-08h15m01s250(Track1).jpg"));
    EXPECT_TRUE(pictures[0].endsWith(QStringLiteral("(Track1).jpg")));
    EXPECT_TRUE(pictures[1].endsWith(QStringLiteral("(Track2).jpg")));
    EXPECT_EQ(QImageReader(m_pictures.filePath(pictures[0])).size(), QSize(320, 180)) << "native size";
    EXPECT_EQ(QImageReader(m_pictures.filePath(pictures[1])).size(), QSize(160, 90)) << "native size";
    ASSERT_EQ(messages.asked.size(), 1) << "the open-folder question, after both were written";
    EXPECT_TRUE(messages.asked[0].contains(pictures[0]) && messages.asked[0].contains(pictures[1]))
        << "naming both files: " << messages.asked[0].toStdString();
    EXPECT_TRUE(messages.told.isEmpty());

    // A folder that cannot be written: the user is told which file and why,
    // and asked nothing.
    ViewerOptions::instance().saveDirectory = QStringLiteral("/nonexistent/pictures");
    window->command(ids::Capture);
    ASSERT_EQ(messages.told.size(), 1);
    EXPECT_TRUE(messages.told[0].contains(QStringLiteral("/nonexistent/pictures/"))) << qPrintable(messages.told[0]);
    EXPECT_EQ(messages.asked.size(), 1);
}

TEST_F(MainWindow, KeysAndViewModes)
{
    window->openPaths({card()});
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(window->player().engine()->state(), EnginePaused);
    QTest::keyClick(window.get(), Qt::Key_Up);
    EXPECT_EQ(window->transport().volumeLevel(), 6);
    QTest::keyClick(window.get(), Qt::Key_Down);
    QTest::keyClick(window.get(), Qt::Key_Down);
    EXPECT_EQ(window->transport().volumeLevel(), 4);
    window->command(ids::ViewAllButton);
    EXPECT_EQ(window->transport().viewMode(), TransportController::ViewAll);
    const MainLayout &l = window->layout();
    EXPECT_EQ(l.frontScreen.width(), l.rearScreen.width()) << "side by side";
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(window->player().engine()->state(), EngineRunning);
}

TEST_F(MainWindow, TheTimelineJumpsWhereItIsClickedAndShowsWhereItIsDragged)
{
    window->openPaths({card()});
    window->transport().pause();
    CDvSliderCtrl *timeline = window->findChild<CDvSliderCtrl *>();
    ASSERT_NE(timeline, nullptr);
    PlaybackEngine *e = window->player().engine();
    const double duration = double(e->duration()) / 1e4;
    auto x = [&](double fraction) { return timeline->margin + int(timeline->channelWidth() * fraction); };
    auto shownMs = [&] { return double(e->position()) / 1e4; };

    QTest::mouseClick(timeline, Qt::LeftButton, {}, QPoint(x(0.75), 15));
    EXPECT_NEAR(shownMs(), 0.75 * duration, 100) << "one click, straight there";
    QTest::mouseClick(timeline, Qt::LeftButton, {}, QPoint(x(0.0) - 8, 15));
    EXPECT_NEAR(shownMs(), 0, 100) << "left of the channel: the start";

    // A drag seeks as it goes, before the button is let go.
    QTest::mousePress(timeline, Qt::LeftButton, {}, QPoint(x(0.1), 15));
    QMouseEvent move(QEvent::MouseMove, QPointF(x(0.5), 15), timeline->mapToGlobal(QPointF(x(0.5), 15)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(timeline, &move);
    EXPECT_TRUE(WaitFor([&] { return std::abs(shownMs() - 0.5 * duration) < 100; })) << shownMs();
    QTest::mouseRelease(timeline, Qt::LeftButton, {}, QPoint(x(0.5), 15));
    EXPECT_FALSE(timeline->isSliderDown());
    EXPECT_NEAR(shownMs(), 0.5 * duration, 100);

    // The one-channel event recording offers no rear.
    window->transport().rowActivated(2);
    EXPECT_FALSE(window->button(ids::ViewRearButton)->isEnabled());
    EXPECT_FALSE(window->button(ids::ViewAllButton)->isEnabled());
    window->transport().rowActivated(0);
    EXPECT_TRUE(window->button(ids::ViewRearButton)->isEnabled());
}

TEST_F(MainWindow, KeysWorkAfterAnyClickAndTheVideoTakesTheWholeScreen)
{
    window->openPaths({card()});
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    // Keys as the keyboard sends them: to whatever has the focus.
    auto press = [](int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget *focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        QTest::keyClick(focus, Qt::Key(key), modifiers);
    };
    PlaybackEngine *e = window->player().engine();
    ASSERT_EQ(e->state(), EngineRunning);
    QWidget *clicked[] = {window->button(ids::ViewAllButton), window->findChild<CDvSliderCtrl *>(),
                          window->list()->viewport()};
    for (QWidget *w : clicked) {
        SCOPED_TRACE(w->metaObject()->className());
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(w->width() / 2, std::min(w->height() / 2, 12)));
        e = window->player().engine();
        EXPECT_EQ(QApplication::focusWidget(), window.get()) << "the control took the keyboard";
        if (e->state() != EngineRunning && e->state() != EnginePaused)
            continue;
        const int was = e->state();
        press(Qt::Key_Space);
        EXPECT_NE(e->state(), was) << "Space plays and pauses";
    }

    // A frame step, Home and End.
    e = window->player().engine();
    e->pause();
    press(Qt::Key_Home);
    EXPECT_LT(e->position(), 100 * 10000);
    press(Qt::Key_Period);
    EXPECT_EQ(e->state(), EnginePaused);
    EXPECT_NEAR(double(e->position()) / 1e4, 1000.0 / 15 * 1.25, 20) << "one picture on";
    press(Qt::Key_Comma);
    EXPECT_NEAR(double(e->position()) / 1e4, 1000.0 / 15 * 0.25, 20) << "and back";
    press(Qt::Key_End);
    EXPECT_GT(double(e->position()) / 1e4, double(e->duration()) / 1e4 - 100);
    EXPECT_EQ(window->player().engine(), e) << "the last picture, not the next recording";

    // F11 and a double-click on the picture: the video alone on the screen; Esc leaves.
    window->command(ids::ViewFrontButton);
    press(Qt::Key_F11);
    EXPECT_TRUE(window->videoFullScreen());
    // The window's state as the window system reports it back (the geometry
    // set for a screen without a window manager passes through "normal").
    EXPECT_TRUE(WaitFor([&] { return window->isFullScreen(); }));
    QWidget *front = nullptr;
    for (QWidget *w : window->findChildren<QWidget *>(QStringLiteral("DvScreenWnd")))
        if (w->isVisible())
            front = w;
    ASSERT_NE(front, nullptr);
    EXPECT_TRUE(WaitFor([&] { return front->width() >= window->width() - 1 || front->height() >= window->height() - 1; }))
        << "as large as 16:9 allows";
    press(Qt::Key_Escape);
    EXPECT_FALSE(window->videoFullScreen());
    EXPECT_TRUE(WaitFor([&] { return !window->isFullScreen(); }));
    QTest::mouseDClick(front, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_TRUE(window->videoFullScreen());
    QTest::mouseDClick(front, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_FALSE(window->videoFullScreen());
}

TEST_F(MainWindow, PicturesThatCannotBeDecodedLeaveSoundAndTelemetryWithANotice)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("DRIVE"));
    std::string bytes = testsupport::ReadText((card() + QStringLiteral("/DRIVE/REC_20240315_081500_0.AVI")).toStdString());
    ASSERT_GT(testsupport::ReplaceFourCc(bytes, "H264", "HEVC"), 0u);
    ASSERT_TRUE(testsupport::WriteText(dir.filePath(QStringLiteral("DRIVE/REC_20240315_081500_0.AVI")).toStdString(), bytes));
    window->openPaths({dir.path()});
    EXPECT_TRUE(messages.told.isEmpty()) << messages.told.join(" | ").toStdString();
    ASSERT_NE(window->player().engine(), nullptr);
    EXPECT_TRUE(window->player().engine()->noPictures());
    EXPECT_EQ(window->player().engine()->state(), EngineRunning);
    EXPECT_FALSE(GpsTrack().isEmpty()) << "the telemetry is read";
    bool told = false;
    for (CDvScreenCtrl *s : window->findChildren<CDvScreenCtrl *>())
        told = told || (s->isVisible() && s->notice() == QString::fromUtf8(ids::kNoPicturesNotice));
    EXPECT_TRUE(told) << "the screen says that its pictures cannot be shown";
}

TEST_F(MainWindow, AFileThatGoesAwayWhilePlayingIsToldAndThePlaybackStops)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("DRIVE"));
    for (const char *name : {"REC_20240315_081500_0.AVI", "REC_20240315_081530_0.AVI"})
        ASSERT_TRUE(QFile::copy(card() + QStringLiteral("/DRIVE/") + QLatin1String(name),
                                dir.filePath(QStringLiteral("DRIVE/") + QLatin1String(name))));
    window->openPaths({dir.path()});
    ASSERT_EQ(window->player().engine()->state(), EngineRunning);
    ASSERT_TRUE(QFile::remove(dir.filePath(QStringLiteral("DRIVE/REC_20240315_081500_0.AVI"))));
    EXPECT_TRUE(WaitFor([&] { return !messages.told.isEmpty(); }, 5000));
    EXPECT_EQ(messages.told, QStringList({QStringLiteral("KVR-2650 Viewer: ") + QString::fromUtf8(ids::kPlayingFileGone)}));
    EXPECT_NE(window->player().engine()->state(), EngineRunning);
    EXPECT_EQ(window->transport().openFileName(), QStringLiteral("REC_20240315_081500_0.AVI"))
        << "not on to the next as if it had ended";
}

TEST_F(MainWindow, FilesDroppedAnywhereOnTheWindowOpen)
{
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(card() + QStringLiteral("/EVENT/EVT_20240315_081612_0.AVI"))});
    const QPoint overVideo = window->layout().videoArea.rect().center();
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isWindow() && w != window->list() && !window->list()->isAncestorOf(w)) {
            EXPECT_FALSE(w->acceptDrops()) << w->metaObject()->className() << ": the window takes the drop";
        }
    }
    QDragEnterEvent enter(overVideo, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(overVideo), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_EQ(listedNames(), QStringList({"EVT_20240315_081612_0.AVI"}));
    EXPECT_EQ(window->list()->currentRow(), 0) << "and it plays";
}

TEST_F(MainWindow, AFolderWithoutRecordingsSaysSoAndShowsNothingOfTheLastOne)
{
    window->openPaths({card()});
    ASSERT_TRUE(WaitFor([&] { return window->player().engine()->position() > 5000000; }));
    window->transport().UpdateTimeline();
    ASSERT_FALSE(GpsTrack().isEmpty());
    QTemporaryDir empty;
    window->openPaths({empty.path()});
    EXPECT_EQ(window->list()->rows()->rowCount(), 0);
    EXPECT_TRUE(window->list()->emptyText().contains(QStringLiteral("녹화 파일이 없습니다")));
    EXPECT_TRUE(window->list()->emptyText().contains(empty.path()));
    EXPECT_TRUE(GpsTrack().isEmpty() && GSensorTrack().isEmpty()) << "no route, no graph";
    EXPECT_EQ(window->findChild<CDvSpeedCtrl *>()->speed(), 0.0);
    for (CDvTextCtrl *t : window->findChildren<CDvTextCtrl *>()) {
        if (t->textKind == 2) {
            EXPECT_FALSE(t->gValid);
        }
        if (t->textKind == 4) {
            EXPECT_FALSE(t->positionValid);
        }
    }
}

// Clicked with the mouse, a toggle first shows its released face; the window
// then shows each button's state at once.
TEST_F(MainWindow, ClickedButtonsShowTheirState)
{
    window->openPaths({card()});
    auto click = [&](int id) { QTest::mouseClick(window->button(id), Qt::LeftButton); };
    auto face = [&](int id) { return window->button(id)->shownImage(); };
    const auto images = [](int id) { return ids::MainButton(id).images; };

    click(ids::ViewAllButton);
    EXPECT_EQ(window->transport().viewMode(), TransportController::ViewAll);
    EXPECT_EQ(face(ids::ViewAllButton), images(ids::ViewAllButton)[1]) << "checked";
    EXPECT_EQ(face(ids::ViewFrontButton), images(ids::ViewFrontButton)[0]) << "no longer checked";
    click(ids::ViewAllButton); // the mode it is in already
    EXPECT_EQ(face(ids::ViewAllButton), images(ids::ViewAllButton)[1]);

    click(ids::KindEventButton);
    EXPECT_EQ(face(ids::KindEventButton), images(ids::KindEventButton)[1]);
    EXPECT_EQ(face(ids::KindAllButton), images(ids::KindAllButton)[0]);
    EXPECT_EQ(face(ids::KindParkingButton), images(ids::KindParkingButton)[2]) << "no parking recording: disabled";

    click(ids::Mute);
    EXPECT_TRUE(window->transport().muted());
    EXPECT_EQ(face(ids::Mute), images(ids::Mute)[2]) << "the muted face";
    click(ids::Mute);
    EXPECT_EQ(face(ids::Mute), images(ids::Mute)[0]);
}

TEST_F(MainWindow, TheZoomButtonShowsAndHidesOneMagnifier)
{
    CZoomDlg *zoom = window->zoomWindow();
    ASSERT_NE(zoom, nullptr);
    EXPECT_TRUE(zoom->isHidden());
    EXPECT_EQ(zoom->geometry(), QRect(850, 465, 425, 330));
    window->command(ids::Zoom);
    EXPECT_TRUE(zoom->isVisible());
    EXPECT_EQ(zoom->windowTitle(), QLatin1String("Zoom"));
    zoom->close(); // its own close button only hides it
    EXPECT_TRUE(zoom->isHidden());
    window->command(ids::Zoom);
    EXPECT_EQ(window->zoomWindow(), zoom) << "the same window comes back";
    EXPECT_TRUE(zoom->isVisible());
    window->command(ids::Zoom);
    EXPECT_TRUE(zoom->isHidden());
    // Without a map plugged in, the map area keeps its no-connection picture.
    window->command(ids::Map);
    EXPECT_FALSE(window->mapHost().noConnectionPanel->isHidden());
}

namespace {
class PdfChoice : public IPrinterChoice {
public:
    bool choose(QPrinter &printer, QWidget *) override
    {
        ++asked;
        preset = printer.outputFileName();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        return !path.isEmpty();
    }
    QString path;
    QString preset; // the file the printer came preset to
    int asked = 0;
};
} // namespace

TEST_F(MainWindow, SettingAndPrintAroundThePlayback)
{
    PdfChoice choice;
    window->setPrinterChoice(&choice);
    window->command(ids::Print);
    EXPECT_EQ(choice.asked, 0) << "before any recording: nothing";

    window->openPaths({card()});
    // Setting while running: paused during the dialog, running after.
    int during = -1;
    window->setSettingsRunner([&](CSettingDlg &) {
        during = window->player().engine()->state();
        return false;
    });
    window->command(ids::Setting);
    EXPECT_EQ(during, int(EnginePaused));
    EXPECT_EQ(window->player().engine()->state(), EngineRunning);
    // While paused it stays paused, whether saved or cancelled.
    window->transport().pause();
    for (const bool saved : {true, false}) {
        window->setSettingsRunner([saved](CSettingDlg &) { return saved; });
        window->command(ids::Setting);
        EXPECT_EQ(window->player().engine()->state(), EnginePaused) << saved;
    }

    // Print of the one-channel event recording: paused after, one picture.
    window->transport().rowActivated(2);
    ASSERT_EQ(window->player().engine()->videoCount(), 1);
    QTemporaryDir out;
    choice.path = out.filePath(QStringLiteral("moment.pdf"));
    window->command(ids::Print);
    EXPECT_EQ(choice.asked, 1);
    EXPECT_EQ(window->player().engine()->state(), EnginePaused);
    EXPECT_EQ(messages.told, QStringList{QStringLiteral("인쇄: 보고서를 저장했습니다.\n") + choice.path});
    const testsupport::Result text =
        testsupport::Shell("pdftotext " + testsupport::Quote(choice.path.toStdString()) + " -");
    EXPECT_NE(text.output.find("-채널1"), std::string::npos) << text.output;
    EXPECT_EQ(text.output.find("-채널2"), std::string::npos);
    // Cancelled: nothing printed, still paused.
    window->transport().play();
    choice.path.clear();
    window->command(ids::Print);
    EXPECT_EQ(window->player().engine()->state(), EnginePaused);
}

// A card from a Korean system (its folder's name in EUC-KR, not UTF-8) with
// a long recording: the report reads it on a worker while the window's
// events go on, names it by its SHA-256, and says where the PDF went; the
// file is preset in the picture folder, or the user hears why not.
TEST_F(MainWindow, TheReportReadsItsRecordingAsideAndSaysWhereItWent)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/\xBA\xED\xB7\xA2\xB9\xDA\xBD\xBA";
    const QByteArray recording = folder + "/DRIVE/REC_20240315_081500_0.AVI";
    // QTemporaryDir cannot remove what it cannot name.
    const std::unique_ptr<void, std::function<void(void *)>> removed(
        &dir, [folder](void *) { testsupport::Shell("rm -rf " + testsupport::Quote(folder.toStdString())); });
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    ASSERT_EQ(::mkdir((folder + "/DRIVE").constData(), 0755), 0);
    ASSERT_TRUE(testsupport::MakeRecording(recording.toStdString(), testsupport::SmallRecording{}));
    // The size of a long recording, the rest of it left as a hole.
    ASSERT_EQ(::truncate(recording.constData(), 96 << 20), 0);
    const std::string sum =
        testsupport::Shell("sha256sum " + testsupport::Quote(recording.toStdString())).output.substr(0, 64);
    window->openPaths({PathFromNative(folder)});
    ASSERT_EQ(window->list()->rows()->rowCount(), 1);

    QTemporaryDir out;
    PdfChoice choice;
    choice.path = out.filePath(QStringLiteral("moment.pdf"));
    window->setPrinterChoice(&choice);
    window->setPrintersInstalled([] { return false; });
    bool printing = false;
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ticks += printing; });
    tick.start(0);
    printing = true;
    window->command(ids::Print);
    printing = false;
    EXPECT_TRUE(choice.preset.startsWith(m_pictures.path() + QStringLiteral("/KVR-2650 Report "))) << choice.preset.toStdString();
    EXPECT_TRUE(choice.preset.endsWith(QStringLiteral(".pdf")));
    EXPECT_GT(ticks, 0) << "the window's events were handled while the recording was read";
    EXPECT_EQ(messages.told, QStringList{QStringLiteral("인쇄: 보고서를 저장했습니다.\n") + choice.path});
    const std::string text = testsupport::Shell("pdftotext " + testsupport::Quote(choice.path.toStdString()) + " -").output;
    EXPECT_NE(text.find("REC_20240315_081500_0.AVI · 100663296 bytes · SHA-256 " + sum + " · "), std::string::npos) << text;

    // Cancelled while it reads: nothing written, still paused, nothing told.
    messages.told.clear();
    QFile::remove(choice.path);
    auto cancel = QObject::connect(window.get(), &CDrivoraViewerDlg::reportDigestProgressed, window.get(), [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<QProgressDialog *>(w) && w->findChild<QPushButton *>())
                QTest::mouseClick(w->findChild<QPushButton *>(), Qt::LeftButton);
    });
    window->command(ids::Print);
    QObject::disconnect(cancel);
    EXPECT_FALSE(QFileInfo::exists(choice.path));
    EXPECT_EQ(QDir(out.path()).entryList(QDir::Files), QStringList());
    EXPECT_EQ(window->player().engine()->state(), EnginePaused);
    EXPECT_TRUE(messages.told.isEmpty()) << messages.told.join(QLatin1Char('|')).toStdString();

    // A picture folder that is not there: told why, and the dialog is not
    // preset to another folder.
    ViewerOptions::instance().saveDirectory = QStringLiteral("/nonexistent/pictures");
    window->command(ids::Print);
    EXPECT_EQ(choice.preset, QString());
    ASSERT_EQ(messages.told.size(), 2);
    EXPECT_EQ(messages.told[0], QStringLiteral("인쇄: 보고서 PDF를 사진 저장 폴더에 저장할 수 없습니다.\n"
                                               "사진 저장 폴더가 없습니다: /nonexistent/pictures\n"
                                               "인쇄 창에서 저장할 곳을 골라 주십시오."));
    EXPECT_TRUE(QFileInfo::exists(choice.path));
}

TEST_F(MainWindow, TheListExportsWithProgressAndSaysHowItWent)
{
    window->openPaths({card()});
    QTemporaryDir out;
    QStringList suggested;
    QString chosen = out.filePath(QStringLiteral("all.gpx"));
    window->setExportFileChooser([&](const QString &s) {
        suggested << s;
        return chosen;
    });
    std::vector<std::pair<int, int>> progress;
    QObject::connect(window.get(), &CDrivoraViewerDlg::exportProgressed, window.get(),
                     [&progress](int done, int total) { progress.emplace_back(done, total); });
    window->command(ids::MenuExportGpxAll); // as the list's menu sends it
    ASSERT_EQ(messages.told.size(), 1);
    EXPECT_TRUE(messages.told[0].startsWith(QStringLiteral("내보내기: 3개 녹화에서 "))) << messages.told[0].toStdString();
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}})) << "the dialog followed every recording";
    EXPECT_TRUE(QFileInfo(chosen).size() > 0);
    EXPECT_TRUE(suggested.value(0).endsWith(QStringLiteral("/REC_20240315_081500_0.gpx"))) << suggested.value(0).toStdString();

    // The selected recording only (none selected: the one shown).
    window->list()->clearSelection();
    messages.told.clear();
    chosen = out.filePath(QStringLiteral("one.csv"));
    window->exportTelemetry(ids::MenuExportCsvSelected);
    ASSERT_EQ(messages.told.size(), 1);
    EXPECT_TRUE(messages.told[0].startsWith(QStringLiteral("내보내기: 1개 녹화에서 "))) << messages.told[0].toStdString();
    // A chooser cancelled: nothing at all.
    messages.told.clear();
    chosen.clear();
    window->exportTelemetry(ids::MenuExportCsvAll);
    EXPECT_TRUE(messages.told.isEmpty());
    // A place that cannot be written.
    chosen = QStringLiteral("/nonexistent/folder/x.csv");
    window->exportTelemetry(ids::MenuExportCsvAll);
    ASSERT_EQ(messages.told.size(), 1);
    EXPECT_TRUE(messages.told[0].startsWith(QStringLiteral("내보내기: 내보내지 못했습니다."))) << messages.told[0].toStdString();
}

TEST_F(MainWindow, ImpactsAreMarkedAndReachedByKeyAndMenu)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("EVENT"));
    const QString path = dir.filePath(QStringLiteral("EVENT/EVT_20240315_081612_0.AVI"));
    testsupport::SmallRecording event;
    event.fileName = "EVT_20240315_081612_0.AVI";
    event.seconds = 5;
    event.impactAtSeconds = 3.0;
    ASSERT_TRUE(testsupport::MakeRecording(path.toStdString(), event));
    window->openPaths({path});
    ASSERT_EQ(window->impacts().size(), 1u);
    const uint32_t at = window->impacts()[0].stampMs;
    EXPECT_NEAR(double(at), 3000.0, 200.0);
    EXPECT_GT(window->impacts()[0].g, ImpactThresholdG(kDefaultSensitivity));
    window->transport().pause();
    window->command(ids::MenuNextImpact);
    EXPECT_TRUE(WaitFor([&] { return std::abs(window->player().engine()->position() / 10000 - (int64_t(at) - 1000)) < 150; }))
        << window->player().engine()->position() / 10000;
    // Nothing after the last one, nothing before the first: no move.
    window->command(ids::MenuNextImpact);
    QTest::keyClick(window.get(), Qt::Key_Left, Qt::ControlModifier);
    EXPECT_NEAR(double(window->player().engine()->position() / 10000), double(at) - 1000, 150);
    // Played past it, Ctrl+Left goes back to it.
    window->transport().play();
    ASSERT_TRUE(WaitFor([&] { return window->player().engine()->position() / 10000 > int64_t(at) + 600; }));
    window->transport().pause();
    QTest::keyClick(window.get(), Qt::Key_Left, Qt::ControlModifier);
    EXPECT_TRUE(WaitFor([&] { return std::abs(window->player().engine()->position() / 10000 - (int64_t(at) - 1000)) < 150; }));
}

TEST_F(MainWindow, TheTripViewSpansRecordingsThatFollowOn)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("DRIVE"));
    struct Made {
        const char *name;
        int start;
    } made[] = {{"REC_20240315_081500_0.AVI", 0}, {"REC_20240315_081503_0.AVI", 3}, {"REC_20240315_081520_0.AVI", 20}};
    for (const Made &m : made) {
        testsupport::SmallRecording r;
        r.fileName = m.name;
        r.seconds = 3;
        r.startSeconds = m.start;
        r.startUtc += m.start;
        if (m.start == 3)
            r.gps = false; // a recording without GPS in the middle keeps the trip whole
        ASSERT_TRUE(testsupport::MakeRecording(dir.filePath(QStringLiteral("DRIVE/") + QLatin1String(m.name)).toStdString(), r));
    }
    window->openPaths({dir.path()});
    EXPECT_EQ(window->currentTrip(), (Trip{0, 1}));
    window->transport().rowActivated(1);
    EXPECT_EQ(window->currentTrip(), (Trip{0, 1}));
    window->transport().pause();
    window->command(ids::MenuTripView);
    ASSERT_TRUE(window->tripView());
    // The time panel: within the trip of two 3-second recordings.
    auto panel = [&] {
        for (CDvTextCtrl *t : window->findChildren<CDvTextCtrl *>())
            if (t->textKind == 1)
                return t;
        return static_cast<CDvTextCtrl *>(nullptr);
    };
    ASSERT_NE(panel(), nullptr);
    EXPECT_TRUE(WaitFor([&] { return panel()->durationMs >= 5900 && panel()->durationMs <= 6100; })) << panel()->durationMs;
    EXPECT_GE(panel()->positionMs, 3000) << "the second recording starts 3 s into the trip";
    // The timeline covers the trip too: a click in its first quarter plays
    // the first recording there.
    CDvSliderCtrl *timeline = window->findChild<CDvSliderCtrl *>();
    ASSERT_NE(timeline, nullptr);
    EXPECT_NEAR(timeline->maximum(), 6000, 150);
    EXPECT_GE(timeline->value(), 3000);
    QTest::mouseClick(timeline, Qt::LeftButton, {}, QPoint(timeline->margin + timeline->channelWidth() / 4, 15));
    EXPECT_EQ(window->list()->currentRow(), 0);
    EXPECT_NEAR(double(window->player().engine()->position()) / 1e4, 1500, 200);
    window->transport().rowActivated(2);
    EXPECT_EQ(window->currentTrip(), (Trip{2, 2}));
    window->command(ids::MenuTripView);
    EXPECT_FALSE(window->tripView());
}

// The exports from the command line, without a window (no display needed).
TEST_F(MainWindow, TheProgramExportsTelemetryForScripts)
{
    QTemporaryDir out;
    const std::string program = testsupport::Quote(DRIVORA_VIEWER_PROGRAM);
    const std::string env = "env -u DISPLAY QT_QPA_PLATFORM=none ";
    const std::string gpx = out.filePath(QStringLiteral("card.gpx")).toStdString();
    testsupport::Result r = testsupport::Shell(env + program + " --export gpx " + testsupport::Quote(card().toStdString()) +
                                               " --output " + testsupport::Quote(gpx));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("track points from 3 recordings"), std::string::npos) << r.output;
    EXPECT_TRUE(QFileInfo(QString::fromStdString(gpx)).size() > 0);
    // A folder as the output: named after the first recording.
    r = testsupport::Shell(env + program + " --export csv " + testsupport::Quote(card().toStdString()) + " --output " +
                           testsupport::Quote(out.path().toStdString()));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(QFileInfo::exists(out.filePath(QStringLiteral("REC_20240315_081500_0.csv"))));
    struct Bad {
        std::string arguments;
        int status;
        const char *says;
    } bad[] = {
        {"--export kml x --output y", 2, "usage:"},
        {"--export gpx --output y", 2, "usage:"},
        {"--export gpx " + testsupport::Quote(out.path().toStdString()) + " --output y.gpx", 1, "no recordings to export"},
        {"--export gpx " + testsupport::Quote(card().toStdString()) + " --output /nonexistent/dir/y.gpx", 1, "cannot write"},
    };
    for (const Bad &b : bad) {
        r = testsupport::Shell(env + program + " " + b.arguments);
        EXPECT_EQ(r.exitCode, b.status) << b.arguments << "\n" << r.output;
        EXPECT_NE(r.output.find(b.says), std::string::npos) << r.output;
    }
}

// Clips from the command line: recordings of the same name on two cards (one
// in a folder named in EUC-KR bytes, as a Korean Windows system names it)
// give a clip and a GPX each; a FIFO as the output is refused at once.
TEST_F(MainWindow, TheProgramExportsClipsOfCardsWithTheSameNames)
{
    QTemporaryDir dir;
    const std::string program = testsupport::Quote(DRIVORA_VIEWER_PROGRAM);
    const std::string env = "env -u DISPLAY QT_QPA_PLATFORM=none timeout 60 ";
    const std::string base = dir.path().toStdString();
    const std::string cards[] = {base + "/card", base + "/\xb0\xa1 card"};
    for (int i = 0; i < 2; ++i) {
        std::filesystem::create_directories(cards[i] + "/DRIVE");
        testsupport::SmallRecording shape;
        shape.seconds = 2 + i; // 30 and 45 pictures
        shape.rearWidth = 0;
        ASSERT_TRUE(testsupport::MakeRecording(cards[i] + "/DRIVE/REC_20240315_081500_0.AVI", shape));
    }
    const std::string out = base + "/out";
    std::filesystem::create_directories(out);
    testsupport::Result r = testsupport::Shell(env + program + " --export clip " + testsupport::Quote(cards[0]) + " " +
                                               testsupport::Quote(cards[1]) + " --output " + testsupport::Quote(out));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    auto pictures = [](const std::string &file) {
        return testsupport::Shell("ffprobe -v error -count_packets -show_entries stream=nb_read_packets -of csv=p=0 " +
                                  testsupport::Quote(file))
            .output;
    };
    std::multiset<std::string> counts;
    for (const char *name : {"REC_20240315_081500_0", "REC_20240315_081500_0-2"}) {
        EXPECT_NE(r.output.find(out + "/" + name + ".mp4: "), std::string::npos) << name << "\n" << r.output;
        counts.insert(pictures(out + "/" + name + ".mp4"));
        EXPECT_TRUE(std::filesystem::is_regular_file(out + "/" + name + ".gpx")) << name;
    }
    EXPECT_EQ(counts, (std::multiset<std::string>{"30\n", "45\n"}));

    // The card with the EUC-KR name alone, for the telemetry too.
    r = testsupport::Shell(env + program + " --export csv " + testsupport::Quote(cards[1]) + " --output " +
                           testsupport::Quote(out + "/card.csv"));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("from 1 recordings"), std::string::npos) << r.output;

    const std::string fifo = out + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const char *kind : {"gpx", "clip"}) {
        r = testsupport::Shell(env + program + " --export " + kind + " " + testsupport::Quote(cards[0]) + " --output " +
                               testsupport::Quote(fifo));
        EXPECT_EQ(r.exitCode, 1) << kind << "\n" << r.output;
        EXPECT_NE(r.output.find("is not a regular file"), std::string::npos) << kind << "\n" << r.output;
    }
    struct stat st {};
    EXPECT_TRUE(::stat(fifo.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) << "the FIFO is left as it was";
}

// The program itself: one copy at a time, a lock left by a killed copy
// taken over, and a card given on the command line playing in the window.
TEST_F(MainWindow, TheProgramRunsOnceAndOpensACardFromItsCommandLine)
{
    QTemporaryDir runtime;
    const std::string env = "QT_QPA_PLATFORM=offscreen DRIVORA_AUDIO_SINK=fakeaudiosink XDG_RUNTIME_DIR=" +
                            testsupport::Quote(runtime.path().toStdString()) + " ";
    const std::string program = testsupport::Quote(DRIVORA_VIEWER_PROGRAM);
    // The first copy runs in the background; its process id is kept.
    const std::string pidFile = runtime.filePath(QStringLiteral("first.pid")).toStdString();
    ASSERT_EQ(testsupport::Shell(env + program + " >/dev/null 2>&1 & echo $! > " + testsupport::Quote(pidFile)).exitCode, 0);
    std::string pid = testsupport::ReadText(pidFile);
    pid.erase(pid.find_last_not_of(" \n") + 1);
    ASSERT_FALSE(pid.empty());
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(runtime.filePath(QStringLiteral("MA_DV_VIEWER.lock"))); }));
    ASSERT_TRUE(WaitFor([&] { return QFileInfo::exists(runtime.filePath(QStringLiteral("MA_DV_VIEWER.socket"))); }, 30000));

    // With nothing to hand over, the second copy brings the first to the
    // front and ends at once.
    QElapsedTimer timer;
    timer.start();
    const testsupport::Result second = testsupport::Shell(env + "timeout 20 " + program);
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_LT(timer.elapsed(), 5000) << "the second copy ends at once";

    // The first copy is killed; its lock stays behind and is taken over.
    testsupport::Shell("kill -9 " + pid);
    // Gone for good (a kill is delivered on its own time), its lock left behind.
    ASSERT_TRUE(WaitFor([&] { return testsupport::Shell("kill -0 " + pid + " 2>/dev/null").exitCode != 0; }));
    ASSERT_TRUE(QFileInfo::exists(runtime.filePath(QStringLiteral("MA_DV_VIEWER.lock"))));
    const std::string shot = runtime.filePath(QStringLiteral("shot.png")).toStdString();
    const testsupport::Result third = testsupport::Shell(env + "timeout 60 " + program + " " +
                                                         testsupport::Quote(card().toStdString()) +
                                                         " --screenshot " + testsupport::Quote(shot));
    EXPECT_EQ(third.exitCode, 0) << third.output;
    const QImage picture(QString::fromStdString(shot));
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), QSize(1034, 742));
    // Row 0 plays: the front screen's frame shows a picture, not the idle one.
    EXPECT_EQ(picture.pixelColor(12 - 1, 58 - 1), QColor(0x64, 0x64, 0x64)) << "the frame around a shown screen";
}

// A second start while a viewer runs hands its card and command over to it,
// and ends with that viewer's answer: status 0 only when the file was
// written. The windowless export runs beside it, and a viewer that was killed
// leaves nothing that keeps the next from taking over.
TEST_F(MainWindow, ASecondStartHandsItsWorkToTheRunningViewer)
{
    QTemporaryDir runtime, out, other;
    const std::string env = "QT_QPA_PLATFORM=offscreen DRIVORA_AUDIO_SINK=fakeaudiosink DRIVORA_NETWORK=offline "
                            "XDG_RUNTIME_DIR=" + testsupport::Quote(runtime.path().toStdString()) + " ";
    const std::string program = testsupport::Quote(DRIVORA_VIEWER_PROGRAM);
    const QString socket = runtime.filePath(QStringLiteral("MA_DV_VIEWER.socket"));
    std::vector<std::string> running;
    const std::unique_ptr<void, std::function<void(void *)>> stopped(&running, [&running](void *) {
        for (const std::string &pid : running)
            testsupport::Shell("kill -9 " + pid);
    });
    auto startViewer = [&](const std::string &name) {
        const std::string pidFile = runtime.filePath(QString::fromStdString(name + ".pid")).toStdString();
        testsupport::Shell(env + program + " >/dev/null 2>&1 & echo $! > " + testsupport::Quote(pidFile));
        std::string pid = testsupport::ReadText(pidFile);
        pid.erase(pid.find_last_not_of(" \n") + 1);
        running.push_back(pid);
        return pid;
    };
    const std::string first = startViewer("first");
    ASSERT_FALSE(first.empty());
    const std::string lock = runtime.filePath(QStringLiteral("MA_DV_VIEWER.lock")).toStdString();
    auto holds = [&lock](const std::string &pid) { return testsupport::ReadText(lock).rfind(pid + "\n", 0) == 0; };
    ASSERT_TRUE(WaitFor([&] { return holds(first); }, 30000));

    // Another card, with one recording of its own.
    QDir(other.path()).mkpath(QStringLiteral("EVENT"));
    testsupport::SmallRecording event;
    event.fileName = "EVT_20240401_120000_0.AVI";
    event.rearWidth = 0;
    ASSERT_TRUE(testsupport::MakeRecording(other.filePath(QStringLiteral("EVENT/EVT_20240401_120000_0.AVI")).toStdString(), event));

    const std::string c = testsupport::Quote(card().toStdString());
    auto file = [&](const char *name) { return out.filePath(QString::fromLatin1(name)); };
    auto arg = [](const QString &path) { return testsupport::Quote(path.toStdString()); };
    struct Run {
        std::string arguments;
        int status;
        std::string says;
        QString writes; // the file written, or empty
    } runs[] = {
        {c + " --export-list " + arg(file("card.csv")), 0, "3개 녹화에서", file("card.csv")},
        {c + " --export-list /nonexistent/folder/x.gpx", 1, "DrivoraViewer: 내보내지 못했습니다.", {}},
        {c + " --print-to " + arg(file("moment.pdf")), 0, "보고서를 저장했습니다.\n" + file("moment.pdf").toStdString(),
         file("moment.pdf")},
        {"--print-to /nonexistent/folder/r.pdf", 1, "DrivoraViewer: 보고서를 인쇄하지 못했습니다.", {}},
        {"--screenshot " + arg(file("shot.png")), 1, "--screenshot 옵션은 쓸 수 없습니다", {}},
        {"--export gpx " + c + " --output " + arg(file("alone.gpx")), 0, "track points from 3 recordings", file("alone.gpx")},
        // A folder alone is opened in the running window, as if dropped on
        // its list: the list's export now holds only that card.
        {arg(other.path()), 0, "", {}},
        {"--export-list " + arg(file("list.csv")), 0, "1개 녹화에서", file("list.csv")},
    };
    for (const Run &r : runs) {
        const testsupport::Result second = testsupport::Shell(env + "timeout 60 " + program + " " + r.arguments);
        EXPECT_EQ(second.exitCode, r.status) << r.arguments << "\n" << second.output;
        EXPECT_NE(second.output.find(r.says), std::string::npos) << r.arguments << "\n" << second.output;
        if (!r.writes.isEmpty()) {
            EXPECT_GT(QFileInfo(r.writes).size(), 0) << r.arguments;
        }
    }
    EXPECT_NE(testsupport::Shell("pdftotext " + arg(file("moment.pdf")) + " -").output.find("SHA-256 "), std::string::npos);
    const std::string list = testsupport::ReadText(file("list.csv").toStdString());
    EXPECT_NE(list.find("EVT_20240401_120000_0.AVI"), std::string::npos) << list;
    EXPECT_EQ(list.find("REC_20240315_081500_0.AVI"), std::string::npos) << list;

    // Killed, the viewer leaves its lock and socket behind; the next start
    // takes both over and serves the starts after it.
    testsupport::Shell("kill -9 " + first);
    ASSERT_TRUE(QFileInfo::exists(socket));
    const std::string next = startViewer("next");
    ASSERT_FALSE(next.empty());
    ASSERT_TRUE(WaitFor([&] { return holds(next); }, 30000));
    const testsupport::Result handed =
        testsupport::Shell(env + "timeout 60 " + program + " " + c + " --export-list " + arg(file("again.gpx")));
    EXPECT_EQ(handed.exitCode, 0) << handed.output;
    EXPECT_GT(QFileInfo(file("again.gpx")).size(), 0);
}

// The ends of the list, skips and the menu, on the real engine.
TEST_F(MainWindow, StepsSkipsAndMenuItems)
{
    // Prev and Next on an empty list: nothing plays.
    window->command(ids::Next);
    window->command(ids::Previous);
    EXPECT_EQ(window->player().engine()->state(), EngineNoGraph);

    window->openPaths({card()});
    ASSERT_EQ(window->list()->currentRow(), 0);
    window->command(ids::Previous); // before row 0: stops, screens hidden, nothing plays
    EXPECT_NE(window->player().engine()->state(), EngineRunning);
    window->command(ids::Play); // the stopped current row plays again
    EXPECT_EQ(window->player().engine()->state(), EngineRunning);

    // RW and FF skip by playValue only while running.
    window->transport().setPlayValue(1);
    window->player().seek(1500);
    window->command(ids::Rewind);
    EXPECT_LT(window->player().engine()->position() / 10000, 1000);
    window->command(ids::MenuPlayPause);
    EXPECT_EQ(window->player().engine()->state(), EnginePaused);
    const int64_t paused = window->player().engine()->position();
    window->command(ids::Forward);
    EXPECT_EQ(window->player().engine()->position(), paused) << "ignored while paused";

    // Menu items: speed, brightness, volume, mute.
    window->command(ids::MenuFaster);
    EXPECT_EQ(window->transport().speedPosition(), 60);
    window->command(ids::MenuSpeedDefault);
    EXPECT_EQ(window->transport().speedPosition(), 50);
    window->command(ids::MenuDarker);
    EXPECT_EQ(window->transport().brightnessPosition(), 40);
    window->command(ids::MenuVolumeUp);
    EXPECT_EQ(window->transport().volumeLevel(), 6);
    window->command(ids::MenuMute);
    EXPECT_TRUE(window->transport().muted());

    // Past the last row: row 0 is selected and nothing plays.
    window->command(ids::MenuPlayPause);
    window->list()->setCurrentRow(2);
    window->command(ids::Next);
    EXPECT_EQ(window->list()->currentRow(), 0);
    EXPECT_NE(window->player().engine()->state(), EngineRunning);
}

// A recording whose media data breaks in the middle goes on to the next row
// instead of freezing.
TEST_F(MainWindow, ABreakInTheMiddleGoesOnToTheNextRow)
{
    QTemporaryDir broken;
    QDir(broken.path()).mkpath(QStringLiteral("DRIVE"));
    std::string bytes = testsupport::ReadText((card() + QStringLiteral("/DRIVE/REC_20240315_081500_0.AVI")).toStdString());
    const size_t movi = bytes.find("movi");
    for (size_t i = movi + (bytes.size() - movi) / 3; i < bytes.size() - 2000; ++i)
        bytes[i] = char((i * 7919) >> 3);
    ASSERT_TRUE(testsupport::WriteText(broken.filePath(QStringLiteral("DRIVE/REC_20240315_081500_0.AVI")).toStdString(),
                                       bytes));
    QFile::copy(card() + QStringLiteral("/DRIVE/REC_20240315_081530_0.AVI"),
                broken.filePath(QStringLiteral("DRIVE/REC_20240315_081530_0.AVI")));
    window->openPaths({broken.path()});
    EXPECT_TRUE(WaitFor([&] { return window->list()->currentRow() == 1; }));
}

namespace {

class TwoCards final : public IVolumeSource {
public:
    QList<CardVolume> volumes() override
    {
        QList<CardVolume> list;
        for (const QTemporaryDir *d : {&first, &second}) {
            CardVolume v;
            v.label = QStringLiteral("KVR-2650");
            v.root = d->path();
            v.device = QStringLiteral("/dev/null");
            v.fileSystem = QStringLiteral("vfat");
            v.removable = true;
            list << v;
        }
        return list;
    }
    QTemporaryDir first, second;
};

} // namespace

// What the viewer remembers comes back in the next window made with the same
// config folder: its place and size, the channels shown, the last folder and
// the settings' last drive; a place off every screen now comes back on one.
TEST_F(MainWindow, ItsPlaceViewFolderAndDriveComeBackAfterARestart)
{
    CDrivoraViewerDlg::setScreenAreasForTesting({QRect(0, 0, 1920, 1040)});
    const std::unique_ptr<void, void (*)(void *)> screens(this, [](void *) {
        CDrivoraViewerDlg::setScreenAreasForTesting({});
    });
    TwoCards cards;
    auto restart = [&] {
        window->close();
        window = std::make_unique<CDrivoraViewerDlg>();
        window->setMessageBox(&messages);
        window->settingsServices().volumes = &cards;
        window->show();
    };
    window->settingsServices().volumes = &cards;
    window->openPaths({card()});
    window->command(ids::ViewAllButton);
    window->setGeometry(120, 60, 1200, 800);
    QString offered;
    window->setSettingsRunner([&](CSettingDlg &dialog) {
        dialog.chooseDrive(1);
        return false; // cancelled: the drive chosen is still remembered
    });
    window->command(ids::Setting);
    restart();

    EXPECT_EQ(window->geometry(), QRect(120, 60, 1200, 800));
    EXPECT_EQ(window->transport().viewMode(), TransportController::ViewAll);
    EXPECT_TRUE(listedNames().isEmpty()) << "the folder opens only when nothing was given";
    ASSERT_TRUE(window->reopenLastFolder());
    EXPECT_EQ(listedNames().size(), 3);
    EXPECT_EQ(window->folderShown(), card());
    ASSERT_TRUE(WaitFor([&] { return window->transport().shownViewMode() == TransportController::ViewAll; }));
    window->setSettingsRunner([&](CSettingDlg &dialog) {
        offered = dialog.chosenDriveRoot();
        return false;
    });
    window->command(ids::Setting);
    EXPECT_EQ(offered, cards.second.path()) << "the last drive is chosen again";

    // Maximised, from a place on a screen since unplugged: maximised again,
    // and its normal place brought onto the screen there is.
    window->setGeometry(2400, 100, 1100, 760);
    window->showMaximized();
    ASSERT_TRUE(WaitFor([&] { return window->isMaximized(); }));
    restart();
    EXPECT_TRUE(window->isMaximized());
    EXPECT_EQ(window->normalGeometry(), QRect(820, 100, 1100, 760));

    // A folder that has gone is not opened; nothing written has left the config folder.
    const QStringList written = QDir(m_config.path()).entryList(QDir::Files);
    EXPECT_EQ(written, QStringList({QStringLiteral("window.ini")}));
    QTemporaryDir gone;
    const QString goneFolder = gone.path();
    window->openPaths({goneFolder});
    restart();
    gone.remove();
    EXPECT_FALSE(window->reopenLastFolder());
}

// A recording that appears in the open folder shows in the list with its
// length, with no call but the event loop; one that goes leaves it. The
// playing one stays while it plays and goes when it ends. F5 reads the
// folder again by hand.
TEST_F(MainWindow, TheListFollowsItsFolderAndF5ReadsItAgain)
{
    QTemporaryDir folder;
    QDir(folder.path()).mkpath(QStringLiteral("DRIVE"));
    auto copy = [&](const char *name) {
        const QString to = folder.filePath(QStringLiteral("DRIVE/") + QLatin1String(name));
        EXPECT_TRUE(QFile::copy(card() + QStringLiteral("/DRIVE/") + QLatin1String(name), to));
        return to;
    };
    // Long enough to be still playing while the folder changes around it.
    const QString first = folder.filePath(QStringLiteral("DRIVE/REC_20240315_081530_0.AVI"));
    testsupport::SmallRecording shape;
    shape.fileName = "REC_20240315_081530_0.AVI";
    shape.seconds = 8;
    ASSERT_TRUE(testsupport::MakeRecording(first.toStdString(), shape));
    window->openPaths({folder.path()});
    ASSERT_EQ(listedNames(), QStringList({QStringLiteral("REC_20240315_081530_0.AVI")}));
    EXPECT_EQ(window->folderShown(), folder.path());
    EXPECT_TRUE(WaitFor([&] { return window->list()->rows()->cell(0, RecordingListModel::LengthColumn) == QLatin1String("0:08"); }));

    const QString earlier = copy("REC_20240315_081500_0.AVI");
    ASSERT_TRUE(WaitFor([&] { return listedNames().size() == 2; }));
    EXPECT_EQ(listedNames().first(), QStringLiteral("REC_20240315_081500_0.AVI")) << "in time order";
    EXPECT_EQ(window->list()->currentRow(), 1) << "the playing row stays the playing row";
    EXPECT_EQ(window->transport().openFileName(), QStringLiteral("REC_20240315_081530_0.AVI"));
    ASSERT_TRUE(QFile::remove(earlier));
    ASSERT_TRUE(WaitFor([&] { return listedNames().size() == 1; }));
    EXPECT_EQ(window->list()->currentRow(), 0);

    // The playing recording goes: the viewer says so, stops, and its row goes.
    ASSERT_TRUE(QFile::remove(first));
    EXPECT_TRUE(WaitFor([&] { return !messages.told.isEmpty(); }, 5000));
    EXPECT_EQ(messages.told, QStringList({QStringLiteral("KVR-2650 Viewer: ") + QString::fromUtf8(ids::kPlayingFileGone)}));
    EXPECT_NE(window->player().engine()->state(), EngineRunning);
    EXPECT_TRUE(WaitFor([&] { return listedNames().isEmpty(); }, 20000)) << "gone once stopped";

    // F5, with the folder no longer followed by itself.
    QObject::disconnect(&window->folderWatch(), nullptr, window.get(), nullptr);
    copy("REC_20240315_081500_0.AVI");
    QTest::qWait(ids::kFolderSettleMs * 3);
    EXPECT_TRUE(listedNames().isEmpty());
    QTest::keyClick(window.get(), Qt::Key_F5);
    EXPECT_EQ(listedNames(), QStringList({QStringLiteral("REC_20240315_081500_0.AVI")}));
}
