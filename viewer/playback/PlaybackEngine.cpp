#include "PlaybackEngine.h"

#include <QSettings>

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <cmath>
#include <cstdlib>
#include <mutex>

namespace drivora {
namespace {

constexpr GstClockTime kStateTimeout = 10 * GST_SECOND;

GstElement *make(const char *factory, const char *name = nullptr)
{
    return gst_element_factory_make(factory, name);
}

// A bin of elements linked in a row, with ghost pads at both ends.
GstElement *makeChain(const char *name, std::initializer_list<GstElement *> elements, bool sourcePad = true)
{
    for (GstElement *e : elements)
        if (!e) {
            for (GstElement *o : elements)
                if (o)
                    gst_object_unref(gst_object_ref_sink(o));
            return nullptr;
        }
    GstElement *bin = gst_bin_new(name);
    GstElement *previous = nullptr;
    for (GstElement *e : elements) {
        gst_bin_add(GST_BIN(bin), e);
        if (previous)
            gst_element_link(previous, e);
        previous = e;
    }
    GstPad *sink = gst_element_get_static_pad(*elements.begin(), "sink");
    gst_element_add_pad(bin, gst_ghost_pad_new("sink", sink));
    gst_object_unref(sink);
    if (sourcePad) {
        GstPad *src = gst_element_get_static_pad(previous, "src");
        gst_element_add_pad(bin, gst_ghost_pad_new("src", src));
        gst_object_unref(src);
    }
    return bin;
}

// Wraps a 4:2:0 sample as a frame without copying it.
VideoFrame frameOf(GstSample *sample)
{
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    if (!buffer || !gst_video_info_from_caps(&info, gst_sample_get_caps(sample)))
        return {};
    auto *frame = new GstVideoFrame;
    if (!gst_video_frame_map(frame, &info, buffer, GST_MAP_READ)) {
        delete frame;
        return {};
    }
    VideoFrame::Planes p;
    p.y = static_cast<const uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(frame, 0));
    p.u = static_cast<const uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(frame, 1));
    p.v = static_cast<const uint8_t *>(GST_VIDEO_FRAME_PLANE_DATA(frame, 2));
    p.strideY = GST_VIDEO_FRAME_PLANE_STRIDE(frame, 0);
    p.strideU = GST_VIDEO_FRAME_PLANE_STRIDE(frame, 1);
    p.strideV = GST_VIDEO_FRAME_PLANE_STRIDE(frame, 2);
    p.width = GST_VIDEO_INFO_WIDTH(&info);
    p.height = GST_VIDEO_INFO_HEIGHT(&info);
    p.bt709 = info.colorimetry.matrix == GST_VIDEO_COLOR_MATRIX_BT709;
    p.fullRange = info.colorimetry.range == GST_VIDEO_COLOR_RANGE_0_255;
    return VideoFrame(p, [frame] {
        gst_video_frame_unmap(frame);
        delete frame;
    });
}

struct RendererSlot {
    FrameSlot *frames;
    IVideoWindow *window;
};

} // namespace

void InitialiseMedia()
{
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

QString ChosenAudioSink()
{
    static QString chosen = [] {
        InitialiseMedia();
        if (const char *forced = std::getenv("DRIVORA_AUDIO_SINK"); forced && *forced)
            return QString::fromUtf8(forced);
        // A sink that opens (reaches READY) means there is a sound output.
        for (const char *candidate : {"pulsesink", "alsasink"}) {
            GstElement *sink = make(candidate);
            if (!sink)
                continue;
            gst_object_ref_sink(sink);
            const bool opens = gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
            gst_element_set_state(sink, GST_STATE_NULL);
            gst_object_unref(sink);
            if (opens)
                return QStringLiteral("autoaudiosink");
        }
        return QStringLiteral("fakeaudiosink");
    }();
    return chosen;
}

int32_t VolumeValueForLevel(int level)
{
    const float fraction = float(level) / 100.0f;
    const double value = 1000.0 * std::log10(1e-10 + double(fraction) * (1.0 - 1e-10));
    return int32_t(value);
}

int32_t BrightnessValueForPosition(int sliderPosition)
{
    const float step = 5.1f; // as a 32-bit float: 5.0999999..., so the ends give +-254
    return int32_t(double(sliderPosition - 50) * double(step));
}

void WriteDecoderSettings()
{
    QSettings settings(QStringLiteral("GNU"), QStringLiteral("ffdshow"));
    settings.setValue(QStringLiteral("multipleInstances"), 0);
    settings.setValue(QStringLiteral("isWhitelist"), 0);
    settings.setValue(QStringLiteral("h264"), 1);
}

void WriteComponentsFlag()
{
    QSettings settings(QSettings::SystemScope, QStringLiteral("Norvanta"));
    if (settings.isWritable())
        settings.setValue(QStringLiteral("usingDShow"), 1);
}

// --- Stream parser -------------------------------------------------------

StreamParser::StreamParser()
{
    m_source = make("filesrc");
    m_demuxer = make("avidemux");
    if (!m_source || !m_demuxer) {
        if (m_source)
            gst_object_unref(gst_object_ref_sink(m_source));
        if (m_demuxer)
            gst_object_unref(gst_object_ref_sink(m_demuxer));
        m_source = m_demuxer = nullptr;
        return;
    }
    m_bin = gst_bin_new(kStreamParserName);
    gst_bin_add_many(GST_BIN(m_bin), m_source, m_demuxer, nullptr);
    gst_element_link(m_source, m_demuxer);
}

StreamParser::~StreamParser() = default; // the pipeline owns the bin

int32_t StreamParser::load(const QString &path)
{
    if (!m_bin || !m_file.open(path))
        return kLoadFailed;
    g_object_set(m_source, "location", path.toUtf8().constData(), nullptr);
    return 0;
}

QStringList StreamParser::pinNames() const
{
    QStringList names;
    int video = 0, audio = 0;
    for (const RecordingStream &s : m_file.streams()) {
        if (s.type == "vids")
            names << QStringLiteral("Video %1").arg(++video);
        else if (s.type == "auds")
            names << QStringLiteral("Audio %1").arg(++audio);
    }
    return names;
}

bool StreamParser::pinIsPcm(int pin) const
{
    int i = 0;
    for (const RecordingStream &s : m_file.streams()) {
        if (s.type != "vids" && s.type != "auds")
            continue;
        if (i++ == pin)
            return s.type == "auds" && s.formatTag == 1;
    }
    return false;
}

int CountVideoPins(const StreamParser &parser)
{
    int count = 0;
    for (const QString &pin : parser.pinNames())
        count += pin.contains(QLatin1String("Video"), Qt::CaseSensitive);
    return count;
}

int CountAudioPins(const StreamParser &parser)
{
    int count = 0;
    const QStringList pins = parser.pinNames();
    for (int i = 0; i < pins.size(); ++i)
        if (pins[i].contains(QLatin1String("Audio"), Qt::CaseSensitive))
            count += 1 + (parser.pinIsPcm(i) ? 1000 : 0);
    return count;
}

// --- Video decoder -------------------------------------------------------

VideoDecoder::VideoDecoder(const char *name)
{
    m_balance = make("videobalance");
    m_flip = make("videoflip");
    GstElement *bin = makeChain(name, {make("queue"), make("h264parse"), make("avdec_h264"), m_balance, m_flip});
    if (!bin) {
        m_balance = m_flip = nullptr;
        return;
    }
    m_bin = bin;
}

int32_t VideoDecoder::SetParam(int32_t id, int32_t value)
{
    if (!m_bin)
        return kRecordFailed;
    switch (id) {
    case kParamBrightnessEnable:
    case kParamMirrorEnable:
        return 0;
    case kParamBrightness:
        m_brightness = std::clamp(value, -255, 255);
        g_object_set(m_balance, "brightness", double(m_brightness) / 255.0, nullptr);
        return 0;
    case kParamMirror:
        m_mirrored = value != 0;
        gst_util_set_object_arg(G_OBJECT(m_flip), "video-direction", m_mirrored ? "horiz" : "identity");
        return 0;
    default:
        return int32_t(0x80070057); // unknown parameter
    }
}

// --- Engine --------------------------------------------------------------

PlaybackEngine::PlaybackEngine(int mode, IVideoWindow *front, IVideoWindow *rear)
    : m_mode(mode), m_windows{front, rear}
{
    InitialiseMedia();
    for (size_t i = 0; i < 2; ++i)
        if (m_windows[i])
            m_windows[i]->attachFrames(&m_frames[i]);
}

PlaybackEngine::~PlaybackEngine()
{
    teardown();
    for (IVideoWindow *w : m_windows)
        if (w)
            w->attachFrames(nullptr);
}

bool PlaybackEngine::addElement(GstElement *element)
{
    if (!element)
        return false;
    m_names << QString::fromUtf8(GST_ELEMENT_NAME(element));
    return gst_bin_add(GST_BIN(m_pipeline.get()), element);
}

int32_t PlaybackEngine::build(const QString &path)
{
    if (m_graphBuilt || m_pipeline)
        teardown();
    m_path = path;
    m_pipeline.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("graph"))));
    if (!m_pipeline)
        return kFilterMissing;

    m_parser = std::make_unique<StreamParser>();
    if (!m_parser->element())
        return kFilterMissing;
    addElement(m_parser->element());
    m_parser->QueryRecordSource()->SetParserFlag(m_parserFlag ? 1 : 0);
    const int32_t loaded = m_parser->load(path);
    if (loaded != 0)
        return kLoadFailed;

    m_videoCount = CountVideoPins(*m_parser);
    if (m_videoCount != 1 && m_videoCount != 2)
        return loaded; // nothing to build: the state stays "no graph"
    const int32_t built = buildGraph(m_videoCount);
    if (built != 0)
        return built;

    // Cue: preroll so that the first picture is there, then read the duration.
    g_signal_connect(m_parser->demuxer(), "pad-added", G_CALLBACK(&PlaybackEngine::onPadAdded), this);
    gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED);
    GstState reached = GST_STATE_NULL;
    if (gst_element_get_state(m_pipeline.get(), &reached, nullptr, kStateTimeout) == GST_STATE_CHANGE_FAILURE ||
        reached != GST_STATE_PAUSED) {
        teardown();
        m_state = EngineNoGraph;
        return kLoadFailed; // the file could not be read after all
    }
    m_state = EngineStopped;
    m_graphBuilt = true;
    m_durationCache = 0;
    duration();
    return 0;
}

int32_t PlaybackEngine::buildGraph(int videoStreams)
{
    const bool two = videoStreams == 2;
    const int audio = CountAudioPins(*m_parser);

    if (audio > 0) {
        if (audio < 1000) {
            m_audioDecoder = makeChain(two ? "CoreAAC Decoder" : "COREAAC AUDIO",
                                       {make("queue"), make("aacparse"), make("avdec_aac")});
            if (!addElement(m_audioDecoder))
                return kFilterMissing;
        }
        m_volume = make("volume", "volume");
        GstElement *sink = make(ChosenAudioSink().toUtf8().constData());
        m_audioRenderer = makeChain(kAudioRendererName, {make("queue"), make("audioconvert"), make("audioresample"),
                                                         m_volume, sink},
                                    false);
        if (!addElement(m_audioRenderer)) {
            m_volume = nullptr;
            return kFilterMissing;
        }
        if (m_audioDecoder)
            gst_element_link(m_audioDecoder, m_audioRenderer);
    }

    const int channels = two ? 2 : 1;
    std::array<GstElement *, 2> converters{};
    for (int i = 0; i < channels; ++i) {
        const QByteArray name = "FFDShow Decoder" + QByteArray::number(i + 1);
        m_decoders[size_t(i)] = std::make_unique<VideoDecoder>(name.constData());
        if (!addElement(m_decoders[size_t(i)]->isValid() ? m_decoders[size_t(i)]->element() : nullptr))
            return kFilterMissing;
    }
    for (int i = 0; i < channels; ++i) {
        const QByteArray name = "Color Space Convertor " + QByteArray::number(i + 1);
        converters[size_t(i)] = make("videoconvert", name.constData());
        if (!addElement(converters[size_t(i)]))
            return kFilterMissing;
    }
    for (int i = 0; i < channels; ++i) {
        const QByteArray name = two ? "Mixing Renderer9-" + QByteArray::number(i + 1) : QByteArray("Mixing Renderer9");
        GstElement *sink = make("appsink", name.constData());
        if (!addElement(sink))
            return kFilterMissing;
        // Pictures stay in the decoder's 4:2:0 form; they become RGB only
        // when shown, at the size shown.
        GstCaps *caps = gst_caps_from_string("video/x-raw,format=I420");
        g_object_set(sink, "caps", caps, "sync", TRUE, "max-buffers", 2, "drop", FALSE, "enable-last-sample", FALSE,
                     nullptr);
        gst_caps_unref(caps);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = [](GstAppSink *s, gpointer d) { return onSample(GST_ELEMENT(s), d); };
        callbacks.new_preroll = [](GstAppSink *s, gpointer d) { return onPreroll(GST_ELEMENT(s), d); };
        auto *slot = new RendererSlot{&m_frames[size_t(i)], m_windows[size_t(i)]};
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, slot,
                                   [](gpointer d) { delete static_cast<RendererSlot *>(d); });
        m_renderers[size_t(i)] = sink;
        gst_element_link_many(m_decoders[size_t(i)]->element(), converters[size_t(i)], sink, nullptr);
    }
    return 0;
}

void PlaybackEngine::onPadAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *self = static_cast<PlaybackEngine *>(data);
    const gchar *name = GST_PAD_NAME(pad);
    GstElement *target = nullptr;
    QString pin;
    if (g_str_has_prefix(name, "video_")) {
        const int index = std::atoi(name + 6);
        if (index < 2 && self->m_decoders[size_t(index)])
            target = self->m_decoders[size_t(index)]->element();
        pin = QStringLiteral("Video %1").arg(index + 1);
    } else if (g_str_has_prefix(name, "audio_")) {
        if (std::atoi(name + 6) == 0)
            target = self->m_audioDecoder ? self->m_audioDecoder : self->m_audioRenderer;
        pin = QStringLiteral("Audio %1").arg(std::atoi(name + 6) + 1);
    }
    if (pin.isEmpty())
        return; // the telemetry stream is read by the record interface
    // The stream parser's pin, named as the player expects.
    GstElement *parser = self->m_parser->element();
    GstPad *ghost = gst_ghost_pad_new(pin.toUtf8().constData(), pad);
    gst_pad_set_active(ghost, TRUE);
    gst_element_add_pad(parser, ghost);
    if (target) {
        GstPad *sink = gst_element_get_static_pad(target, "sink");
        if (sink && !gst_pad_is_linked(sink))
            gst_pad_link(ghost, sink);
        if (sink)
            gst_object_unref(sink);
    }
}

namespace {

// Puts a renderer's picture in its slot and tells the window.
GstFlowReturn deliver(GstSample *sample, gpointer data)
{
    auto *slot = static_cast<RendererSlot *>(data);
    if (!sample)
        return GST_FLOW_EOS;
    slot->frames->set(frameOf(sample));
    gst_sample_unref(sample);
    if (slot->window)
        slot->window->frameArrived();
    return GST_FLOW_OK;
}

} // namespace

GstFlowReturn PlaybackEngine::onSample(GstElement *sink, gpointer data)
{
    return deliver(gst_app_sink_pull_sample(GST_APP_SINK(sink)), data);
}

GstFlowReturn PlaybackEngine::onPreroll(GstElement *sink, gpointer data)
{
    return deliver(gst_app_sink_pull_preroll(GST_APP_SINK(sink)), data); // the still picture when paused
}

void PlaybackEngine::teardown()
{
    m_atEnd = false;
    if (m_pipeline) {
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
        if (m_parser && m_parser->demuxer())
            g_signal_handlers_disconnect_by_data(m_parser->demuxer(), this);
    }
    for (FrameSlot &f : m_frames)
        f.clear();
    m_decoders = {};
    m_renderers = {};
    m_audioDecoder = m_audioRenderer = m_volume = nullptr;
    m_parser.reset();
    m_pipeline.reset();
    m_names.clear();
    m_graphBuilt = false;
    if (m_state != EngineNoGraph)
        m_state = EngineStopped;
}

bool PlaybackEngine::setPipelineState(GstState state)
{
    if (!m_pipeline)
        return false;
    if (gst_element_set_state(m_pipeline.get(), state) == GST_STATE_CHANGE_FAILURE)
        return false;
    return gst_element_get_state(m_pipeline.get(), nullptr, nullptr, kStateTimeout) != GST_STATE_CHANGE_FAILURE;
}

double PlaybackEngine::playbackRate() const
{
    if (!m_pipeline)
        return 1.0;
    GstQuery *query = gst_query_new_segment(GST_FORMAT_TIME);
    double rate = 1.0;
    if (gst_element_query(m_pipeline.get(), query))
        gst_query_parse_segment(query, &rate, nullptr, nullptr, nullptr);
    gst_query_unref(query);
    return rate;
}

bool PlaybackEngine::applyRate()
{
    if (std::fabs(playbackRate() - double(m_rate)) < 1e-6)
        return true;
    const gint64 now = position() * 100;
    reachedEnd();
    m_atEnd = false;
    const bool ok = gst_element_seek(m_pipeline.get(), double(m_rate), GST_FORMAT_TIME,
                                     GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
                                     now, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
    gst_element_get_state(m_pipeline.get(), nullptr, nullptr, kStateTimeout);
    return ok;
}

int32_t PlaybackEngine::run()
{
    if (!m_initialised)
        return kNotInitialised;
    if (m_state != EnginePaused && m_state != EngineStopped)
        return kWrongState;
    if (position() == duration())
        seek(0); // at the very end: start again
    if (m_rate != 1.0f)
        m_rate = std::clamp(m_rate, 0.5f, 2.0f);
    applyRate();
    if (gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return kRecordFailed;
    m_state = EngineRunning;
    return 0;
}

int32_t PlaybackEngine::pause()
{
    if (!m_initialised)
        return kNotInitialised;
    if (m_pipeline)
        setPipelineState(GST_STATE_PAUSED);
    m_state = EnginePaused;
    return 0;
}

int32_t PlaybackEngine::stop()
{
    if (!m_initialised)
        return kNotInitialised;
    if (m_state != EngineRunning && m_state != EnginePaused)
        return kWrongState;
    setPipelineState(GST_STATE_PAUSED); // keeps the position, as a stopped file graph does
    m_state = EngineStopped;
    return 0;
}

bool PlaybackEngine::reachedEnd()
{
    if (!m_pipeline)
        return false;
    GstHandle<GstBus> bus(gst_element_get_bus(m_pipeline.get()));
    while (GstMessage *message = gst_bus_pop_filtered(bus.get(), GST_MESSAGE_EOS)) {
        m_atEnd = true;
        gst_message_unref(message);
    }
    return m_atEnd;
}

int64_t PlaybackEngine::position()
{
    // At the end of the file the position is the duration, whatever the
    // last picture's time stamp was.
    if (reachedEnd())
        return duration();
    gint64 ns = 0;
    if (!m_pipeline || !gst_element_query_position(m_pipeline.get(), GST_FORMAT_TIME, &ns) || ns < 0)
        return 0;
    return ns / 100;
}

int64_t PlaybackEngine::duration()
{
    if (m_durationCache != 0)
        return m_durationCache;
    gint64 ns = 0;
    if (m_pipeline && gst_element_query_duration(m_pipeline.get(), GST_FORMAT_TIME, &ns) && ns > 0)
        m_durationCache = ns / 100;
    return m_durationCache;
}

int32_t PlaybackEngine::seek(int64_t position100ns)
{
    if (!m_pipeline || !m_graphBuilt)
        return kRecordFailed;
    const gint64 ns = std::clamp<int64_t>(position100ns, 0, duration()) * 100;
    const double rate = playbackRate();
    reachedEnd();
    m_atEnd = false; // a flushing seek leaves the end
    if (!gst_element_seek(m_pipeline.get(), rate, GST_FORMAT_TIME,
                          GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET, ns,
                          GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE))
        return kRecordFailed;
    gst_element_get_state(m_pipeline.get(), nullptr, nullptr, kStateTimeout); // wait for the picture
    return 0;
}

int32_t PlaybackEngine::setVolumeValue(int32_t value)
{
    if (!m_volume)
        return kRecordFailed; // no sound in this recording
    if (value <= -10000)
        g_object_set(m_volume, "mute", TRUE, nullptr);
    else
        g_object_set(m_volume, "mute", FALSE, "volume", std::pow(10.0, double(value) / 2000.0), nullptr);
    return 0;
}

IDecoderParams *PlaybackEngine::decoder(int channel)
{
    if (channel < 0 || channel > 1 || !m_decoders[size_t(channel)] || !m_decoders[size_t(channel)]->isValid())
        return nullptr;
    return m_decoders[size_t(channel)].get();
}

void PlaybackEngine::refreshStill()
{
    if (m_graphBuilt && m_state != EngineRunning)
        seek(position());
}

void PlaybackEngine::applyBrightness(int sliderPosition)
{
    const int32_t value = BrightnessValueForPosition(sliderPosition);
    for (int channel = 0; channel < 2; ++channel) {
        if (IDecoderParams *d = decoder(channel)) {
            d->SetParam(kParamBrightnessEnable, 1);
            d->SetParam(kParamBrightness, value);
        }
    }
    refreshStill();
}

int32_t PlaybackEngine::applyRearMirror(bool on)
{
    IDecoderParams *d = decoder(1);
    if (!d)
        return 0;
    d->SetParam(kParamMirrorEnable, 1);
    const int32_t result = d->SetParam(kParamMirror, on ? 1 : 0);
    refreshStill();
    return result;
}

void PlaybackEngine::fitAndRepaint()
{
    if (m_renderers[0] && m_windows[0])
        m_windows[0]->repaintVideo();
    if (m_mode == 2 && m_renderers[1] && m_windows[1])
        m_windows[1]->repaintVideo();
}

void PlaybackEngine::repaintFront()
{
    if (m_renderers[0] && m_windows[0])
        m_windows[0]->repaintVideo();
}

bool PlaybackEngine::GrabFrame(int channel, QImage &image)
{
    image = QImage();
    if (channel == 0 && !m_renderers[0])
        return false;
    if (channel == 1 && !(m_mode == 2 && m_renderers[1]))
        return false;
    if (channel < 0 || channel > 1)
        return false;
    const VideoFrame frame = m_frames[size_t(channel)].get();
    if (frame.isNull())
        return false;
    image = frame.toImage(); // at its native size
    return !image.isNull();
}

QStringList PlaybackEngine::elementNames() const
{
    return m_names;
}

// --- Player --------------------------------------------------------------

PlayerFront::PlayerFront()
{
    WriteComponentsFlag();
}

PlayerFront::~PlayerFront()
{
    close();
}

void PlayerFront::init(IVideoWindow *front, IVideoWindow *rear)
{
    m_mode = 2;
    m_front = front;
    m_rear = rear;
    if (!m_engine) {
        m_engine = std::make_unique<PlaybackEngine>(m_mode, m_front, m_rear);
        m_engine->setInitialised(true);
    }
}

bool PlayerFront::open(const QString &path)
{
    if (!m_front || path.isEmpty())
        return false;
    if (m_engine) {
        m_engine->stop();
        m_engine->seek(0);
        close();
    }
    m_engine = std::make_unique<PlaybackEngine>(m_mode, m_front, m_rear);
    m_engine->setInitialised(true);
    m_engine->setParserFlag(m_parserFlag);
    if (m_engine->build(path) == kLoadFailed) {
        close();
        return false;
    }
    return true;
}

void PlayerFront::close()
{
    m_engine.reset();
}

bool PlayerFront::seek(int64_t ms)
{
    if (!m_engine || !m_engine->pipeline())
        return true;
    return m_engine->seek(ms * 10000) >= 0;
}

bool PlayerFront::setRate(double rate)
{
    if (!m_engine)
        return false;
    const EngineState before = m_engine->state();
    m_engine->pause();
    m_engine->setRate(float(rate));
    if (before == EngineRunning)
        m_engine->run();
    return true;
}

bool PlayerFront::setVolume(int level)
{
    if (!m_engine)
        return false;
    int32_t value = VolumeValueForLevel(level);
    if (value == 0)
        value = -10000; // exactly 0 is sent as silence
    return m_engine->setVolumeValue(value) >= 0;
}

int64_t PlayerFront::durationMs()
{
    if (!m_engine)
        return 0;
    return m_engine->duration() / 10000;
}

} // namespace drivora
