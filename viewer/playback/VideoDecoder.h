#pragma once

#include "DecoderParams.h"
#include "GstHandle.h"

#include <initializer_list>

namespace drivora {

// A bin of elements linked in a row, with a "sink" ghost pad on the first and,
// when asked, a "src" ghost pad on the last. Empty when an element is missing
// or a link fails; takes over the elements either way.
GstHandle<GstElement> MakeChain(const char *name, std::initializer_list<GstElement *> elements,
                                bool sourcePad = true);

// The queue at the head of each branch: deep enough in time that the file can
// be read ahead while one branch waits for its first picture.
inline constexpr GstClockTime kBranchQueueTime = 5 * GST_SECOND;
GstElement *MakeBranchQueue();

// One video decoder instance: parses and decodes H.264 and adjusts the
// picture (brightness, left-right mirror).
class VideoDecoder final : public IDecoderParams {
public:
    explicit VideoDecoder(const char *name);
    GstElement *element() const { return m_bin.get(); }
    bool isValid() const { return bool(m_bin); }
    int32_t SetParam(int32_t id, int32_t value) override;
    int32_t brightness() const { return m_brightness; }
    bool mirrored() const { return m_mirrored; }

private:
    GstHandle<GstElement> m_bin; // a reference of our own, also while a pipeline holds it
    GstElement *m_balance = nullptr;
    GstElement *m_flip = nullptr;
    int32_t m_brightness = 0;
    bool m_mirrored = false;
};

} // namespace drivora
