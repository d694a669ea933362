#include "CDvGsensorCtrl.h"

#include "ControlGeometry.h"
#include "MainMenu.h"
#include "catalogue/Telemetry.h"

#include <QContextMenuEvent>
#include <QPainter>
#include <QPainterPath>

namespace drivora {

CDvGsensorCtrl::CDvGsensorCtrl(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("DvGsensorWnd"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(600, 100);
}

void CDvGsensorCtrl::setPlotSpanMs(uint32_t span)
{
    m_span = span;
    update();
}

QImage CDvGsensorCtrl::render(QSize size) const
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(10, 10, 10));
    QPainter p(&image);
    const GsensorPlot plot = GsensorGeometry(size.width(), size.height(), divisions, leftMargin, rightMargin);
    const QColor grid(120, 120, 120);

    p.setPen(QPen(grid, 1, Qt::SolidLine));
    p.drawLine(plot.left, plot.top, plot.left, plot.bottom);
    p.drawLine(plot.right, plot.top, plot.right, plot.bottom);
    p.setPen(QPen(grid, 1, Qt::DotLine));
    for (int i = 1; i < divisions; ++i)
        p.drawLine(plot.left + i * plot.step, plot.top, plot.left + i * plot.step, plot.bottom);
    for (int y : {plot.centreY, plot.centreY - bandOffset, plot.centreY + bandOffset})
        p.drawLine(plot.left, y, plot.right, y);

    QFont font(QStringLiteral("Noto Sans CJK KR"));
    font.setPointSizeF(7.5);
    p.setFont(font);
    p.setPen(grid);
    const int ascent = p.fontMetrics().ascent();
    p.drawText(plot.left - 10, plot.top - 5 + ascent, QStringLiteral("2"));
    p.drawText(plot.left - 10, plot.centreY - 5 + ascent, QStringLiteral("0"));
    p.drawText(plot.left - 14, plot.bottom - 5 + ascent, QStringLiteral("-2"));

    if (peakG >= 0) {
        p.setPen(QColor(200, 200, 200));
        const QString peak = QStringLiteral("최대 %1 g").arg(peakG, 0, 'f', 2);
        p.drawText(plot.right - p.fontMetrics().horizontalAdvance(peak) - 4, plot.top + ascent, peak);
    }
    for (size_t i = 0; i < impactsMs.size(); ++i) {
        if (impactsMs[i] > m_span)
            continue;
        const int x = GsensorPoint(plot, impactsMs[i], 0, m_span).x();
        const bool strongest = int(i) == strongestImpact;
        p.setPen(QPen(strongest ? QColor(255, 60, 60) : QColor(255, 60, 60, 150), strongest ? 2 : 1, Qt::DashLine));
        p.drawLine(x, plot.top, x, plot.bottom);
    }

    const auto &samples = GSensorTrack().records();
    if (samples.empty())
        return image;
    struct Series {
        QColor colour;
        int32_t CGSensorData::*axis;
    } series[] = {{QColor(255, 100, 0), &CGSensorData::x},
                  {QColor(255, 255, 0), &CGSensorData::y},
                  {QColor(0, 255, 0), &CGSensorData::z}};
    for (const Series &s : series) {
        QPainterPath path(QPointF(plot.left, plot.centreY));
        int lastY = plot.centreY; // no sample in the span: close along the centre line
        for (const CGSensorData &sample : samples) {
            if (sample.stampMs > m_span)
                continue;
            const QPoint pt = GsensorPoint(plot, sample.stampMs, sample.*s.axis, m_span);
            path.lineTo(pt);
            lastY = pt.y();
        }
        path.lineTo(plot.right, lastY);
        p.setPen(QPen(s.colour, 1, Qt::SolidLine));
        p.drawPath(path);
    }
    return image;
}

void CDvGsensorCtrl::paintEvent(QPaintEvent *)
{
    // Drawn off screen, then copied in one go.
    QPainter painter(this);
    painter.drawImage(0, 0, render(size()));
}

} // namespace drivora

namespace drivora {

void CDvGsensorCtrl::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    FillMainContextMenu(menu, [this](int id) { emit command(id); });
    menu.exec(event->globalPos());
}

} // namespace drivora
