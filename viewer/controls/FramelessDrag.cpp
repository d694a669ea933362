#include "FramelessDrag.h"

#include <QGuiApplication>
#include <QMap>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace drivora {

void FramelessDrag::press(QMouseEvent *event)
{
    const int edge = BorderHitTest(event->position().toPoint(), m_window->size());
    QWindow *handle = m_window->windowHandle();
    if (QGuiApplication::platformName() == QLatin1String("wayland") && handle) {
        static const QMap<int, Qt::Edges> edges = {
            {BorderLeft, Qt::LeftEdge},
            {BorderRight, Qt::RightEdge},
            {BorderTop, Qt::TopEdge},
            {BorderBottom, Qt::BottomEdge},
            {BorderTopLeft, Qt::TopEdge | Qt::LeftEdge},
            {BorderTopRight, Qt::TopEdge | Qt::RightEdge},
            {BorderBottomLeft, Qt::BottomEdge | Qt::LeftEdge},
            {BorderBottomRight, Qt::BottomEdge | Qt::RightEdge},
        };
        if (edge == BorderNone)
            handle->startSystemMove();
        else
            handle->startSystemResize(edges.value(edge));
        return;
    }
    m_mode = edge == BorderNone ? Mode::Move : Mode::Resize;
    m_edge = edge;
    m_anchor = event->globalPosition().toPoint();
    m_start = m_window->geometry();
}

bool FramelessDrag::follow(QMouseEvent *event)
{
    const QPoint global = event->globalPosition().toPoint();
    if (m_mode == Mode::Move) {
        m_window->move(m_start.topLeft() + (global - m_anchor));
    } else if (m_mode == Mode::Resize) {
        const Box start{m_start.left(), m_start.top(), m_start.right() + 1, m_start.bottom() + 1};
        const Box next = WithMinimumSize(BorderDrag(start, m_edge, global - m_start.topLeft(), m_minimum), m_minimum);
        m_window->setGeometry(next.rect());
    }
    return m_mode != Mode::None;
}

void FramelessDrag::showCursor(QPoint client)
{
    static const QMap<int, Qt::CursorShape> cursors = {
        {BorderLeft, Qt::SizeHorCursor},      {BorderRight, Qt::SizeHorCursor},
        {BorderTop, Qt::SizeVerCursor},       {BorderBottom, Qt::SizeVerCursor},
        {BorderTopLeft, Qt::SizeFDiagCursor}, {BorderBottomRight, Qt::SizeFDiagCursor},
        {BorderTopRight, Qt::SizeBDiagCursor}, {BorderBottomLeft, Qt::SizeBDiagCursor},
    };
    m_window->setCursor(cursors.value(BorderHitTest(client, m_window->size()), Qt::ArrowCursor));
}

} // namespace drivora
