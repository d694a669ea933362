#pragma once

#include "DecoderParams.h"
#include "GstHandle.h"
#include "RecordingFile.h"
#include "StreamRecordSource.h"
#include "VideoWindow.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>

namespace drivora {

enum EngineState : int32_t {
    EngineRunning = 0,
    EnginePaused = 1,
    EngineStopped = 2, // also: cued after a build
    EngineNoGraph = 3,
};

inline constexpr int32_t kWrongState = int32_t(0x80040227);
inline constexpr int32_t kNotInitialised = -1;
inline constexpr int32_t kLoadFailed = 1;
inline constexpr int32_t kFilterMissing = int32_t(0x80040154);

// Element names, as the media graph shows them.
inline constexpr const char *kStreamParserName = "CLStreamParseFilter";
inline constexpr const char *kAudioRendererName = "DirectSound Audio Renderer";

// The stream parser: reads the recording file (source and demultiplexer)
// and offers the telemetry records. Its output pins are named "Video N" and
// "Audio N", in stream order.
class StreamParser final : public IStreamParserFilter {
public:
    StreamParser();
    ~StreamParser() override;
    GstElement *element() const { return m_bin; }
    GstElement *demuxer() const { return m_demuxer; }
    IStreamRecordSource *QueryRecordSource() override { return &m_file; }
    int32_t load(const QString &path); // 0, or kLoadFailed
    const RecordingFile &file() const { return m_file; }
    QStringList pinNames() const;
    bool pinIsPcm(int pin) const;

private:
    GstElement *m_bin = nullptr; // floating until added to a pipeline
    GstElement *m_source = nullptr;
    GstElement *m_demuxer = nullptr;
    RecordingFile m_file;
};

// One video decoder instance: parses and decodes H.264 and adjusts the
// picture (brightness, left-right mirror).
class VideoDecoder final : public IDecoderParams {
public:
    explicit VideoDecoder(const char *name);
    GstElement *element() const { return m_bin; }
    bool isValid() const { return m_bin != nullptr; }
    int32_t SetParam(int32_t id, int32_t value) override;
    int32_t brightness() const { return m_brightness; }
    bool mirrored() const { return m_mirrored; }

private:
    GstElement *m_bin = nullptr;
    GstElement *m_balance = nullptr;
    GstElement *m_flip = nullptr;
    int32_t m_brightness = 0;
    bool m_mirrored = false;
};

// The stream parser's output pins whose name contains "Video".
int CountVideoPins(const StreamParser &parser);
// One for each pin whose name contains "Audio", and 1000 more for each that
// offers PCM first: 0 no sound, 1-999 compressed sound only, 1000 or more
// at least one PCM pin.
int CountAudioPins(const StreamParser &parser);

// The media pipeline of one opened recording.
class PlaybackEngine {
public:
    PlaybackEngine(int mode, IVideoWindow *front, IVideoWindow *rear);
    ~PlaybackEngine();
    PlaybackEngine(const PlaybackEngine &) = delete;
    PlaybackEngine &operator=(const PlaybackEngine &) = delete;

    void setInitialised(bool on) { m_initialised = on; }
    void setParserFlag(bool on) { m_parserFlag = on; }

    // Builds the pipeline for the file: 0 when built or when nothing was to
    // be built; kLoadFailed when the file cannot be loaded; another negative
    // code when an element cannot be made.
    int32_t build(const QString &path);
    void teardown();

    int32_t run();
    int32_t pause();
    int32_t stop();
    int64_t position();     // 100-ns units
    int64_t duration();     // 100-ns units
    int32_t seek(int64_t position100ns);
    int32_t setVolumeValue(int32_t hundredthsOfDb); // -10000 silences
    bool hasAudio() const { return m_volume != nullptr; }

    EngineState state() const { return m_state; }
    int videoCount() const { return m_videoCount; }
    float rate() const { return m_rate; }
    void setRate(float rate) { m_rate = rate; }
    QString path() const { return m_path; }

    StreamParser *streamParser() { return m_parser.get(); }
    IDecoderParams *decoder(int channel);

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

private:
    int32_t buildGraph(int videoStreams);
    bool addElement(GstElement *element);
    bool waitForAsyncDone(GstClockTime timeout);
    bool setPipelineState(GstState state);
    bool applyRate();
    bool reachedEnd(); // the pipeline played to the end of the file
    static void onPadAdded(GstElement *demuxer, GstPad *pad, gpointer self);
    static GstFlowReturn onSample(GstElement *sink, gpointer slot);
    static GstFlowReturn onPreroll(GstElement *sink, gpointer slot);

    int m_mode;
    std::array<IVideoWindow *, 2> m_windows;
    std::array<FrameSlot, 2> m_frames;
    bool m_initialised = false;
    bool m_parserFlag = false;
    bool m_graphBuilt = false;
    EngineState m_state = EngineNoGraph;
    float m_rate = 1.0f;
    int64_t m_durationCache = 0;
    bool m_atEnd = false;
    int m_videoCount = 0;
    QString m_path;

    GstHandle<GstElement> m_pipeline;
    std::unique_ptr<StreamParser> m_parser;
    std::array<std::unique_ptr<VideoDecoder>, 2> m_decoders;
    GstElement *m_audioDecoder = nullptr;
    GstElement *m_audioRenderer = nullptr;
    GstElement *m_volume = nullptr;
    std::array<GstElement *, 2> m_renderers{};
    QStringList m_names;
};

// The main window's player: owns the engine of the open recording.
class PlayerFront {
public:
    PlayerFront();
    ~PlayerFront();
    void init(IVideoWindow *front, IVideoWindow *rear);
    bool open(const QString &path);
    void close();
    bool seek(int64_t ms);
    bool setRate(double rate);
    bool setVolume(int level);
    int64_t durationMs();
    PlaybackEngine *engine() { return m_engine.get(); }
    void setParserFlag(bool on) { m_parserFlag = on; }
    bool parserFlag() const { return m_parserFlag; }
    int mode() const { return m_mode; }

private:
    int m_mode = 0;
    IVideoWindow *m_front = nullptr;
    IVideoWindow *m_rear = nullptr;
    std::unique_ptr<PlaybackEngine> m_engine;
    bool m_parserFlag = true;
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
// Starts GStreamer once for the process.
void InitialiseMedia();

} // namespace drivora
