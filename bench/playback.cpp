// Plays a recording through the playback engine without a display and
// prints: open-to-first-picture ms, paused seek ms (mean of 10), frames
// shown and decoded per channel during a real-time play of the whole file,
// and the CPU seconds of that play.
#include "playback/PlayerFront.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

using namespace drivora;

namespace {

// A window that paints every picture at the size the main window shows a
// channel at, as the screen control does.
struct Window : IVideoWindow {
    const FrameSlot *slot = nullptr;
    void attachFrames(const FrameSlot *s) override { slot = s; }
    void frameArrived() override
    {
        if (slot)
            (void)slot->get().toImage(clientSize());
    }
    void repaintVideo() override {}
    QSize clientSize() const override { return {640, 360}; }
};

std::atomic<int> decoded[2];

GstPadProbeReturn countDecoded(GstPad *, GstPadProbeInfo *, gpointer channel)
{
    ++decoded[GPOINTER_TO_INT(channel)];
    return GST_PAD_PROBE_OK;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool openOnly = argc == 3 && std::string(argv[2]) == "--open-only";
    if (argc != 2 && !openOnly) {
        std::fprintf(stderr, "usage: %s RECORDING [--open-only]\n", argv[0]);
        return 2;
    }
    Window front, rear;
    PlayerFront player;
    player.init(&front, &rear);

    QElapsedTimer timer;
    timer.start();
    if (!player.open(QString::fromLocal8Bit(argv[1])))
        return 1;
    QImage first;
    while (!player.engine()->GrabFrame(0, first) && timer.elapsed() < 5000)
        QThread::msleep(1);
    const double openMs = double(timer.nsecsElapsed()) / 1e6;
    if (openOnly) { // the process ends at the first picture (start-up benchmark)
        std::printf("%.1f\n", openMs);
        std::fflush(stdout);
        std::_Exit(first.isNull() ? 1 : 0);
    }

    PlaybackEngine &engine = *player.engine();
    engine.pause();
    // Count what each decoder hands on.
    for (int channel = 0; channel < engine.videoCount(); ++channel) {
        GstElement *bin = gst_bin_get_by_name(GST_BIN(engine.pipeline()),
                                              channel == 0 ? "FFDShow Decoder1" : "FFDShow Decoder2");
        GstPad *src = gst_element_get_static_pad(bin, "src");
        gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_BUFFER, countDecoded, GINT_TO_POINTER(channel), nullptr);
        gst_object_unref(src);
        gst_object_unref(bin);
    }
    double seekTotal = 0;
    for (int i = 0; i < 10; ++i) {
        timer.restart();
        engine.seek(int64_t((i * 1700) % 18000) * 10000);
        seekTotal += double(timer.nsecsElapsed()) / 1e6;
    }
    decoded[0] = decoded[1] = 0;
    const quint64 shownBefore[2] = {engine.framesShown(0), engine.framesShown(1)};
    engine.seek(0); // its picture is decoded and shown once more when the play starts
    auto cpuSeconds = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    const double cpuBefore = cpuSeconds();
    engine.run();
    timer.restart();
    while (engine.position() < engine.duration() && timer.elapsed() < engine.duration() / 10000 + 10000)
        QThread::msleep(50);
    if (engine.position() < engine.duration()) {
        std::fprintf(stderr, "playback did not reach the end\n");
        return 1;
    }
    const double cpu = cpuSeconds() - cpuBefore;
    QThread::msleep(200);
    std::printf("%.1f %.1f %llu %d %llu %d %.2f\n", openMs, seekTotal / 10,
                (unsigned long long)(engine.framesShown(0) - shownBefore[0]), decoded[0].load(),
                (unsigned long long)(engine.framesShown(1) - shownBefore[1]), decoded[1].load(), cpu);
    return 0;
}
