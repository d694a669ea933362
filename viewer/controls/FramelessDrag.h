// Moving and resizing a window without a frame: a press in one of its
// 10-pixel border zones resizes it (its left and top edges stop at the
// minimum size, the right and bottom ones are held there), a press elsewhere
// moves it. Where the windowing system places windows itself (Wayland), it is
// asked to do the same.
#pragma once

#include "app/MainWindowGeometry.h"

#include <QPoint>
#include <QRect>
#include <QSize>

class QMouseEvent;
class QWidget;

namespace drivora {

class FramelessDrag {
public:
    FramelessDrag(QWidget *window, QSize minimum) : m_window(window), m_minimum(minimum) {}

    // A left press on the window's own area: starts a move or a resize.
    void press(QMouseEvent *event);
    // Follows the pointer; false when no drag is going on.
    bool follow(QMouseEvent *event);
    void release() { m_mode = Mode::None; }
    // The resize cursor over a border zone, the arrow elsewhere.
    void showCursor(QPoint client);

private:
    enum class Mode { None, Move, Resize };
    QWidget *m_window;
    QSize m_minimum;
    Mode m_mode = Mode::None;
    QPoint m_anchor; // global pointer at the press
    QRect m_start;   // window frame at the press
    int m_edge = BorderNone;
};

} // namespace drivora
