#pragma once

#include "VideoFrame.h"

#include <QSize>

#include <mutex>

namespace drivora {

// The latest picture of one channel. The media pipeline writes it from its
// streaming thread; the window and the frame grabber read it.
class FrameSlot {
public:
    void set(const VideoFrame &frame)
    {
        std::lock_guard lock(m_mutex);
        m_frame = frame;
        ++m_count;
    }
    VideoFrame get() const
    {
        std::lock_guard lock(m_mutex);
        return m_frame;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_frame = VideoFrame();
    }
    quint64 count() const
    {
        std::lock_guard lock(m_mutex);
        return m_count;
    }

private:
    mutable std::mutex m_mutex;
    VideoFrame m_frame;
    quint64 m_count = 0;
};

// A window that shows one channel: the engine tells it when a new picture is
// in its slot (from the streaming thread) and asks it to repaint.
class IVideoWindow {
public:
    virtual ~IVideoWindow() = default;
    virtual void attachFrames(const FrameSlot *slot) = 0;
    virtual void frameArrived() = 0; // any thread
    virtual void repaintVideo() = 0; // user-interface thread
    virtual QSize clientSize() const = 0;
};

} // namespace drivora
