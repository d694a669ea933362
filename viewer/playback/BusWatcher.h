#pragma once

#include "GstHandle.h"

#include <QObject>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace drivora {

// Watches a pipeline's bus from the threads that post to it. The end of the
// stream and errors become signals on the thread that made the watcher; a
// caller can wait for the pipeline's answer to a state change (done, or an
// error) without guessing how long it takes.
class BusWatcher : public QObject {
    Q_OBJECT
public:
    explicit BusWatcher(GstElement *pipeline);
    ~BusWatcher() override;

    enum class Answer { Done, Failed, NoAnswer };
    // Waits until the pipeline has finished its state change (asynchronous
    // or not) or reports an error. `guardMs` only bounds a pipeline that never
    // answers at all.
    Answer waitForAnswer(int guardMs);
    // Forgets answers so far, before a new state change or seek.
    void expectNewAnswer();

    // Errors from elements for which this answers true are not failures (a
    // part of the pipeline that was given up). Called on streaming threads.
    void setIgnoredErrors(std::function<bool(GstObject *source)> ignored) { m_ignored = std::move(ignored); }

    bool atEnd() const;    // the end of the stream was reached
    void clearEnd();       // after a flushing seek
    QString lastError() const;

signals:
    void endOfStream();
    void errorOccurred(const QString &message);

private:
    static GstBusSyncReply onMessage(GstBus *bus, GstMessage *message, gpointer self);
    void handle(GstMessage *message);

    GstElement *m_pipeline; // not owned
    GstHandle<GstBus> m_bus;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_done = false;
    bool m_failed = false;
    bool m_atEnd = false;
    QString m_error;
    std::function<bool(GstObject *)> m_ignored;
};

} // namespace drivora
