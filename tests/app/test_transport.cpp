// The transport rules against a fake player, list and window.
#include "app/Transport.h"
#include "app/ViewerIds.h"

#include <QSet>
#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace drivora;

namespace {

class FakeTransport : public ITransport {
public:
    int state() const override { return m_state; }
    bool open(const QString &path) override
    {
        opened << path;
        if (unopenable.contains(path))
            return false;
        m_state = Stopped;
        m_position = 0;
        return true;
    }
    int32_t run() override
    {
        if (unrunnable.contains(opened.value(opened.size() - 1)))
            return -1;
        m_state = Running;
        return 0;
    }
    int32_t pause() override
    {
        m_state = Paused;
        return 0;
    }
    int32_t stop() override
    {
        if (m_state == Running || m_state == Paused)
            m_state = Stopped;
        return 0;
    }
    bool seek(int64_t ms) override
    {
        seeks.push_back(ms);
        m_position = ms;
        return true;
    }
    int64_t positionMs() override { return m_position; }
    int64_t durationMs() override { return duration; }
    void setRate(float r) override { rates.push_back(r); }
    bool setVolume(int percent) override
    {
        volumes.push_back(percent);
        return true;
    }
    void applyBrightness(int position) override { brightness.push_back(position); }
    void applyRearMirror(bool on) override { mirrored = on; }
    int videoCount() override { return channels; }
    int32_t stepFrame(int direction) override
    {
        steps.push_back(direction);
        m_state = Paused;
        m_position = std::clamp<int64_t>(m_position + direction * 66, 0, duration - 66);
        return 0;
    }

    void setState(int s) { m_state = s; }
    void setPosition(int64_t ms) { m_position = ms; }

    QStringList opened;
    QSet<QString> unopenable, unrunnable;
    std::vector<int64_t> seeks;
    std::vector<float> rates;
    std::vector<int> volumes, brightness, steps;
    bool mirrored = false;
    int channels = 2;
    int64_t duration = 60000;

private:
    int m_state = NoGraph;
    int64_t m_position = 0;
};

class FakeList : public IPlaylist {
public:
    explicit FakeList(int rows = 0)
    {
        for (int i = 0; i < rows; ++i)
            paths << QStringLiteral("/card/DRIVE/REC_20240315_0815%1_0.AVI").arg(i, 2, 10, QLatin1Char('0'));
        present = QSet<QString>(paths.begin(), paths.end());
    }
    int rowCount() const override { return int(paths.size()); }
    int currentRow() const override { return current; }
    QString rowPath(int row) const override { return paths.value(row); }
    QString rowFileName(int row) const override { return paths.value(row).section(QLatin1Char('/'), -1); }
    void setCurrentRow(int row) override { current = row; }
    void selectRow(int row) override
    {
        selected = row;
        current = row;
    }
    bool fileExists(const QString &path) const override { return present.contains(path); }

    QStringList paths;
    QSet<QString> present;
    int current = -1;
    int selected = -1;
};

class FakeView : public ITransportView {
public:
    void showScreens(bool f, bool r) override
    {
        front = f;
        rear = r;
    }
    void showPlayButton(bool play) override { playShown = play; }
    void setTransportEnabled(bool on) override { enabled = on; }
    void setTimeline(int64_t range, int64_t position) override
    {
        if (range >= 0)
            timelineRange = range;
        timelinePosition = position;
    }
    void setTimePanel(int64_t d, int64_t p, float r) override
    {
        panelDuration = d;
        panelPosition = p;
        char text[16];
        std::snprintf(text, sizeof text, "%.2f", double(r));
        rateText = QString::fromLatin1(text);
    }
    void setVolumeShown(int level, bool m) override
    {
        volumeLevel = level;
        muted = m;
    }
    void setViewButtons(int mode) override { checkedMode = mode; }
    void setRearAvailable(bool on) override { rearAvailable = on; }
    void setSpeedSlider(int p) override { speedSlider = p; }
    void setBrightnessSlider(int p) override { brightnessSlider = p; }
    void message(const QString &caption, const QString &text) override { messages << caption + QStringLiteral(": ") + text; }
    void recordingStarted(const QString &path, int64_t) override { started << path; }
    void syncTelemetry(int64_t ms) override { synced.push_back(ms); }

    bool front = false, rear = false, playShown = true, enabled = false, muted = false, rearAvailable = true;
    int64_t timelineRange = 0, timelinePosition = 0, panelDuration = 0, panelPosition = 0;
    QString rateText;
    int volumeLevel = 5, checkedMode = 1, speedSlider = 50, brightnessSlider = 50;
    QStringList messages, started;
    std::vector<int64_t> synced;
};

struct Rig {
    explicit Rig(int rows) : list(rows), controller(transport, list, view) {}
    FakeTransport transport;
    FakeList list;
    FakeView view;
    TransportController controller;
};

} // namespace

TEST(TransportConversions, SliderRateAndVolume)
{
    struct Case {
        int position;
        const char *shown;
    } rates[] = {{0, "0.10"}, {25, "0.55"}, {50, "1.00"}, {75, "2.50"}, {100, "4.00"}};
    for (const Case &c : rates) {
        char text[16];
        std::snprintf(text, sizeof text, "%.2f", double(SliderToRate(c.position)));
        EXPECT_STREQ(text, c.shown) << c.position;
    }
    EXPECT_EQ(SliderToRate(50), 0.99999994f) << "single-precision rounding, not exactly 1";
    EXPECT_EQ(SliderToRate(100), 4.0f);
    const int percents[][2] = {{0, 0}, {1, 9}, {5, 49}, {10, 99}, {-1, 0}, {11, 99}};
    for (const auto &p : percents)
        EXPECT_EQ(LevelToPercent(p[0]), p[1]) << p[0];
}

TEST(TransportController, PlayingARowAndTheAutomaticAdvance)
{
    Rig r(3);
    r.controller.rowActivated(0);
    EXPECT_EQ(r.list.current, 0);
    EXPECT_EQ(r.transport.state(), ITransport::Running);
    EXPECT_TRUE(r.view.front);
    EXPECT_FALSE(r.view.rear) << "view mode Front";
    EXPECT_FALSE(r.view.playShown) << "Pause shown";
    EXPECT_TRUE(r.view.enabled);
    EXPECT_EQ(r.controller.openFileName(), QStringLiteral("REC_20240315_081500_0.AVI"));
    EXPECT_EQ(r.transport.volumes.back(), 49) << "level 5";
    EXPECT_EQ(r.transport.rates.back(), SliderToRate(50));
    EXPECT_EQ(r.transport.brightness.back(), 50);

    // The tick follows the position; at the end the next row plays.
    r.transport.setPosition(30000);
    r.controller.UpdateTimeline();
    EXPECT_EQ(r.view.timelineRange, 60000);
    EXPECT_EQ(r.view.timelinePosition, 30000);
    EXPECT_EQ(r.view.synced.back(), 30000);
    r.transport.setPosition(60000);
    r.controller.UpdateTimeline();
    EXPECT_EQ(r.list.current, 1);
    EXPECT_EQ(r.transport.opened.size(), 2);
    // Past the last row: row 0 is selected and nothing plays.
    r.list.current = 2;
    r.transport.setPosition(60000);
    r.controller.UpdateTimeline();
    EXPECT_EQ(r.list.selected, 0);
    EXPECT_EQ(r.transport.opened.size(), 2);
    EXPECT_FALSE(r.view.front || r.view.rear);
    EXPECT_EQ(r.controller.openFileName(), QStringLiteral("REC_20240315_081500_0.AVI"));

    // A paused or stopped engine shows 0 / 0 only when stopped, and never advances.
    r.transport.setState(ITransport::Stopped);
    r.controller.UpdateTimeline();
    EXPECT_EQ(r.view.panelDuration, 0);
}

TEST(TransportController, FailuresShowTheirMessageAndTryTheNextRow)
{
    Rig r(3);
    r.transport.unopenable << r.list.paths[0];
    r.transport.unrunnable << r.list.paths[1];
    r.controller.PlayRecording(0);
    EXPECT_EQ(r.view.messages,
              QStringList({QStringLiteral("KVR-2650 Viewer: 동영상을 플레이 할 수 없습니다.(002)"),
                           QStringLiteral("KVR-2650 Viewer: 동영상을 플레이 할 수 없습니다.(001)")}));
    EXPECT_EQ(r.list.current, 2) << "the next row that plays";
    EXPECT_EQ(r.transport.state(), ITransport::Running);

    // A card of many damaged files: each shows its message, and the stack
    // does not grow with them.
    Rig many(20000);
    for (const QString &path : many.list.paths)
        many.transport.unopenable << path;
    many.controller.PlayRecording(0);
    EXPECT_EQ(many.view.messages.size(), 20000);
    EXPECT_EQ(many.list.selected, 0) << "past the last row";
}

TEST(TransportController, StepsAtTheEndsAndOnAnEmptyList)
{
    struct Case {
        const char *what;
        int rows, current, by;
        int playedRow; // -1: nothing plays
        int selected;
    } cases[] = {
        {"previous from row 1", 3, 1, -1, 0, -1},
        {"previous from row 0", 3, 0, -1, -1, -1},
        {"next from the last row", 3, 2, +1, -1, 0},
        {"next on an empty list", 0, -1, +1, -1, -1},
        {"previous on an empty list", 0, -1, -1, -1, -1},
        {"next with no current row", 3, -1, +1, -1, -1},
    };
    for (const Case &c : cases) {
        Rig r(c.rows);
        r.list.current = c.current;
        r.view.front = r.view.rear = true;
        if (c.by < 0)
            r.controller.stepPrevious();
        else
            r.controller.stepNext();
        EXPECT_EQ(!r.transport.opened.isEmpty(), c.playedRow >= 0) << c.what;
        if (c.playedRow >= 0) {
            EXPECT_EQ(r.list.current, c.playedRow) << c.what;
        } else {
            EXPECT_FALSE(r.view.front || r.view.rear) << c.what << ": screens hidden";
        }
        EXPECT_EQ(r.list.selected, c.selected) << c.what;
    }
    // The next row's file is gone: nothing plays, no message.
    Rig gone(2);
    gone.list.current = 0;
    gone.list.present.remove(gone.list.paths[1]);
    gone.controller.stepNext();
    EXPECT_TRUE(gone.transport.opened.isEmpty());
    EXPECT_TRUE(gone.view.messages.isEmpty());
}

TEST(TransportController, SkipsOnlyWhileRunning)
{
    Rig r(2);
    r.controller.setPlayValue(5);
    r.controller.PlayRecording(0);
    r.transport.setPosition(3200);
    r.controller.skipBack();
    EXPECT_EQ(r.transport.seeks.back(), 0) << "3.2 s back by 5 s";
    r.transport.setPosition(58000);
    r.controller.skipForward();
    EXPECT_EQ(r.transport.seeks.back(), 60000) << "58 s of 60 s forward by 5 s";
    EXPECT_EQ(r.list.current, 1) << "the end reached: the next row plays";

    r.transport.pause();
    const size_t seeks = r.transport.seeks.size();
    r.controller.skipBack();
    r.controller.skipForward();
    EXPECT_EQ(r.transport.seeks.size(), seeks) << "ignored while paused";
}

TEST(TransportController, SlidersMenusAndKeys)
{
    Rig r(1);
    // Stopped (no recording yet): sliders only move, and the rate text follows.
    r.controller.speedSliderMoved(75);
    r.controller.brightnessSliderMoved(80);
    EXPECT_TRUE(r.transport.rates.empty());
    EXPECT_TRUE(r.transport.brightness.empty());
    EXPECT_FLOAT_EQ(r.controller.rateShown(), 2.5f);
    r.controller.SetViewMode(TransportController::ViewAll);
    EXPECT_EQ(r.controller.viewMode(), TransportController::ViewFront) << "no change while stopped";
    EXPECT_EQ(r.view.checkedMode, TransportController::ViewFront);

    r.controller.PlayRecording(0);
    EXPECT_EQ(r.transport.rates.back(), 2.5f) << "takes effect at the start";
    EXPECT_EQ(r.transport.brightness.back(), 80);

    // Brightness menu steps from the middle.
    r.controller.resetBrightness();
    std::vector<int> up;
    for (int i = 0; i < 6; ++i) {
        r.controller.brightnessStep(+10);
        up.push_back(BrightnessValueForSlider(r.transport.brightness.back()));
    }
    EXPECT_EQ(up, (std::vector<int>{50, 101, 152, 203, 254, 254}));
    r.controller.resetBrightness();
    r.controller.brightnessStep(-10);
    EXPECT_EQ(BrightnessValueForSlider(r.transport.brightness.back()), -50);

    r.controller.resetSpeed();
    EXPECT_EQ(r.transport.rates.back(), 1.0f) << "exactly 1 from the reset";
    r.controller.speedStep(-10);
    EXPECT_EQ(r.view.speedSlider, 40);

    // Volume: the ends change nothing; mute and a chosen level.
    for (int i = 0; i < 7; ++i)
        r.controller.volumeUp();
    EXPECT_EQ(r.controller.volumeLevel(), 10);
    EXPECT_EQ(r.transport.volumes.back(), 99);
    r.controller.toggleMute();
    EXPECT_EQ(r.transport.volumes.back(), 0);
    EXPECT_TRUE(r.view.muted);
    r.controller.volumeChosen(3);
    EXPECT_FALSE(r.controller.muted());
    EXPECT_EQ(r.transport.volumes.back(), 29);
    for (int i = 0; i < 5; ++i)
        r.controller.volumeDown();
    EXPECT_EQ(r.controller.volumeLevel(), 0);

    // Space / menu 32811 toggles; view modes while playing.
    r.controller.togglePlay();
    EXPECT_EQ(r.transport.state(), ITransport::Paused);
    EXPECT_TRUE(r.view.playShown);
    r.controller.SetViewMode(TransportController::ViewRear);
    EXPECT_FALSE(r.view.front);
    EXPECT_TRUE(r.view.rear);
    EXPECT_EQ(r.view.checkedMode, TransportController::ViewRear);
    r.controller.togglePlay();
    EXPECT_EQ(r.transport.state(), ITransport::Running);
    EXPECT_FALSE(r.view.playShown);
}

TEST(TransportController, AOneChannelRecordingShowsTheFrontAndOffersNoRear)
{
    Rig r(2);
    r.controller.rowActivated(0);
    r.controller.SetViewMode(TransportController::ViewAll);
    EXPECT_TRUE(r.view.front && r.view.rear);

    r.transport.channels = 1;
    r.controller.rowActivated(1);
    EXPECT_FALSE(r.view.rearAvailable);
    EXPECT_TRUE(r.view.front);
    EXPECT_FALSE(r.view.rear) << "no empty rear screen";
    EXPECT_EQ(r.view.checkedMode, TransportController::ViewFront);
    r.controller.SetViewMode(TransportController::ViewRear); // a key or menu item all the same
    EXPECT_FALSE(r.view.rear);
    EXPECT_EQ(r.view.checkedMode, TransportController::ViewFront);

    // The chosen mode comes back with a two-channel recording.
    r.transport.channels = 2;
    r.controller.rowActivated(0);
    EXPECT_TRUE(r.view.rearAvailable);
    EXPECT_TRUE(r.view.front && r.view.rear);
    EXPECT_EQ(r.view.checkedMode, TransportController::ViewAll);
}

TEST(TransportController, FrameStepsAndTheEnds)
{
    Rig r(2);
    r.controller.frameStep(+1);
    EXPECT_TRUE(r.transport.steps.empty()) << "nothing open";
    r.controller.rowActivated(0);
    r.transport.setPosition(1000);
    r.controller.frameStep(+1);
    EXPECT_EQ(r.transport.state(), ITransport::Paused);
    EXPECT_TRUE(r.view.playShown) << "Play shown: it is paused";
    EXPECT_EQ(r.view.timelinePosition, 1066);
    EXPECT_EQ(r.view.panelPosition, 1066);
    EXPECT_EQ(r.view.synced.back(), 1066) << "the telemetry follows the picture";
    r.controller.frameStep(-1);
    EXPECT_EQ(r.view.timelinePosition, 1000);

    r.controller.toEnd();
    EXPECT_EQ(r.transport.state(), ITransport::Paused);
    EXPECT_EQ(r.list.current, 0) << "the last picture, not the next row";
    EXPECT_EQ(r.view.timelinePosition, 60000 - 66);
    r.controller.toStart();
    EXPECT_EQ(r.transport.positionMs(), 0);
}

TEST(TransportController, AFileThatGoesAwayWhilePlayingStopsThePlaybackAndSaysSo)
{
    for (bool broke : {false, true}) {
        SCOPED_TRACE(broke ? "the playback broke" : "found by the tick");
        Rig r(3);
        r.controller.rowActivated(0);
        r.transport.setPosition(1000);
        for (int tick = 0; tick < 10; ++tick)
            r.controller.UpdateTimeline();
        EXPECT_TRUE(r.view.messages.isEmpty()) << "still there";
        // The card is pulled out: every file of it is gone.
        r.list.present.clear();
        if (broke) {
            r.controller.recordingBroke();
        } else {
            for (int tick = 0; tick < 5; ++tick)
                r.controller.UpdateTimeline();
        }
        EXPECT_EQ(r.view.messages, QStringList({QStringLiteral("KVR-2650 Viewer: ") + QString::fromUtf8(ids::kPlayingFileGone)}));
        EXPECT_EQ(r.transport.state(), ITransport::Stopped);
        EXPECT_EQ(r.transport.opened.size(), 1) << "no next row tried on a card that has gone";
        EXPECT_FALSE(r.view.enabled);
        r.controller.UpdateTimeline();
        EXPECT_EQ(r.view.messages.size(), 1) << "said once";
    }
    // A break with the file still there goes on to the next row.
    Rig r(2);
    r.controller.rowActivated(0);
    r.controller.recordingBroke();
    EXPECT_EQ(r.list.current, 1);
}

TEST(Transport, SettingsAroundThePlaybackAndPrintPauses)
{
    struct Case {
        const char *name;
        bool pausedBefore;
        bool saved;
        int channels;
        int stateAfter;
        bool mirrored;
    } cases[] = {
        {"running, saved: resumes, mirror applied", false, true, 2, ITransport::Running, true},
        {"running, cancelled: resumes, mirror untouched", false, false, 2, ITransport::Running, false},
        {"paused, saved: stays paused", true, true, 2, ITransport::Paused, true},
        {"paused, cancelled: stays paused", true, false, 2, ITransport::Paused, false},
        {"one channel: no mirror to apply", false, true, 1, ITransport::Running, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Rig r(2);
        r.transport.channels = c.channels;
        r.controller.PlayRecording(0);
        if (c.pausedBefore)
            r.controller.pause();
        int stateDuring = -1;
        r.controller.aroundSettings([&] { stateDuring = r.transport.state(); return c.saved; },
                                    [] { return std::pair<int, bool>(8, true); });
        EXPECT_EQ(stateDuring, int(ITransport::Paused));
        EXPECT_EQ(r.transport.state(), c.stateAfter);
        EXPECT_EQ(r.view.playShown, c.stateAfter == ITransport::Paused);
        EXPECT_EQ(r.transport.mirrored, c.mirrored);
        if (c.saved && c.stateAfter == ITransport::Running) {
            r.transport.seeks.clear();
            r.controller.skipForward();
            ASSERT_FALSE(r.transport.seeks.empty());
            EXPECT_EQ(r.transport.seeks.back(), 8000) << "the new skip interval";
        }
    }

    Rig idle(0);
    EXPECT_FALSE(idle.controller.pauseForReport()) << "before any recording";
    Rig r(1);
    r.controller.PlayRecording(0);
    EXPECT_TRUE(r.controller.pauseForReport());
    EXPECT_EQ(r.transport.state(), int(ITransport::Paused));
    EXPECT_TRUE(r.view.playShown);
    EXPECT_TRUE(r.controller.pauseForReport()) << "paused: still a moment to print";
    r.controller.ResetTransport(false);
    EXPECT_FALSE(r.controller.pauseForReport()) << "stopped";
}
