#pragma once

#include "BusWatcher.h"
#include "DecoderParams.h"
#include "GstHandle.h"
#include "StreamParser.h"
#include "VideoDecoder.h"
#include "VideoWindow.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

namespace drivora {

enum EngineState : int32_t {
    EngineRunning = 0,
    EnginePaused = 1,
    EngineStopped = 2, // also: cued after a build
    EngineNoGraph = 3,
};

inline constexpr int32_t kWrongState = int32_t(0x80040227);
inline constexpr int32_t kNotInitialised = -1;
inline constexpr int32_t kFilterMissing = int32_t(0x80040154);

inline constexpr const char *kAudioRendererName = "DirectSound Audio Renderer";

// The rates the engine plays: the speed slider's whole range.
inline constexpr float kSlowestRate = 0.1f;
inline constexpr float kFastestRate = 4.0f;

// How much of the file (in media time) a branch may miss, or its decoder
// take without making anything of it, before the branch is given up: its
// stream is missing from the file or does not decode. Below kBranchQueueTime,
// so that the branches that do play never stall the reading first.
inline constexpr GstClockTime kSilentBranchLimit = 3 * GST_SECOND;

// The media pipeline of one opened recording.
//
// The branches (front, rear, sound) are made from the stream headers, but a
// branch is linked only when the demultiplexer offers its pad with a coding
// the branch decodes. A branch that stays unlinked, gets no data, or turns
// out not to decode is ended on its own, so that the rest of the file plays;
// a file where no picture decodes fails to open.
class PlaybackEngine {
public:
    PlaybackEngine(int mode, IVideoWindow *front, IVideoWindow *rear);
    ~PlaybackEngine();
    PlaybackEngine(const PlaybackEngine &) = delete;
    PlaybackEngine &operator=(const PlaybackEngine &) = delete;

    void setInitialised(bool on) { m_initialised = on; }
    void setParserFlag(bool on) { m_parserFlag = on; }

    // Builds the pipeline for the file: 0 when built or when nothing was to
    // be built; kLoadFailed when the file cannot be loaded or nothing of it
    // decodes; another negative code when an element cannot be made.
    int32_t build(const QString &path);
    void teardown();

    int32_t run();
    int32_t pause();
    int32_t stop();
    int64_t position() const; // 100-ns units
    int64_t duration();       // 100-ns units
    int32_t seek(int64_t position100ns);
    int32_t setVolumeValue(int32_t hundredthsOfDb); // -10000 silences
    bool hasAudio() const { return m_volume != nullptr; }
    // The open recording plays its sound, but none of its pictures decodes.
    bool noPictures() const { return m_graphBuilt && m_noPictures; }

    EngineState state() const { return m_state; }
    int videoCount() const { return m_videoCount; }
    float rate() const { return m_rate; }
    void setRate(float rate) { m_rate = rate; }
    QString path() const { return m_path; }

    StreamParser *streamParser() { return m_parser.get(); }
    IDecoderParams *decoder(int channel);
    // The end of the stream and errors while playing, as signals on the
    // thread that built the engine; empty before a build.
    BusWatcher *events() { return m_watcher.get(); }

    // Picture operations.
    void applyBrightness(int sliderPosition);
    int32_t applyRearMirror(bool on);
    void fitAndRepaint();
    void repaintFront();
    bool GrabFrame(int channel, QImage &image);
    // After a parameter change while not running: show the change on the
    // still picture.
    void refreshStill();

    // What the pipeline holds, for inspection.
    QStringList elementNames() const;
    GstElement *pipeline() const { return m_pipeline.get(); }
    quint64 framesShown(int channel) const { return m_frames[size_t(channel)].count(); }
    double playbackRate() const; // the rate the pipeline plays at
    // Pauses and shows the next (+1) or the previous (-1) picture.
    int32_t stepFrame(int direction);
    // Branches given up while opening: "Video 1", "Video 2", "Audio 1".
    QStringList endedBranches() const;

private:
    enum BranchId { FrontBranch, RearBranch, SoundBranch, BranchCount };
    struct Branch {
        GstElement *entry = nullptr; // the element the parser's pin feeds (held by the pipeline)
        GstElement *sink = nullptr;  // where its data ends (held by the pipeline)
        QString pin;                 // "Video 1", "Video 2", "Audio 1"
        const char *coding = nullptr; // media type it takes
        std::array<GstElement *, 3> members{}; // every element of the branch (held by the pipeline)
        GstPad *taken = nullptr;     // where its decoder takes the data (the queue's output)
        bool linked = false;
        bool fed = false;    // the parser gave it data
        bool ended = false;  // given up: drops its data
        bool output = false; // something reached its sink
        GstClockTime firstTaken = GST_CLOCK_TIME_NONE;
    };

    int32_t buildGraph(int videoStreams);
    bool addElement(GstHandle<GstElement> element);
    bool addElement(GstElement *borrowed); // an element whose owner keeps a reference too
    bool waitForPipeline();
    bool applyRate();
    void watchBranch(BranchId id);
    void endStarvedBranch(BranchId id); // streaming thread of the parser
    static void finishBranch(GstElement *sink);
    BranchId branchOf(GstPad *pad, GstElement *Branch::*end) const;
    BranchId branchOfTaken(GstPad *pad) const;
    bool isInEndedBranch(GstObject *object) const;
    void removeEndedBranches();
    static void onPadAdded(GstElement *demuxer, GstPad *pad, gpointer self);
    static void onNoMorePads(GstElement *demuxer, gpointer self);
    static GstPadProbeReturn onBranchInput(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    static GstPadProbeReturn onBranchDecoding(GstPad *pad, GstPadProbeInfo *info, gpointer self);
    static GstPadProbeReturn onBranchOutput(GstPad *pad, GstPadProbeInfo *info, gpointer self);

    int m_mode;
    std::array<IVideoWindow *, 2> m_windows;
    std::array<FrameSlot, 2> m_frames;
    bool m_initialised = false;
    bool m_parserFlag = false;
    bool m_graphBuilt = false;
    EngineState m_state = EngineNoGraph;
    float m_rate = 1.0f;
    bool m_noPictures = false;
    int64_t m_durationCache = 0;
    int m_videoCount = 0;
    QString m_path;

    GstHandle<GstElement> m_pipeline;
    std::unique_ptr<BusWatcher> m_watcher;
    std::unique_ptr<StreamParser> m_parser;
    std::array<std::unique_ptr<VideoDecoder>, 2> m_decoders;
    GstElement *m_audioDecoder = nullptr;
    GstElement *m_audioRenderer = nullptr;
    GstElement *m_volume = nullptr;
    std::array<GstElement *, 2> m_renderers{};
    QStringList m_names;

    // Shared with the streaming threads while the file is opened.
    mutable std::mutex m_branchMutex;
    std::array<Branch, BranchCount> m_branches;
    bool m_opening = false; // branches are judged only until the first picture is cued
    GstClockTime m_firstRead = GST_CLOCK_TIME_NONE;
};

// Hundredths of a decibel for a volume level 0..99 (0 gives -10000).
int32_t VolumeValueForLevel(int level);
// The decoder's brightness for a slider position (50 neutral).
int32_t BrightnessValueForPosition(int sliderPosition);
// Writes the video decoder's settings and the components flag.
void WriteDecoderSettings();
void WriteComponentsFlag();
// The audio output element: the system's sound output, or a silent one
// that keeps time where the machine has no sound device.
QString ChosenAudioSink();
// Starts GStreamer once for the process; false when it cannot start.
bool InitialiseMedia();

} // namespace drivora
