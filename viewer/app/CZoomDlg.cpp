#include "CZoomDlg.h"

#include "ViewerIds.h"
#include "ZoomGeometry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimerEvent>

namespace drivora {

CZoomDlg::CZoomDlg(QWidget *owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("ZoomWindow"));
    setWindowTitle(QStringLiteral("Zoom"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(kZoomWindowStart);
    hide();
    m_timer.start(ids::kZoomTimerMs, this);
}

void CZoomDlg::toggle()
{
    m_shown = !m_shown;
    setVisible(m_shown);
    if (m_shown) {
        raise();
        m_source = sourceAround(QCursor::pos());
    }
    update();
}

void CZoomDlg::closeEvent(QCloseEvent *event)
{
    // Closing only hides: the Zoom button brings it back where it was.
    event->ignore();
    m_shown = false;
    hide();
}

void CZoomDlg::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    if (m_shown && !isMinimized()) {
        m_source = sourceAround(QCursor::pos());
        ++m_ticks;
        repaint();
    }
}

void CZoomDlg::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (m_source.isNull())
        p.fillRect(rect(), palette().window());
    else
        p.drawImage(rect(), m_source); // plain pixel repetition, no smoothing
}

QImage CZoomDlg::source(const QRect &rect) const
{
    QScreen *screen = QGuiApplication::screenAt(rect.center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen || QGuiApplication::platformName() == QLatin1String("wayland"))
        return ownWindows(rect); // the windowing system shows nobody the screen
    const QRect s = screen->geometry();
    QImage copy;
    if (m_wholeScreen) {
        copy = screen->grabWindow(0).toImage().copy(rect.translated(-s.topLeft()));
    } else {
        const QRect r = rect.translated(-s.topLeft());
        copy = screen->grabWindow(0, r.x(), r.y(), r.width(), r.height()).toImage();
    }
    if (copy.isNull() || copy.size() != rect.size())
        return ownWindows(rect);
    return copy.convertToFormat(QImage::Format_RGB32);
}

QImage CZoomDlg::ownWindows(const QRect &rect) const
{
    QImage canvas(rect.size(), QImage::Format_RGB32);
    canvas.fill(Qt::black);
    QPainter p(&canvas);
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w == this || !w->isVisible() || w->isMinimized())
            continue;
        const QRect frame(w->mapToGlobal(QPoint(0, 0)), w->size());
        const QRect part = frame.intersected(rect);
        if (part.isEmpty())
            continue;
        p.drawPixmap(part.topLeft() - rect.topLeft(), w->grab(part.translated(-frame.topLeft())));
    }
    return canvas;
}

QImage CZoomDlg::sourceAround(QPoint pointer) const
{
    QScreen *screen = QGuiApplication::screenAt(pointer);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect screenRect = screen ? screen->geometry() : QRect(QPoint(0, 0), size());
    const QRect from = ZoomSourceRect(screenRect, size(), pointer);
    if (from.isEmpty())
        return {};
    QImage src = source(from);
    if (isVisible()) {
        // Never magnify the magnifier: its own area is grey in the copy.
        const QRect own(mapToGlobal(QPoint(0, 0)), size());
        const QRect overlap = own.intersected(from);
        if (!overlap.isEmpty())
            QPainter(&src).fillRect(overlap.translated(-from.topLeft()), QColor::fromRgb(kZoomOwnAreaGrey));
    }
    return src;
}

QImage CZoomDlg::magnify(QPoint pointer) const
{
    const QImage src = sourceAround(pointer);
    if (src.isNull())
        return {};
    QImage out(size(), QImage::Format_RGB32);
    QPainter(&out).drawImage(out.rect(), src);
    return out;
}

} // namespace drivora
