#pragma once

#include <gst/gst.h>

#include <utility>

namespace drivora {

// How each kind of GStreamer reference is dropped.
inline void DropReference(GstObject *o) { gst_object_unref(o); }
inline void DropReference(GstElement *o) { gst_object_unref(o); }
inline void DropReference(GstBus *o) { gst_object_unref(o); }
inline void DropReference(GstPad *o) { gst_object_unref(o); }
inline void DropReference(GstCaps *c) { gst_caps_unref(c); }
inline void DropReference(GstSample *s) { gst_sample_unref(s); }
inline void DropReference(GstQuery *q) { gst_query_unref(q); }
inline void DropReference(GstMessage *m) { gst_message_unref(m); }
inline void DropReference(GstEvent *e) { gst_event_unref(e); }
inline void DropReference(GstIterator *i) { gst_iterator_free(i); }

// Owns one reference to a GStreamer object or mini-object and drops it when
// done.
template <typename T> class GstHandle {
public:
    GstHandle() = default;
    explicit GstHandle(T *object) : m_object(object) {} // takes the reference
    ~GstHandle() { reset(); }
    GstHandle(const GstHandle &) = delete;
    GstHandle &operator=(const GstHandle &) = delete;
    GstHandle(GstHandle &&other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    GstHandle &operator=(GstHandle &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_object = std::exchange(other.m_object, nullptr);
        }
        return *this;
    }
    void reset(T *object = nullptr)
    {
        if (m_object)
            DropReference(m_object);
        m_object = object;
    }
    T *get() const { return m_object; }
    T *release() { return std::exchange(m_object, nullptr); }
    explicit operator bool() const { return m_object != nullptr; }

private:
    T *m_object = nullptr;
};

// A newly made element: takes its floating reference, so that it is dropped
// unless something (a bin) takes it over through release().
inline GstHandle<GstElement> MakeElement(const char *factory, const char *name = nullptr)
{
    GstElement *e = gst_element_factory_make(factory, name);
    return GstHandle<GstElement>(e ? GST_ELEMENT(gst_object_ref_sink(e)) : nullptr);
}

} // namespace drivora
