#include "CDvScreenCtrl.h"

#include <QMouseEvent>
#include <QPainter>

namespace drivora {

CDvScreenCtrl::CDvScreenCtrl(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DvScreenWnd"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CDvScreenCtrl::attachFrames(const FrameSlot *slot)
{
    m_frames = slot;
    QMetaObject::invokeMethod(this, [this] { update(); }, Qt::QueuedConnection);
}

void CDvScreenCtrl::frameArrived()
{
    // From the streaming thread: one repaint at a time is enough.
    if (!m_updatePending.exchange(true))
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_updatePending = false;
                update();
            },
            Qt::QueuedConnection);
}

void CDvScreenCtrl::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const FrameSlot *slot = m_frames.load();
    const VideoFrame frame = slot ? slot->get() : VideoFrame();
    if (frame.isNull() || width() <= 0 || height() <= 0) {
        painter.fillRect(rect(), Qt::black);
        if (!m_notice.isEmpty()) {
            painter.setPen(QColor(220, 220, 220));
            painter.drawText(rect().adjusted(16, 16, -16, -16), Qt::AlignCenter | Qt::TextWordWrap, m_notice);
        }
        return;
    }
    // Converted at the window's size: stretched to the whole window.
    painter.drawImage(rect().topLeft(), frame.toImage(size()));
}

void CDvScreenCtrl::setNotice(const QString &text)
{
    m_notice = text;
    update();
}

void CDvScreenCtrl::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        emit doubleClicked();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

} // namespace drivora
