// Waits for a condition instead of sleeping a fixed time: what a test checks
// may take longer on a busy machine, never a guess of how long.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace testsupport {

// True once the condition holds; false after limitMs. Events are handled
// meanwhile, so signals queued to this thread arrive.
inline bool WaitFor(const std::function<bool()> &condition, int limitMs = 15000)
{
    QElapsedTimer wall;
    wall.start();
    while (!condition()) {
        if (wall.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2); // leave the machine to the threads being waited for
    }
    return true;
}

} // namespace testsupport
