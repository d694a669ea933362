#pragma once

#include <gst/gst.h>

#include <utility>

namespace drivora {

// Owns one reference to a GStreamer object and drops it when done.
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
            gst_object_unref(m_object);
        m_object = object;
    }
    T *get() const { return m_object; }
    T *release() { return std::exchange(m_object, nullptr); }
    explicit operator bool() const { return m_object != nullptr; }

private:
    T *m_object = nullptr;
};

} // namespace drivora
