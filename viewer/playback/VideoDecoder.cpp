#include "VideoDecoder.h"

#include "catalogue/StreamRecordSource.h"

#include <gst/base/gstbasetransform.h>

#include <algorithm>
#include <vector>

namespace drivora {

GstHandle<GstElement> MakeChain(const char *name, std::initializer_list<GstElement *> elements, bool sourcePad)
{
    // Take every element first, so that none leaks whatever happens below.
    std::vector<GstHandle<GstElement>> owned;
    bool complete = true;
    for (GstElement *e : elements) {
        if (e)
            owned.emplace_back(GST_ELEMENT(gst_object_ref_sink(e)));
        else
            complete = false;
    }
    if (!complete)
        return {};
    GstHandle<GstElement> bin(GST_ELEMENT(gst_object_ref_sink(gst_bin_new(name))));
    for (const GstHandle<GstElement> &e : owned)
        if (!gst_bin_add(GST_BIN(bin.get()), GST_ELEMENT(gst_object_ref(e.get()))))
            return {};
    for (size_t i = 1; i < owned.size(); ++i)
        if (!gst_element_link(owned[i - 1].get(), owned[i].get()))
            return {};
    GstHandle<GstPad> sink(gst_element_get_static_pad(owned.front().get(), "sink"));
    if (!sink || !gst_element_add_pad(bin.get(), gst_ghost_pad_new("sink", sink.get())))
        return {};
    if (sourcePad) {
        GstHandle<GstPad> src(gst_element_get_static_pad(owned.back().get(), "src"));
        if (!src || !gst_element_add_pad(bin.get(), gst_ghost_pad_new("src", src.get())))
            return {};
    }
    return bin;
}

GstElement *MakeBranchQueue()
{
    GstElement *queue = gst_element_factory_make("queue", nullptr);
    if (queue)
        g_object_set(queue, "max-size-buffers", 0u, "max-size-bytes", 0u, "max-size-time", guint64(kBranchQueueTime),
                     nullptr);
    return queue;
}

VideoDecoder::VideoDecoder(const char *name)
{
    GstElement *decoder = gst_element_factory_make("avdec_h264", nullptr);
    // Damaged pictures are skipped, never a reason to stop the whole file.
    if (decoder && g_object_class_find_property(G_OBJECT_GET_CLASS(decoder), "max-errors"))
        g_object_set(decoder, "max-errors", -1, nullptr);
    GstElement *balance = gst_element_factory_make("videobalance", nullptr);
    GstElement *flip = gst_element_factory_make("videoflip", nullptr);
    m_bin = MakeChain(name, {MakeBranchQueue(), gst_element_factory_make("h264parse", nullptr),
                             decoder, balance, flip});
    if (m_bin) {
        m_balance = balance;
        m_flip = flip;
        // Unmirrored pictures pass through untouched: the flip element
        // otherwise copies every picture until its direction is first set.
        gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(m_flip), TRUE);
    }
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

} // namespace drivora
