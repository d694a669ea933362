#include "BusWatcher.h"

#include <QMetaObject>

#include <chrono>

namespace drivora {

BusWatcher::BusWatcher(GstElement *pipeline)
    : m_pipeline(pipeline), m_bus(gst_element_get_bus(pipeline))
{
    gst_bus_set_sync_handler(m_bus.get(), &BusWatcher::onMessage, this, nullptr);
}

BusWatcher::~BusWatcher()
{
    gst_bus_set_sync_handler(m_bus.get(), nullptr, nullptr, nullptr);
}

GstBusSyncReply BusWatcher::onMessage(GstBus *, GstMessage *message, gpointer self)
{
    // Everything is handled here and dropped: nothing piles up on the bus.
    GstHandle<GstMessage> owned(message);
    static_cast<BusWatcher *>(self)->handle(owned.get());
    return GST_BUS_DROP;
}

void BusWatcher::handle(GstMessage *message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ASYNC_DONE: {
        std::lock_guard lock(m_mutex);
        m_done = true;
        m_changed.notify_all();
        break;
    }
    case GST_MESSAGE_STATE_CHANGED:
        // A change that completes at once (no preroll) posts no ASYNC_DONE.
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(m_pipeline)) {
            GstState pending = GST_STATE_VOID_PENDING;
            gst_message_parse_state_changed(message, nullptr, nullptr, &pending);
            if (pending == GST_STATE_VOID_PENDING) {
                std::lock_guard lock(m_mutex);
                m_done = true;
                m_changed.notify_all();
            }
        }
        break;
    case GST_MESSAGE_ERROR: {
        if (m_ignored && m_ignored(GST_MESSAGE_SRC(message)))
            break;
        GError *error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        const QString text = QString::fromUtf8(error ? error->message : "unknown error");
        g_clear_error(&error);
        {
            std::lock_guard lock(m_mutex);
            m_failed = true;
            m_error = text;
            m_changed.notify_all();
        }
        QMetaObject::invokeMethod(this, [this, text] { emit errorOccurred(text); }, Qt::QueuedConnection);
        break;
    }
    case GST_MESSAGE_EOS: {
        {
            std::lock_guard lock(m_mutex);
            m_atEnd = true;
        }
        QMetaObject::invokeMethod(this, [this] { emit endOfStream(); }, Qt::QueuedConnection);
        break;
    }
    default:
        break;
    }
}

BusWatcher::Answer BusWatcher::waitForAnswer(int guardMs)
{
    std::unique_lock lock(m_mutex);
    const bool answered = m_changed.wait_for(lock, std::chrono::milliseconds(guardMs),
                                             [this] { return m_done || m_failed; });
    if (!answered)
        return Answer::NoAnswer;
    return m_failed ? Answer::Failed : Answer::Done;
}

void BusWatcher::expectNewAnswer()
{
    std::lock_guard lock(m_mutex);
    m_done = false;
}

bool BusWatcher::atEnd() const
{
    std::lock_guard lock(m_mutex);
    return m_atEnd;
}

void BusWatcher::clearEnd()
{
    std::lock_guard lock(m_mutex);
    m_atEnd = false;
}

QString BusWatcher::lastError() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

} // namespace drivora
