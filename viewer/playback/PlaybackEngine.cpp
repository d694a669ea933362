#include "PlaybackEngine.h"

#include "app/Transport.h"

#include <QSettings>

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <cmath>
#include <cstdlib>

namespace drivora {
namespace {

// Only bounds a pipeline that never answers at all (an element that hangs);
// every ordinary answer, good or bad, comes from the pipeline itself.
constexpr int kUnansweredGuardMs = 5000;
constexpr GstClockTime kSeekGuard = 5 * GST_SECOND;

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
    if (info.fps_n > 0 && info.fps_d > 0)
        p.frameNs = int64_t(gst_util_uint64_scale(GST_SECOND, guint64(info.fps_d), guint64(info.fps_n)));
    else if (GST_BUFFER_DURATION_IS_VALID(buffer))
        p.frameNs = int64_t(GST_BUFFER_DURATION(buffer));
    const GstSegment *segment = gst_sample_get_segment(sample);
    if (segment && GST_BUFFER_PTS_IS_VALID(buffer) && GST_BUFFER_DURATION_IS_VALID(buffer)) {
        const guint64 end = gst_segment_to_stream_time(segment, GST_FORMAT_TIME,
                                                       GST_BUFFER_PTS(buffer) + GST_BUFFER_DURATION(buffer));
        if (end != GST_CLOCK_TIME_NONE)
            p.endNs = int64_t(end);
    }
    return VideoFrame(p, [frame] {
        gst_video_frame_unmap(frame);
        delete frame;
    });
}

struct RendererSlot {
    FrameSlot *frames;
    IVideoWindow *window;
};

// Puts a renderer's picture in its slot and tells the window.
GstFlowReturn deliver(GstSample *pulled, gpointer data)
{
    GstHandle<GstSample> sample(pulled);
    auto *slot = static_cast<RendererSlot *>(data);
    if (!sample)
        return GST_FLOW_EOS;
    slot->frames->set(frameOf(sample.get()));
    if (slot->window)
        slot->window->frameArrived();
    return GST_FLOW_OK;
}

GstFlowReturn onSample(GstAppSink *sink, gpointer data)
{
    return deliver(gst_app_sink_pull_sample(sink), data);
}

GstFlowReturn onPreroll(GstAppSink *sink, gpointer data)
{
    return deliver(gst_app_sink_pull_preroll(sink), data); // the still picture when paused
}

bool hasCoding(GstPad *pad, const char *coding)
{
    GstHandle<GstCaps> caps(gst_pad_get_current_caps(pad));
    if (!caps)
        caps.reset(gst_pad_query_caps(pad, nullptr));
    if (!caps || gst_caps_is_empty(caps.get()) || gst_caps_is_any(caps.get()))
        return false;
    return gst_structure_has_name(gst_caps_get_structure(caps.get(), 0), coding);
}

} // namespace

bool InitialiseMedia()
{
    static bool started = [] {
        GError *error = nullptr;
        const bool ok = gst_init_check(nullptr, nullptr, &error);
        g_clear_error(&error);
        return ok;
    }();
    return started;
}

QString ChosenAudioSink()
{
    static QString chosen = [] {
        InitialiseMedia();
        if (const char *forced = std::getenv("DRIVORA_AUDIO_SINK"); forced && *forced)
            return QString::fromUtf8(forced);
        // A sink that opens (reaches READY) means there is a sound output.
        for (const char *candidate : {"pulsesink", "alsasink"}) {
            GstHandle<GstElement> sink = MakeElement(candidate);
            if (!sink)
                continue;
            const bool opens = gst_element_set_state(sink.get(), GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
            gst_element_set_state(sink.get(), GST_STATE_NULL);
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
    return BrightnessValueForSlider(sliderPosition);
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

// --- Building ------------------------------------------------------------

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

bool PlaybackEngine::addElement(GstHandle<GstElement> element)
{
    if (!element)
        return false;
    m_names << QString::fromUtf8(GST_ELEMENT_NAME(element.get()));
    return gst_bin_add(GST_BIN(m_pipeline.get()), element.release()); // the pipeline takes our reference
}

bool PlaybackEngine::addElement(GstElement *borrowed)
{
    return borrowed && addElement(GstHandle<GstElement>(GST_ELEMENT(gst_object_ref(borrowed))));
}

int32_t PlaybackEngine::build(const QString &path)
{
    if (m_graphBuilt || m_pipeline)
        teardown();
    m_path = path;
    m_pipeline.reset(GST_ELEMENT(gst_object_ref_sink(gst_pipeline_new("graph"))));
    if (!m_pipeline)
        return kFilterMissing;
    m_watcher = std::make_unique<BusWatcher>(m_pipeline.get());
    // A branch given up may still complain (a parser that found nothing in
    // its stream): that is no failure of the file.
    m_watcher->setIgnoredErrors([this](GstObject *source) { return isInEndedBranch(source); });

    m_parser = std::make_unique<StreamParser>();
    if (!m_parser->isValid() || !addElement(m_parser->element()))
        return kFilterMissing;
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
    {
        std::lock_guard lock(m_branchMutex);
        m_opening = true;
        m_firstRead = GST_CLOCK_TIME_NONE;
    }
    g_signal_connect(m_parser->demuxer(), "pad-added", G_CALLBACK(&PlaybackEngine::onPadAdded), this);
    g_signal_connect(m_parser->demuxer(), "no-more-pads", G_CALLBACK(&PlaybackEngine::onNoMorePads), this);
    m_watcher->expectNewAnswer();
    const bool prerolled = gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE &&
                           m_watcher->waitForAnswer(kUnansweredGuardMs) == BusWatcher::Answer::Done;
    bool picture = false, sound = false;
    {
        std::lock_guard lock(m_branchMutex);
        m_opening = false;
        picture = (m_branches[FrontBranch].output && !m_frames[0].get().isNull()) ||
                  (m_branches[RearBranch].output && !m_frames[1].get().isNull());
        sound = m_branches[SoundBranch].output && !m_branches[SoundBranch].ended;
    }
    // Pictures that cannot be decoded at all still leave the sound and the
    // telemetry of the recording to play.
    m_noPictures = !picture;
    if (!prerolled || (!picture && !sound)) {
        teardown();
        m_state = EngineNoGraph;
        return kLoadFailed; // nothing of the file could be shown after all
    }
    removeEndedBranches();
    m_state = EngineStopped;
    m_graphBuilt = true;
    m_durationCache = 0;
    duration();
    return 0;
}

// Branches given up leave the pipeline once the first picture is there, so
// that seeks and the end of the file concern only what plays. The parser's
// pin that fed one stays, unlinked.
void PlaybackEngine::removeEndedBranches()
{
    for (int id = 0; id < BranchCount; ++id) {
        std::array<GstElement *, 3> members{};
        {
            std::lock_guard lock(m_branchMutex);
            Branch &b = m_branches[size_t(id)];
            if (!b.ended || !b.entry)
                continue;
            members = b.members;
            GstHandle<GstPad> input(gst_element_get_static_pad(b.entry, "sink"));
            GstHandle<GstPad> feeder(input ? gst_pad_get_peer(input.get()) : nullptr);
            if (feeder)
                gst_pad_unlink(feeder.get(), input.get());
            b.entry = b.sink = nullptr;
            b.taken = nullptr;
            b.members = {};
        }
        // From the sink up: a branch thread waiting in its sink is freed first.
        for (auto it = members.rbegin(); it != members.rend(); ++it) {
            GstElement *member = *it;
            if (!member)
                continue;
            gst_element_set_locked_state(member, TRUE);
            gst_element_set_state(member, GST_STATE_NULL); // waits for its streaming thread
            gst_bin_remove(GST_BIN(m_pipeline.get()), member);
        }
        if (id == SoundBranch)
            m_volume = m_audioDecoder = m_audioRenderer = nullptr;
        else
            m_renderers[size_t(id)] = nullptr;
    }
}

int32_t PlaybackEngine::buildGraph(int videoStreams)
{
    const bool two = videoStreams == 2;
    const int audio = CountAudioPins(*m_parser);

    if (audio > 0) {
        if (audio < 1000) {
            GstHandle<GstElement> decoder = MakeChain(two ? "CoreAAC Decoder" : "COREAAC AUDIO",
                                                      {MakeBranchQueue(), gst_element_factory_make("aacparse", nullptr),
                                                       gst_element_factory_make("avdec_aac", nullptr)});
            m_audioDecoder = decoder.get();
            if (!addElement(std::move(decoder)))
                return kFilterMissing;
        }
        GstElement *volume = gst_element_factory_make("volume", "volume");
        GstElement *output = gst_element_factory_make(ChosenAudioSink().toUtf8().constData(), nullptr);
        GstHandle<GstElement> renderer =
            MakeChain(kAudioRendererName,
                      {m_audioDecoder ? gst_element_factory_make("queue", nullptr) : MakeBranchQueue(),
                       gst_element_factory_make("audioconvert", nullptr),
                       gst_element_factory_make("audioresample", nullptr), volume, output},
                      false);
        m_audioRenderer = renderer.get();
        if (!addElement(std::move(renderer)))
            return kFilterMissing;
        m_volume = volume;
        if (m_audioDecoder && !gst_element_link(m_audioDecoder, m_audioRenderer))
            return kFilterMissing;
        Branch &b = m_branches[SoundBranch];
        b.entry = m_audioDecoder ? m_audioDecoder : m_audioRenderer;
        b.sink = output;
        b.members = {m_audioDecoder, m_audioRenderer, nullptr};
        b.pin = QStringLiteral("Audio 1");
        b.coding = m_audioDecoder ? "audio/mpeg" : "audio/x-raw";
    }

    const int channels = two ? 2 : 1;
    std::array<GstElement *, 2> converters{};
    for (int i = 0; i < channels; ++i) {
        const QByteArray name = "FFDShow Decoder" + QByteArray::number(i + 1);
        m_decoders[size_t(i)] = std::make_unique<VideoDecoder>(name.constData());
        if (!m_decoders[size_t(i)]->isValid() || !addElement(m_decoders[size_t(i)]->element()))
            return kFilterMissing;
    }
    for (int i = 0; i < channels; ++i) {
        const QByteArray name = "Color Space Convertor " + QByteArray::number(i + 1);
        GstHandle<GstElement> converter = MakeElement("videoconvert", name.constData());
        converters[size_t(i)] = converter.get();
        if (!addElement(std::move(converter)))
            return kFilterMissing;
    }
    for (int i = 0; i < channels; ++i) {
        const QByteArray name = two ? "Mixing Renderer9-" + QByteArray::number(i + 1) : QByteArray("Mixing Renderer9");
        GstHandle<GstElement> made = MakeElement("appsink", name.constData());
        GstElement *sink = made.get();
        if (!addElement(std::move(made)))
            return kFilterMissing;
        // Pictures stay in the decoder's 4:2:0 form; they become RGB only
        // when shown, at the size shown.
        GstHandle<GstCaps> caps(gst_caps_from_string("video/x-raw,format=I420"));
        // Late pictures (fast rates on a slow machine) are dropped, and the
        // decoder told to skip, rather than the picture falling behind.
        g_object_set(sink, "caps", caps.get(), "sync", TRUE, "max-buffers", 2, "drop", FALSE, "enable-last-sample",
                     FALSE, "qos", TRUE, "max-lateness", gint64(40 * GST_MSECOND), nullptr);
        GstAppSinkCallbacks callbacks{};
        callbacks.new_sample = &onSample;
        callbacks.new_preroll = &onPreroll;
        auto *slot = new RendererSlot{&m_frames[size_t(i)], m_windows[size_t(i)]};
        gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, slot,
                                   [](gpointer d) { delete static_cast<RendererSlot *>(d); });
        m_renderers[size_t(i)] = sink;
        if (!gst_element_link_many(m_decoders[size_t(i)]->element(), converters[size_t(i)], sink, nullptr))
            return kFilterMissing;
        Branch &b = m_branches[size_t(FrontBranch + i)];
        b.entry = m_decoders[size_t(i)]->element();
        b.sink = sink;
        b.members = {b.entry, converters[size_t(i)], sink};
        b.pin = QStringLiteral("Video %1").arg(i + 1);
        b.coding = "video/x-h264";
    }
    for (int id = 0; id < BranchCount; ++id)
        if (m_branches[size_t(id)].entry)
            watchBranch(BranchId(id));
    return 0;
}

// Every branch is watched while the file is opened: what goes in, what its
// decoder takes, and whether anything comes out.
void PlaybackEngine::watchBranch(BranchId id)
{
    Branch &b = m_branches[size_t(id)];
    GstHandle<GstPad> input(gst_element_get_static_pad(b.entry, "sink"));
    GstHandle<GstPad> output(gst_element_get_static_pad(b.sink, "sink"));
    // The branch's queue is the first element of its entry bin.
    GstHandle<GstPad> taken;
    if (GST_IS_BIN(b.entry)) {
        GstHandle<GstPad> ghost(gst_element_get_static_pad(b.entry, "sink"));
        GstHandle<GstPad> inner(ghost ? gst_ghost_pad_get_target(GST_GHOST_PAD(ghost.get())) : nullptr);
        GstHandle<GstObject> queue(inner ? gst_pad_get_parent(inner.get()) : nullptr);
        if (queue)
            taken.reset(gst_element_get_static_pad(GST_ELEMENT(queue.get()), "src"));
    }
    if (!input || !output || !taken)
        return;
    b.taken = taken.get();
    const auto data = reinterpret_cast<gpointer>(this);
    gst_pad_add_probe(input.get(), GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      &PlaybackEngine::onBranchInput, data, nullptr);
    gst_pad_add_probe(taken.get(), GST_PAD_PROBE_TYPE_BUFFER, &PlaybackEngine::onBranchDecoding, data, nullptr);
    gst_pad_add_probe(output.get(), GST_PAD_PROBE_TYPE_BUFFER, &PlaybackEngine::onBranchOutput, data, nullptr);
}

void PlaybackEngine::onPadAdded(GstElement *, GstPad *pad, gpointer data)
{
    auto *self = static_cast<PlaybackEngine *>(data);
    const gchar *name = GST_PAD_NAME(pad);
    BranchId id = BranchCount;
    QString pin;
    if (g_str_has_prefix(name, "video_")) {
        const int index = std::atoi(name + 6);
        if (index < 2)
            id = BranchId(FrontBranch + index);
        pin = QStringLiteral("Video %1").arg(index + 1);
    } else if (g_str_has_prefix(name, "audio_")) {
        const int index = std::atoi(name + 6);
        if (index == 0)
            id = SoundBranch;
        pin = QStringLiteral("Audio %1").arg(index + 1);
    }
    if (pin.isEmpty())
        return; // the telemetry stream is read by the record interface
    // The stream parser's pin, named as the player expects.
    GstPad *ghost = gst_ghost_pad_new(pin.toUtf8().constData(), pad); // floating: the parser takes it
    if (!ghost)
        return;
    gst_pad_set_active(ghost, TRUE);
    if (!gst_element_add_pad(self->m_parser->element(), ghost))
        return;
    if (id == BranchCount)
        return;

    std::lock_guard lock(self->m_branchMutex);
    Branch &b = self->m_branches[size_t(id)];
    // Only a stream in the coding the branch decodes is linked; anything else
    // stays unlinked and its branch is ended when all pads are known.
    if (!b.entry || b.linked || !hasCoding(pad, b.coding))
        return;
    GstHandle<GstPad> sink(gst_element_get_static_pad(b.entry, "sink"));
    // The coding is checked above; the caps themselves may carry a picture
    // size of 0 that the branch puts right (see onBranchInput).
    b.linked = sink && !gst_pad_is_linked(sink.get()) &&
               gst_pad_link_full(ghost, sink.get(), GST_PAD_LINK_CHECK_HIERARCHY) == GST_PAD_LINK_OK;
}

void PlaybackEngine::onNoMorePads(GstElement *, gpointer data)
{
    auto *self = static_cast<PlaybackEngine *>(data);
    std::array<bool, BranchCount> unlinked{};
    {
        std::lock_guard lock(self->m_branchMutex);
        for (int id = 0; id < BranchCount; ++id) {
            const Branch &b = self->m_branches[size_t(id)];
            unlinked[size_t(id)] = b.entry && !b.linked && !b.ended;
        }
    }
    for (int id = 0; id < BranchCount; ++id)
        if (unlinked[size_t(id)])
            self->endStarvedBranch(BranchId(id));
}

PlaybackEngine::BranchId PlaybackEngine::branchOf(GstPad *pad, GstElement *Branch::*end) const
{
    GstHandle<GstObject> parent(gst_pad_get_parent(pad));
    for (int id = 0; id < BranchCount; ++id)
        if (parent && m_branches[size_t(id)].*end == GST_ELEMENT(parent.get()))
            return BranchId(id);
    return BranchCount;
}

bool PlaybackEngine::isInEndedBranch(GstObject *object) const
{
    std::lock_guard lock(m_branchMutex);
    for (const Branch &b : m_branches) {
        if (!b.ended)
            continue;
        for (GstElement *member : b.members)
            if (member && (object == GST_OBJECT(member) || gst_object_has_as_ancestor(object, GST_OBJECT(member))))
                return true;
    }
    return false;
}

PlaybackEngine::BranchId PlaybackEngine::branchOfTaken(GstPad *pad) const
{
    for (int id = 0; id < BranchCount; ++id)
        if (m_branches[size_t(id)].taken == pad)
            return BranchId(id);
    return BranchCount;
}

// The parser's streaming thread: data offered to a branch.
GstPadProbeReturn PlaybackEngine::onBranchInput(GstPad *pad, GstPadProbeInfo *info, gpointer data)
{
    auto *self = static_cast<PlaybackEngine *>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        // The picture size in a stream header may be anything (0, 65535); the
        // decoder reads the true one from the stream itself.
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps *caps = nullptr;
            gst_event_parse_caps(event, &caps);
            if (caps && !gst_caps_is_empty(caps) &&
                gst_structure_has_name(gst_caps_get_structure(caps, 0), "video/x-h264")) {
                GstHandle<GstCaps> trusted(gst_caps_copy(caps));
                gst_structure_remove_fields(gst_caps_get_structure(trusted.get(), 0), "width", "height", nullptr);
                GST_PAD_PROBE_INFO_DATA(info) = gst_event_new_caps(trusted.get());
                gst_event_unref(event);
            }
        }
        return GST_PAD_PROBE_OK;
    }
    const GstClockTime read = GST_BUFFER_DTS_OR_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
    std::array<bool, BranchCount> starved{};
    {
        std::lock_guard lock(self->m_branchMutex);
        const BranchId id = self->branchOf(pad, &Branch::entry);
        if (id == BranchCount)
            return GST_PAD_PROBE_OK;
        Branch &b = self->m_branches[size_t(id)];
        if (b.ended)
            return GST_PAD_PROBE_DROP; // a branch given up takes no more data
        b.fed = true;
        if (!self->m_opening || !GST_CLOCK_TIME_IS_VALID(read))
            return GST_PAD_PROBE_OK;
        if (!GST_CLOCK_TIME_IS_VALID(self->m_firstRead) || read < self->m_firstRead)
            self->m_firstRead = read;
        // The file has been read this far, and a linked branch got nothing
        // of it: its stream has no data in the file.
        if (read - self->m_firstRead >= kSilentBranchLimit)
            for (int other = 0; other < BranchCount; ++other) {
                const Branch &o = self->m_branches[size_t(other)];
                starved[size_t(other)] = o.entry && !o.ended && !o.fed;
            }
    }
    for (int other = 0; other < BranchCount; ++other)
        if (starved[size_t(other)])
            self->endStarvedBranch(BranchId(other));
    return GST_PAD_PROBE_OK;
}

// A branch's own streaming thread: data its decoder takes.
GstPadProbeReturn PlaybackEngine::onBranchDecoding(GstPad *pad, GstPadProbeInfo *info, gpointer data)
{
    auto *self = static_cast<PlaybackEngine *>(data);
    const GstClockTime taken = GST_BUFFER_DTS_OR_PTS(GST_PAD_PROBE_INFO_BUFFER(info));
    GstElement *sink = nullptr;
    {
        std::lock_guard lock(self->m_branchMutex);
        const BranchId id = self->branchOfTaken(pad);
        if (id == BranchCount)
            return GST_PAD_PROBE_OK;
        Branch &b = self->m_branches[size_t(id)];
        if (b.ended)
            return GST_PAD_PROBE_DROP;
        if (!self->m_opening || b.output || !GST_CLOCK_TIME_IS_VALID(taken))
            return GST_PAD_PROBE_OK;
        if (!GST_CLOCK_TIME_IS_VALID(b.firstTaken) || taken < b.firstTaken)
            b.firstTaken = taken;
        // The decoder has had this much of its stream and made nothing of
        // it: the stream does not decode.
        if (taken - b.firstTaken < kSilentBranchLimit)
            return GST_PAD_PROBE_OK;
        b.ended = true;
        sink = b.sink;
    }
    finishBranch(sink);
    return GST_PAD_PROBE_DROP;
}

GstPadProbeReturn PlaybackEngine::onBranchOutput(GstPad *pad, GstPadProbeInfo *, gpointer data)
{
    auto *self = static_cast<PlaybackEngine *>(data);
    std::lock_guard lock(self->m_branchMutex);
    const BranchId id = self->branchOf(pad, &Branch::sink);
    if (id != BranchCount)
        self->m_branches[size_t(id)].output = true;
    return GST_PAD_PROBE_REMOVE; // the first buffer is all it needs to know
}

// Gives up a branch that gets no data (its stream is missing or not in a
// coding it decodes), from the parser's streaming thread, the only one that
// feeds it: its sink is told that the stream has ended, so the pipeline does
// not wait for its first picture, and it takes no part when the pipeline waits
// for pictures again after a seek. The end of the file still reaches it.
void PlaybackEngine::endStarvedBranch(BranchId id)
{
    GstElement *entry = nullptr;
    {
        std::lock_guard lock(m_branchMutex);
        Branch &b = m_branches[size_t(id)];
        if (b.ended || !b.entry)
            return;
        b.ended = true;
        entry = b.entry;
    }
    // Into the branch's queue, which passes it on from its own thread: the
    // parser's thread must never wait on a sink. Its decoder has had no data,
    // so it passes the end on too.
    GstHandle<GstPad> input(gst_element_get_static_pad(entry, "sink"));
    if (input)
        gst_pad_send_event(input.get(), gst_event_new_eos());
}

// The end of the stream goes straight to the branch's sink, past its parser
// and decoder (a decoder that had data but made no picture would swallow it):
// the sink then stops waiting for its first picture. Called from the branch's
// own thread, the only one that pushes into the sink, and the one that waits
// there until playing starts.
void PlaybackEngine::finishBranch(GstElement *sink)
{
    GstHandle<GstPad> input(sink ? gst_element_get_static_pad(sink, "sink") : nullptr);
    if (input)
        gst_pad_send_event(input.get(), gst_event_new_eos());
}

QStringList PlaybackEngine::endedBranches() const
{
    std::lock_guard lock(m_branchMutex);
    QStringList ended;
    for (const Branch &b : m_branches)
        if (b.ended)
            ended << b.pin;
    return ended;
}

void PlaybackEngine::teardown()
{
    if (m_pipeline) {
        gst_element_set_state(m_pipeline.get(), GST_STATE_NULL); // joins the streaming threads
        if (m_parser && m_parser->demuxer())
            g_signal_handlers_disconnect_by_data(m_parser->demuxer(), this);
    }
    for (FrameSlot &f : m_frames)
        f.clear();
    m_decoders = {};
    m_renderers = {};
    m_audioDecoder = m_audioRenderer = m_volume = nullptr;
    m_parser.reset();
    m_watcher.reset();
    m_pipeline.reset();
    m_names.clear();
    {
        std::lock_guard lock(m_branchMutex);
        m_branches = {};
        m_opening = false;
    }
    m_graphBuilt = false;
    if (m_state != EngineNoGraph)
        m_state = EngineStopped;
}

// --- Transport -----------------------------------------------------------

bool PlaybackEngine::waitForPipeline()
{
    return gst_element_get_state(m_pipeline.get(), nullptr, nullptr, kSeekGuard) != GST_STATE_CHANGE_FAILURE;
}

double PlaybackEngine::playbackRate() const
{
    if (!m_pipeline)
        return 1.0;
    GstHandle<GstQuery> query(gst_query_new_segment(GST_FORMAT_TIME));
    double rate = 1.0;
    if (gst_element_query(m_pipeline.get(), query.get()))
        gst_query_parse_segment(query.get(), &rate, nullptr, nullptr, nullptr);
    return rate;
}

bool PlaybackEngine::applyRate()
{
    if (std::fabs(playbackRate() - double(m_rate)) < 1e-6)
        return true;
    const gint64 now = position() * 100;
    const bool ok = gst_element_seek(m_pipeline.get(), double(m_rate), GST_FORMAT_TIME,
                                     GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET,
                                     now, GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE);
    if (ok)
        m_watcher->clearEnd(); // a flushing seek leaves the end
    waitForPipeline();
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
    m_rate = std::clamp(m_rate, kSlowestRate, kFastestRate);
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
    if (m_pipeline && gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE)
        waitForPipeline();
    m_state = EnginePaused;
    return 0;
}

int32_t PlaybackEngine::stop()
{
    if (!m_initialised)
        return kNotInitialised;
    if (m_state != EngineRunning && m_state != EnginePaused)
        return kWrongState;
    // Keeps the position, as a stopped file graph does.
    if (m_pipeline && gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE)
        waitForPipeline();
    m_state = EngineStopped;
    return 0;
}

int64_t PlaybackEngine::position() const
{
    if (!m_pipeline)
        return 0;
    // At the end of the file the position is the duration, whatever the
    // last picture's time stamp was.
    if (m_watcher && m_watcher->atEnd() && m_durationCache > 0)
        return m_durationCache;
    gint64 ns = 0;
    if (!gst_element_query_position(m_pipeline.get(), GST_FORMAT_TIME, &ns) || ns < 0)
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
    if (!gst_element_seek(m_pipeline.get(), playbackRate(), GST_FORMAT_TIME,
                          GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), GST_SEEK_TYPE_SET, ns,
                          GST_SEEK_TYPE_NONE, GST_CLOCK_TIME_NONE))
        return kRecordFailed;
    m_watcher->clearEnd(); // a flushing seek leaves the end
    waitForPipeline();     // the picture at the new position
    return 0;
}

int32_t PlaybackEngine::stepFrame(int direction)
{
    if (!m_pipeline || !m_graphBuilt)
        return kRecordFailed;
    if (m_state == EngineRunning)
        pause();
    const int channel = m_renderers[0] ? 0 : 1;
    const VideoFrame shown = m_frames[size_t(channel)].get();
    const int64_t frame = shown.frameNs();
    if (frame <= 0)
        return kRecordFailed;
    // Where the picture on screen starts; from the position where that
    // picture is not the one there (a seek past the last picture shows none).
    const int64_t now = position() * 100;
    int64_t at = shown.endNs() - frame;
    const bool stale = shown.endNs() < 0 || now < at - frame || now > at + 2 * frame;
    if (stale)
        at = now - now % frame;
    // A quarter of a picture into the one wanted: an accurate seek there
    // shows exactly that one (the one before ends before it).
    const int64_t lastStart = std::max<int64_t>(duration() * 100 - frame, 0);
    const int64_t target = std::clamp<int64_t>(at + (direction > 0 ? frame : -frame), 0, lastStart);
    if (!stale && std::llabs(target - at) < frame / 2)
        return 0; // at the first or the last picture already
    return seek((target + frame / 4) / 100);
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

// --- Pictures ------------------------------------------------------------

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
    if (channel < 0 || channel > 1)
        return false;
    if (channel == 0 && !m_renderers[0])
        return false;
    if (channel == 1 && !(m_mode == 2 && m_renderers[1]))
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

} // namespace drivora
