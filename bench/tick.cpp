// The cost of one timeline tick of the main window: UpdateTimeline and the
// telemetry it pushes (speed, G-sensor values, position) with a one-hour
// recording's telemetry, through the same transport rules and lookups the
// window uses. Prints microseconds per tick, beside the cost of the bare
// lookups alone measured in the same run. Goal: under 200 us (0.2 ms).
#include "app/Transport.h"
#include "cardgen/Drive.h"
#include "catalogue/Telemetry.h"

#include <QElapsedTimer>

#include <cstdio>

using namespace drivora;

namespace {

class RunningTransport final : public ITransport {
public:
    int state() const override { return Running; }
    bool open(const QString &) override { return true; }
    int32_t run() override { return 0; }
    int32_t pause() override { return 0; }
    int32_t stop() override { return 0; }
    bool seek(int64_t ms) override { return (position = ms) >= 0; }
    int64_t positionMs() override { return position; }
    int64_t durationMs() override { return 3600000; }
    void setRate(float) override {}
    bool setVolume(int) override { return true; }
    void applyBrightness(int) override {}
    void applyRearMirror(bool) override {}
    int videoCount() override { return 2; }
    int32_t stepFrame(int) override { return 0; }
    int64_t position = 0;
};

class OneRow final : public IPlaylist {
public:
    int rowCount() const override { return 1; }
    int currentRow() const override { return 0; }
    QString rowPath(int) const override { return QStringLiteral("/card/REC_20240315_081500_0.AVI"); }
    QString rowFileName(int) const override { return QStringLiteral("REC_20240315_081500_0.AVI"); }
    void setCurrentRow(int) override {}
    void selectRow(int) override {}
    bool fileExists(const QString &) const override { return true; }
};

// What the window's telemetry push does, without the widgets' repaints
// (which are queued, not drawn, within a tick).
class LookupView final : public ITransportView {
public:
    void showScreens(bool, bool) override {}
    void showPlayButton(bool) override {}
    void setTransportEnabled(bool) override {}
    void setTimeline(int64_t, int64_t) override {}
    void setTimePanel(int64_t, int64_t, float) override {}
    void setVolumeShown(int, bool) override {}
    void setViewButtons(int) override {}
    void setRearAvailable(bool) override {}
    void setSpeedSlider(int) override {}
    void setBrightnessSlider(int) override {}
    void message(const QString &, const QString &) override {}
    void recordingStarted(const QString &, int64_t) override {}
    void syncTelemetry(int64_t ms) override
    {
        double speed;
        float x, y, z, lat, lon;
        GetSpeedAt(uint32_t(ms), speed);
        GetAccelAt(uint32_t(ms), x, y, z);
        GetPositionAt(uint32_t(ms), lat, lon);
        sink += speed + x + lat;
    }
    double sink = 0;
};

} // namespace

int main()
{
    const cardgen::Drive drive;
    cardgen::Stretch hour;
    hour.seconds = 3600;
    hour.startUtc = 1710454500;
    GpsTrack().clear();
    GSensorTrack().clear();
    for (const cardgen::TelemetryRecord &r : drive.records(hour))
        AddTelemetryRecord(r.text, r.stampMs);

    RunningTransport transport;
    OneRow list;
    LookupView view;
    TransportController controller(transport, list, view);
    constexpr int kTicks = 200000;

    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kTicks; ++i) {
        transport.position = int64_t(i) * 17 % 3599000;
        controller.UpdateTimeline();
    }
    const double tickUs = double(timer.nsecsElapsed()) / 1e3 / kTicks;

    timer.restart();
    for (int i = 0; i < kTicks; ++i)
        view.syncTelemetry(int64_t(i) * 17 % 3599000);
    const double lookupUs = double(timer.nsecsElapsed()) / 1e3 / kTicks;

    std::printf("telemetry: %zu fixes, %zu G-sensor samples (one hour)\n", GpsTrack().size(), GSensorTrack().size());
    std::printf("one tick (UpdateTimeline + telemetry): %8.3f us (goal < 200 us)\n", tickUs);
    std::printf("the lookups alone:                     %8.3f us\n", lookupUs);
    const bool ok = tickUs < 200;
    std::printf("result: %s\n", ok ? "goal met" : "GOAL NOT MET");
    return ok ? 0 : 1;
}
