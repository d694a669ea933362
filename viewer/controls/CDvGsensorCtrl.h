#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

namespace drivora {

// The G-sensor graph: the three axes of the whole open recording against
// media time, over a dark grid. Reads GSensorTrack when it paints.
class CDvGsensorCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CDvGsensorCtrl(QWidget *parent = nullptr);

    int divisions = 12;
    int leftMargin = 20;
    int rightMargin = 10;
    int bandOffset = 25;

    void setPlotSpanMs(uint32_t span);
    // The recording's largest acceleration, shown in the corner (< 0: none).
    double peakG = -1;
    // Impacts, drawn as marks along the top: media times and the strongest (-1: none).
    std::vector<uint32_t> impactsMs;
    int strongestImpact = -1;
    uint32_t plotSpanMs() const { return m_span; }

    // Draws the whole control into an image of the given size.
    QImage render(QSize size) const;

signals:
    void command(int id); // chosen from the main context menu

protected:
    void paintEvent(QPaintEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    uint32_t m_span = 60000;
};

} // namespace drivora
