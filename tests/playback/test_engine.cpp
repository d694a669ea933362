// The playback engine on real recordings made by the card generator.
#include "playback/PlayerFront.h"
#include "support/Files.h"
#include "support/Wait.h"
#include "support/Recordings.h"

#include "catalogue/NativePath.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>

using namespace drivora;

namespace {

class FakeWindow : public IVideoWindow {
public:
    void attachFrames(const FrameSlot *slot) override { frames = slot; }
    void frameArrived() override { ++arrived; }
    void repaintVideo() override { ++repaints; }
    QSize clientSize() const override { return {320, 180}; }
    const FrameSlot *frames = nullptr;
    std::atomic<int> arrived{0};
    int repaints = 0;
};

using testsupport::WaitFor;

double meanLuma(const QImage &image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += qGray(image.pixel(x, y));
    return sum / (image.width() * image.height());
}

double meanDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 1e9;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            sum += std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y)));
    return sum / (a.width() * a.height());
}

class Engine : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        struct Shape {
            const char *name;
            int rear;
            cardgen::Sound sound;
            int extra;
        } shapes[] = {{"two-aac.avi", 160, cardgen::Sound::Aac, 0},
                      {"one-aac.avi", 0, cardgen::Sound::Aac, 0},
                      {"one-pcm.avi", 0, cardgen::Sound::Pcm, 0},
                      {"two-silent.avi", 160, cardgen::Sound::None, 0},
                      {"three.avi", 160, cardgen::Sound::None, 1}};
        for (const Shape &s : shapes) {
            testsupport::SmallRecording shape;
            shape.rearWidth = s.rear;
            shape.sound = s.sound;
            shape.extraVideoStreams = s.extra;
            ASSERT_TRUE(testsupport::MakeRecording(path(s.name).toStdString(), shape));
        }
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, s_dir->path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, s_dir->path());
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString path(const char *name) { return s_dir->filePath(QString::fromUtf8(name)); }

    void SetUp() override { player.init(&front, &rear); }

    PlaybackEngine &engine() { return *player.engine(); }

    FakeWindow front, rear;
    PlayerFront player;
    static QTemporaryDir *s_dir;
};
QTemporaryDir *Engine::s_dir = nullptr;

} // namespace

TEST_F(Engine, ElementsAreNamedAfterTheirRoles)
{
    struct Case {
        const char *file;
        int videoCount;
        QStringList names;
        QStringList pins;
    } cases[] = {
        {"two-aac.avi", 2,
         {"CLStreamParseFilter", "CoreAAC Decoder", "DirectSound Audio Renderer", "FFDShow Decoder1",
          "FFDShow Decoder2", "Color Space Convertor 1", "Color Space Convertor 2", "Mixing Renderer9-1",
          "Mixing Renderer9-2"},
         {"Video 1", "Video 2", "Audio 1"}},
        {"one-aac.avi", 1,
         {"CLStreamParseFilter", "COREAAC AUDIO", "DirectSound Audio Renderer", "FFDShow Decoder1",
          "Color Space Convertor 1", "Mixing Renderer9"},
         {"Video 1", "Audio 1"}},
        {"one-pcm.avi", 1,
         {"CLStreamParseFilter", "DirectSound Audio Renderer", "FFDShow Decoder1", "Color Space Convertor 1",
          "Mixing Renderer9"},
         {"Video 1", "Audio 1"}},
        {"two-silent.avi", 2,
         {"CLStreamParseFilter", "FFDShow Decoder1", "FFDShow Decoder2", "Color Space Convertor 1",
          "Color Space Convertor 2", "Mixing Renderer9-1", "Mixing Renderer9-2"},
         {"Video 1", "Video 2"}},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(player.open(path(c.file))) << c.file;
        EXPECT_EQ(engine().videoCount(), c.videoCount) << c.file;
        EXPECT_EQ(engine().elementNames(), c.names) << c.file;
        EXPECT_EQ(engine().state(), EngineStopped) << c.file << ": cued";
        // The parser's pins, as the media graph shows them.
        QStringList pins;
        GstIterator *it = gst_element_iterate_src_pads(engine().streamParser()->element());
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
            pins.prepend(QString::fromUtf8(GST_PAD_NAME(g_value_get_object(&item))));
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(it);
        pins.sort();
        QStringList expectedPins = c.pins;
        expectedPins.sort();
        EXPECT_EQ(pins, expectedPins) << c.file;
        QImage frame;
        EXPECT_TRUE(engine().GrabFrame(0, frame)) << c.file << ": the first picture is shown when cued";
        EXPECT_EQ(engine().GrabFrame(1, frame), c.videoCount == 2) << c.file;
        if (c.videoCount == 2) {
            EXPECT_EQ(frame.size(), QSize(160, 90)) << "at its native size";
        }
    }
}

TEST_F(Engine, FilesThatCannotBePlayed)
{
    // Three video streams: nothing is built, and running fails.
    ASSERT_TRUE(player.open(path("three.avi")));
    EXPECT_EQ(engine().videoCount(), 3);
    EXPECT_EQ(engine().state(), EngineNoGraph);
    EXPECT_LT(engine().run(), 0);
    EXPECT_EQ(engine().run(), kWrongState);

    // Files that cannot be loaded.
    QTemporaryDir dir;
    std::ifstream in(path("two-aac.avi").toStdString(), std::ios::binary);
    const std::string good((std::istreambuf_iterator<char>(in)), {});
    struct Case {
        const char *what;
        std::string bytes;
        bool opens;
    } cases[] = {
        {"empty", "", false},
        {"not a recording", std::string(20000, 'x'), false},
        {"cut inside the headers", good.substr(0, 200), false},
        {"headers with garbage for media data", good.substr(0, good.find("movi") + 4) + std::string(40000, '\x55'),
         false},
        {"cut in the middle of the media data", good.substr(0, good.size() / 2), true},
    };
    for (const Case &c : cases) {
        const QString file = dir.filePath(QStringLiteral("bad.avi"));
        std::ofstream(file.toStdString(), std::ios::binary | std::ios::trunc) << c.bytes;
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(player.open(file), c.opens) << c.what;
        EXPECT_LT(timer.elapsed(), 8000) << c.what;
        if (c.opens) {
            EXPECT_EQ(engine().run(), 0) << c.what;
            EXPECT_GT(engine().duration(), 0) << c.what;
        } else {
            EXPECT_EQ(player.engine(), nullptr) << c.what;
        }
    }
    EXPECT_FALSE(player.open(QString())) << "no path";
}

TEST_F(Engine, TransportStatesAndCodes)
{
    ASSERT_TRUE(player.open(path("two-aac.avi")));
    PlaybackEngine &e = engine();
    EXPECT_EQ(e.stop(), kWrongState) << "stop while stopped";
    EXPECT_EQ(e.state(), EngineStopped);
    EXPECT_EQ(e.run(), 0);
    EXPECT_EQ(e.state(), EngineRunning);
    EXPECT_EQ(e.run(), kWrongState) << "run while running";
    EXPECT_TRUE(WaitFor([&] { return e.position() > 2000000; })) << "position moves while running (100-ns units)";
    EXPECT_EQ(e.pause(), 0);
    EXPECT_EQ(e.state(), EnginePaused);
    const int64_t paused = e.position();
    QThread::msleep(200);
    EXPECT_EQ(e.position(), paused);
    EXPECT_EQ(e.stop(), 0);
    EXPECT_EQ(e.state(), EngineStopped);
    EXPECT_EQ(e.run(), 0);
    EXPECT_EQ(e.pause(), 0);
    EXPECT_NEAR(double(e.duration()), 3.0e7, 0.1e7) << "3 s in 100-ns units";
    EXPECT_NEAR(double(player.durationMs()), 3000, 100);

    // Seeks land where asked, also while paused.
    EXPECT_TRUE(player.seek(1500));
    EXPECT_NEAR(double(e.position()), 1.5e7, 0.07e7);

    // Not initialised: every transport call fails with -1.
    PlaybackEngine bare(2, &front, &rear);
    EXPECT_EQ(bare.run(), kNotInitialised);
    EXPECT_EQ(bare.pause(), kNotInitialised);
    EXPECT_EQ(bare.stop(), kNotInitialised);
    EXPECT_EQ(bare.position(), 0);
}

TEST_F(Engine, RunAtTheVeryEndStartsAgain)
{
    ASSERT_TRUE(player.open(path("two-silent.avi")));
    PlaybackEngine &e = engine();
    // Played to the end, the position is the duration: that is how the
    // player knows to go on to the next recording.
    e.seek(e.duration() - 3000000);
    e.run();
    EXPECT_TRUE(WaitFor([&] { return e.position() == e.duration(); }));
    e.pause();
    ASSERT_EQ(e.seek(e.duration()), 0);
    ASSERT_EQ(e.position(), e.duration());
    e.run();
    EXPECT_LT(e.position(), 0.6e7) << "rewound to 0";
    EXPECT_TRUE(WaitFor([&] { return e.position() > 1000000 && e.position() < e.duration(); })) << "and playing";

    e.pause();
    e.seek(e.duration() - 1);
    const int64_t before = e.position();
    e.run();
    EXPECT_GE(e.position(), before - 1) << "one unit before the end does not rewind";
}

TEST_F(Engine, TheRateShownIsTheRateThatPlays)
{
    // Long enough to play four seconds at four times the speed.
    testsupport::SmallRecording shape;
    shape.seconds = 20;
    shape.rearWidth = 160;
    const QString file = path("twenty-seconds.avi");
    ASSERT_TRUE(testsupport::MakeRecording(file.toStdString(), shape));
    ASSERT_TRUE(player.open(file));
    PlaybackEngine &e = engine();
    // Stopped: the rate is stored and the engine left paused.
    EXPECT_TRUE(player.setRate(3.0));
    EXPECT_EQ(e.state(), EnginePaused);
    EXPECT_FLOAT_EQ(e.rate(), 3.0f);
    EXPECT_TRUE(player.setRate(9.0));
    EXPECT_EQ(e.run(), 0);
    EXPECT_FLOAT_EQ(e.rate(), kFastestRate) << "held at the slider's end";

    for (double rate : {4.0, 0.25, 0.1}) {
        SCOPED_TRACE(rate);
        e.seek(0);
        EXPECT_TRUE(player.setRate(rate));
        EXPECT_EQ(e.state(), EngineRunning);
        EXPECT_NEAR(e.playbackRate(), rate, 1e-6);
        // Media time against wall time over 4 s of playing.
        QElapsedTimer wall;
        const int64_t start = e.position();
        wall.start();
        WaitFor([&] { return wall.elapsed() >= 4000; }, 6000);
        const double played = double(e.position() - start) / 1e4; // ms
        EXPECT_NEAR(played / double(wall.elapsed()), rate, rate * 0.1) << played << " ms in " << wall.elapsed() << " ms";
    }
}

TEST_F(Engine, Volume)
{
    struct Case {
        int level;
        int32_t value;
    } cases[] = {{0, -10000}, {1, -2000}, {50, -301}, {99, -4}, {100, 0}};
    for (const Case &c : cases)
        EXPECT_EQ(VolumeValueForLevel(c.level), c.value) << c.level;

    ASSERT_TRUE(player.open(path("two-aac.avi")));
    GstElement *volume = gst_bin_get_by_name(GST_BIN(gst_bin_get_by_name(GST_BIN(engine().pipeline()),
                                                                         kAudioRendererName)),
                                             "volume");
    ASSERT_NE(volume, nullptr);
    gboolean mute = FALSE;
    double gain = 0;
    EXPECT_TRUE(player.setVolume(0));
    g_object_get(volume, "mute", &mute, nullptr);
    EXPECT_TRUE(mute) << "level 0 silences";
    EXPECT_TRUE(player.setVolume(50));
    g_object_get(volume, "mute", &mute, "volume", &gain, nullptr);
    EXPECT_FALSE(mute);
    EXPECT_NEAR(gain, std::pow(10.0, -301 / 2000.0), 1e-6);
    EXPECT_TRUE(player.setVolume(100));
    g_object_get(volume, "mute", &mute, nullptr);
    EXPECT_TRUE(mute) << "a value of exactly 0 is sent as silence";
    gst_object_unref(volume);

    ASSERT_TRUE(player.open(path("two-silent.avi")));
    EXPECT_FALSE(player.setVolume(50)) << "no sound in the recording";
}

TEST_F(Engine, BrightnessMovesThePicture)
{
    struct Case {
        int position;
        int32_t value;
    } cases[] = {{50, 0}, {51, 5}, {49, -5}, {100, 254}, {0, -254}};
    for (const Case &c : cases)
        EXPECT_EQ(BrightnessValueForPosition(c.position), c.value) << c.position;

    ASSERT_TRUE(player.open(path("two-aac.avi")));
    PlaybackEngine &e = engine();
    e.pause();
    player.seek(1000);
    std::map<int, double> luma;
    for (int position : {50, 80, 20}) {
        e.applyBrightness(position); // shows at once while paused
        QImage frame;
        ASSERT_TRUE(e.GrabFrame(0, frame));
        luma[position] = meanLuma(frame);
    }
    EXPECT_GT(luma[80], luma[50] + 20);
    EXPECT_LT(luma[20], luma[50] - 20);
    QImage rear;
    ASSERT_TRUE(e.GrabFrame(1, rear));
    EXPECT_LT(meanLuma(rear), 60) << "the rear channel is darkened too";
}

TEST_F(Engine, MirrorFlipsTheRearPicture)
{
    ASSERT_TRUE(player.open(path("two-silent.avi")));
    PlaybackEngine &e = engine();
    e.pause();
    player.seek(700);
    QImage plain, mirrored, front0, front1;
    ASSERT_TRUE(e.GrabFrame(1, plain));
    ASSERT_TRUE(e.GrabFrame(0, front0));
    EXPECT_EQ(e.applyRearMirror(true), 0);
    ASSERT_TRUE(e.GrabFrame(1, mirrored));
    ASSERT_TRUE(e.GrabFrame(0, front1));
    EXPECT_GT(meanDifference(plain, mirrored), 1.0) << "the picture changed";
    EXPECT_LT(meanDifference(plain.mirrored(true, false), mirrored), 1.0) << "left to right";
    EXPECT_LT(meanDifference(front0, front1), 1.0) << "the front picture is left alone";
    e.applyRearMirror(false);
    QImage back;
    ASSERT_TRUE(e.GrabFrame(1, back));
    EXPECT_LT(meanDifference(plain, back), 1.0);

    ASSERT_TRUE(player.open(path("one-pcm.avi")));
    EXPECT_EQ(player.engine()->applyRearMirror(true), 0) << "no rear decoder: nothing to do";
    QImage none;
    EXPECT_FALSE(player.engine()->GrabFrame(1, none));
    EXPECT_TRUE(none.isNull());
}

TEST_F(Engine, APausedSeekShowsThePictureOfThatTime)
{
    ASSERT_TRUE(player.open(path("one-aac.avi")));
    PlaybackEngine &e = engine();
    e.pause();
    QImage atStart, atTwo;
    ASSERT_TRUE(e.GrabFrame(0, atStart));
    ASSERT_TRUE(player.seek(2000));
    ASSERT_TRUE(e.GrabFrame(0, atTwo));
    EXPECT_GT(front.arrived.load(), 1);

    // The same picture as FFmpeg decodes at 2 s.
    QTemporaryDir dir;
    const QString png = dir.filePath(QStringLiteral("at2.png"));
    const std::string cmd = "ffmpeg -v error -y -i '" + path("one-aac.avi").toStdString() +
                            "' -map 0:v:0 -vf select='gte(t\\,2)' -frames:v 1 '" + png.toStdString() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const QImage reference(png);
    ASSERT_FALSE(reference.isNull());
    EXPECT_LT(meanDifference(atTwo, reference.convertToFormat(QImage::Format_RGB32)), 3.0);
    EXPECT_GT(meanDifference(atStart, atTwo), 3.0) << "the running time shown differs";
}

TEST_F(Engine, AFrameStepShowsExactlyThePictureNextToIt)
{
    // The channel's first pictures as FFmpeg decodes them (f1.png is picture 0).
    QTemporaryDir dir;
    const std::string cmd = "ffmpeg -v error -y -i '" + path("one-aac.avi").toStdString() +
                            "' -map 0:v:0 -vf select='lte(n\\,6)' -vsync 0 '" +
                            dir.filePath(QStringLiteral("f%d.png")).toStdString() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    std::vector<QImage> reference;
    for (int i = 1; i <= 7; ++i)
        reference.push_back(QImage(dir.filePath(QStringLiteral("f%1.png").arg(i))).convertToFormat(QImage::Format_RGB32));
    ASSERT_FALSE(reference.back().isNull());
    // Which reference picture a grabbed one is.
    auto which = [&](const QImage &grabbed) {
        int best = -1;
        double least = 1e9;
        for (size_t i = 0; i < reference.size(); ++i)
            if (const double d = meanDifference(grabbed, reference[i]); d < least) {
                least = d;
                best = int(i);
            }
        return best;
    };

    ASSERT_TRUE(player.open(path("one-aac.avi")));
    PlaybackEngine &e = engine();
    ASSERT_EQ(e.run(), 0);
    QImage picture;
    ASSERT_EQ(e.stepFrame(+1), 0);
    EXPECT_EQ(e.state(), EnginePaused) << "a step pauses";
    ASSERT_TRUE(player.seek(0));
    ASSERT_TRUE(e.GrabFrame(0, picture));
    ASSERT_EQ(which(picture), 0);
    for (int expected : {1, 2, 3, 4, 3, 2, 1, 0, 0}) {
        const bool forward = expected > which(picture) || (expected == 4);
        ASSERT_EQ(e.stepFrame(forward ? +1 : -1), 0);
        ASSERT_TRUE(e.GrabFrame(0, picture));
        EXPECT_EQ(which(picture), expected);
        EXPECT_NEAR(double(e.position()) / 1e4, expected * 1000.0 / 15, 20) << "the position is the picture's";
    }

    // At the last picture a step forward stays there.
    ASSERT_TRUE(player.seek(e.duration() / 10000 - 1));
    ASSERT_EQ(e.stepFrame(+1), 0);
    const int64_t last = e.position();
    ASSERT_EQ(e.stepFrame(+1), 0);
    EXPECT_EQ(e.position(), last);
    EXPECT_GE(double(last) / 1e4, double(e.duration()) / 1e4 - 1000.0 / 15 - 1) << "within the last picture";
}

// A camera that recorded its pictures in a coding the viewer does not decode
// (its stream headers say H.265): the sound and the telemetry still play.
TEST_F(Engine, PicturesThatCannotBeDecodedLeaveTheSoundToPlay)
{
    auto recoded = [&](const char *from, const char *to) {
        std::string bytes = testsupport::ReadText(path(from).toStdString());
        EXPECT_GT(testsupport::ReplaceFourCc(bytes, "H264", "HEVC") + testsupport::ReplaceFourCc(bytes, "h264", "hevc"), 0u);
        EXPECT_TRUE(testsupport::WriteText(path(to).toStdString(), bytes));
        return path(to);
    };
    ASSERT_TRUE(player.open(recoded("one-aac.avi", "one-aac-hevc.avi")));
    PlaybackEngine &e = engine();
    EXPECT_TRUE(e.noPictures());
    EXPECT_TRUE(e.hasAudio());
    ASSERT_EQ(e.run(), 0);
    EXPECT_TRUE(WaitFor([&] { return e.position() > 5000000; })) << "the sound plays on";
    QImage none;
    EXPECT_FALSE(e.GrabFrame(0, none));

    ASSERT_TRUE(player.open(path("one-aac.avi")));
    EXPECT_FALSE(engine().noPictures());
    // Neither pictures nor sound: nothing to play.
    EXPECT_FALSE(player.open(recoded("two-silent.avi", "two-silent-hevc.avi")));
}

TEST_F(Engine, DecoderSettingsAreWritten)
{
    WriteDecoderSettings();
    QSettings settings(QStringLiteral("GNU"), QStringLiteral("ffdshow"));
    EXPECT_EQ(settings.value(QStringLiteral("multipleInstances")).toInt(), 0);
    EXPECT_EQ(settings.value(QStringLiteral("isWhitelist")).toInt(), 0);
    EXPECT_EQ(settings.value(QStringLiteral("h264")).toInt(), 1);
    QSettings flag(QSettings::SystemScope, QStringLiteral("Norvanta"));
    EXPECT_EQ(flag.value(QStringLiteral("usingDShow")).toInt(), 1) << "written by the player";
}

TEST(VideoFrames, ConvertsAndStretches)
{
    // A 4x2 picture: left half white, right half a saturated red, in BT.601
    // limited range.
    const uint8_t y[8] = {235, 235, 81, 81, 235, 235, 81, 81};
    const uint8_t u[2] = {128, 90};
    const uint8_t v[2] = {128, 240};
    VideoFrame::Planes p;
    p.y = y, p.u = u, p.v = v;
    p.strideY = 4, p.strideU = 2, p.strideV = 2;
    p.width = 4, p.height = 2;
    bool released = false;
    {
        const VideoFrame frame(p, [&released] { released = true; });
        const QImage native = frame.toImage();
        ASSERT_EQ(native.size(), QSize(4, 2));
        const QColor white = native.pixelColor(0, 0), red = native.pixelColor(3, 1);
        EXPECT_GE(white.red(), 253);
        EXPECT_GE(white.green(), 253);
        EXPECT_GE(white.blue(), 253);
        EXPECT_GE(red.red(), 250);
        EXPECT_LE(red.green(), 5);
        EXPECT_LE(red.blue(), 5);
        const QImage stretched = frame.toImage(QSize(16, 3)); // stretched, not kept in proportion
        ASSERT_EQ(stretched.size(), QSize(16, 3));
        EXPECT_GE(stretched.pixelColor(1, 2).green(), 240) << "white on the left";
        EXPECT_GE(stretched.pixelColor(14, 0).red(), 240) << "red on the right";
        EXPECT_LE(stretched.pixelColor(14, 0).green(), 20);
        const VideoFrame copy = frame;
        EXPECT_FALSE(released);
    }
    EXPECT_TRUE(released) << "the decoder's buffer is given back with the last copy";
    EXPECT_TRUE(VideoFrame().toImage().isNull());
}

namespace {

// Fills the data of every chunk with one of the ids with noise.
std::string WithNoise(std::string bytes, std::initializer_list<const char *> ids)
{
    uint32_t seed = 12345;
    size_t at = bytes.find("movi") + 4;
    while (at + 8 <= bytes.size()) {
        const std::string id = bytes.substr(at, 4);
        if (id == "idx1")
            break;
        if (id == "LIST") {
            at += 12;
            continue;
        }
        uint32_t size = 0;
        std::memcpy(&size, bytes.data() + at + 4, 4);
        for (const char *wanted : ids)
            if (id == wanted)
                for (size_t i = 0; i < size && at + 8 + i < bytes.size(); ++i)
                    bytes[at + 8 + i] = char((seed = seed * 1103515245 + 12345) >> 16);
        at += 8 + size + (size & 1);
    }
    return bytes;
}

// Changes a field of the n-th stream's header chunk ("strh" or "strf").
std::string WithStreamField(std::string bytes, const char *chunk, int stream, size_t offset, const std::string &value)
{
    size_t at = 0;
    for (int i = 0; i <= stream; ++i)
        at = bytes.find(chunk, at + (i ? 4 : 0), 4);
    bytes.replace(at + 8 + offset, value.size(), value);
    return bytes;
}

std::string Le32(uint32_t v)
{
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

} // namespace

// Recordings that are whole enough to play some of: each opens at once with
// what can be decoded, or fails at once when neither a picture nor the sound
// decodes.
TEST_F(Engine, OddRecordingsOpenAtOnceWithWhatDecodes)
{
    QTemporaryDir dir;
    const std::string good = dir.filePath(QStringLiteral("good.avi")).toStdString();
    testsupport::SmallRecording shape;
    shape.seconds = 8; // longer than a branch may stay silent
    shape.fps = 10;
    shape.videoKbps = 200;
    ASSERT_TRUE(testsupport::MakeRecording(good, shape));
    const std::string bytes = testsupport::ReadText(good);
    std::string noSound = bytes;
    ASSERT_GT(testsupport::ReplaceFourCc(noSound, "02wb", "JUNK"), 10u);

    struct Case {
        const char *what;
        std::string bytes;
        bool opens;
        QStringList ended; // branches given up
    } cases[] = {
        {"sound chunks missing", noSound, true, {"Audio 1"}},
        {"rear stream of an unknown coding",
         WithStreamField(WithStreamField(bytes, "strh", 1, 4, "XVID"), "strf", 1, 16, "XVID"), true, {"Video 2"}},
        {"sound of an unknown format", WithStreamField(bytes, "strf", 2, 0, std::string("\x34\x12", 2)), true,
         {"Audio 1"}},
        {"front picture size 0 x 0", WithStreamField(WithStreamField(bytes, "strf", 0, 4, Le32(0)), "strf", 0, 8, Le32(0)),
         true, {}},
        {"front picture size 65535 x 65535",
         WithStreamField(WithStreamField(bytes, "strf", 0, 4, Le32(65535)), "strf", 0, 8, Le32(65535)), true, {}},
        {"front pictures are noise", WithNoise(bytes, {"00dc"}), true, {"Video 1"}},
        {"both channels are noise and no sound", WithNoise(noSound, {"00dc", "01dc"}), false, {}},
    };
    int made = 0;
    for (const Case &c : cases) {
        // Each in a file of its own: the engine still holds the previous one.
        const QString file = dir.filePath(QStringLiteral("REC_20240315_0815%1_0.AVI").arg(made++, 2, 10, QLatin1Char('0')));
        ASSERT_TRUE(testsupport::WriteText(file.toStdString(), c.bytes));
        QElapsedTimer timer;
        timer.start();
        const bool opened = player.open(file);
        EXPECT_LT(timer.elapsed(), 1000) << c.what;
        ASSERT_EQ(opened, c.opens) << c.what;
        if (!opened)
            continue;
        PlaybackEngine &e = engine();
        EXPECT_EQ(e.endedBranches(), c.ended) << c.what;
        QImage picture;
        const bool frontShown = !c.ended.contains(QStringLiteral("Video 1"));
        EXPECT_EQ(e.GrabFrame(0, picture), frontShown) << c.what;
        EXPECT_EQ(e.GrabFrame(1, picture), c.ended != QStringList{"Video 2"}) << c.what;
        // It plays, and seeks (which wait for pictures again) still answer.
        ASSERT_EQ(e.run(), 0) << c.what;
        const quint64 shown = e.framesShown(frontShown ? 0 : 1);
        EXPECT_TRUE(WaitFor([&] { return e.framesShown(frontShown ? 0 : 1) >= shown + 3; }))
            << c.what << ": pictures move on";
        e.pause();
        timer.restart();
        EXPECT_TRUE(player.seek(6000)) << c.what;
        EXPECT_LT(timer.elapsed(), 1000) << c.what;
        EXPECT_NEAR(double(e.position()), 6.0e7, 0.2e7) << c.what;
    }

    // No picture decodes, the sound does: it opens and plays the sound.
    const QString noise = dir.filePath(QStringLiteral("REC_20240315_081599_0.AVI"));
    ASSERT_TRUE(testsupport::WriteText(noise.toStdString(), WithNoise(bytes, {"00dc", "01dc"})));
    ASSERT_TRUE(player.open(noise));
    EXPECT_TRUE(engine().noPictures());
    EXPECT_EQ(engine().endedBranches(), QStringList({"Video 1", "Video 2"}));
    ASSERT_EQ(engine().run(), 0);
    EXPECT_TRUE(WaitFor([&] { return engine().position() > 10000000; })) << "the sound plays on";
}

// A FIFO or a folder named like a recording is never opened (a FIFO's open
// would wait for a writer forever).
TEST_F(Engine, OnlyRegularFilesAreOpened)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("REC_20240315_081508_0.AVI"));
    ASSERT_EQ(::mkfifo(fifo.toUtf8().constData(), 0600), 0);
    const QString folder = dir.filePath(QStringLiteral("REC_20240315_081509_0.AVI"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const QString &path : {fifo, folder, QStringLiteral("/dev/zero")}) {
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(player.open(path)) << qPrintable(path);
        EXPECT_LT(timer.elapsed(), 1000) << qPrintable(path);
    }
}

// A name whose bytes are not UTF-8 (a card written by another system) opens.
TEST_F(Engine, NamesThatAreNotUtf8Open)
{
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path()) + "/\xff\xfe card/";
    ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
    const QByteArray file = folder + "REC_20240315_081500_0.AVI";
    std::filesystem::copy_file(path("one-aac.avi").toStdString(), file.toStdString());
    const QString path = PathFromNative(file);
    EXPECT_EQ(NativeFromPath(path), file);
    EXPECT_TRUE(player.open(path));
}

// The end of the stream and errors arrive as signals on the engine's thread.
TEST_F(Engine, TheEndArrivesAsASignal)
{
    ASSERT_TRUE(player.open(path("one-pcm.avi")));
    PlaybackEngine &e = engine();
    bool ended = false;
    QObject::connect(e.events(), &BusWatcher::endOfStream, [&] { ended = true; });
    e.setRate(2.0f);
    ASSERT_EQ(e.run(), 0);
    QElapsedTimer timer;
    timer.start();
    while (!ended && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(ended);
    EXPECT_EQ(e.position(), e.duration());
}

// A recording whose media data breaks in the middle (chunk headers and all
// overwritten) still comes to an end while playing: the end of the stream or
// an error arrives as a signal, and nothing hangs.
TEST_F(Engine, ABreakInTheMiddleEndsThePlay)
{
    std::string bytes = testsupport::ReadText(path("two-aac.avi").toStdString());
    const size_t movi = bytes.find("movi");
    const size_t middle = movi + (bytes.size() - movi) / 2;
    for (size_t i = middle; i < middle + 20000 && i < bytes.size(); ++i)
        bytes[i] = char((i * 7919) >> 3);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("REC_20240315_081500_0.AVI"));
    ASSERT_TRUE(testsupport::WriteText(file.toStdString(), bytes));
    ASSERT_TRUE(player.open(file));
    PlaybackEngine &e = engine();
    bool ended = false;
    QObject::connect(e.events(), &BusWatcher::endOfStream, [&] { ended = true; });
    QObject::connect(e.events(), &BusWatcher::errorOccurred, [&](const QString &) { ended = true; });
    e.setRate(2.0f);
    ASSERT_EQ(e.run(), 0);
    EXPECT_TRUE(WaitFor([&] {
        QCoreApplication::processEvents();
        return ended;
    }));
}
