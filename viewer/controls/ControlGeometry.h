// Where the skinned controls draw what: pure functions, rectangles and
// points in, rectangles and points out. The paint code only draws them.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

namespace drivora {

// G-sensor graph: plot rectangle and grid step for a client of width x height.
struct GsensorPlot {
    int left = 0, top = 0, right = 0, bottom = 0;
    int step = 0;    // width of one grid column
    int centreY = 0; // the zero line
    double scale = 0; // pixels per axis unit: 64 units fill half the plot height
};
GsensorPlot GsensorGeometry(int width, int height, int divisions = 12, int leftMargin = 20, int rightMargin = 10);
// The point of one sample of one axis; positive values go up.
QPoint GsensorPoint(const GsensorPlot &plot, uint32_t stampMs, int32_t value, uint32_t spanMs);

// Speed gauge: the bitmaps to draw (digits 20014 + d and the decimal point
// 20012) and where, for a speed.
struct Glyph {
    int bitmapId;
    QPoint at;
    bool operator==(const Glyph &) const = default;
};
inline constexpr int kGaugeDigitZero = 20014;
inline constexpr int kGaugePoint = 20012;
inline constexpr int kGaugeBackground = 20011;
// Skin images from 29000 on are the viewer's own additions, clear of the
// camera maker's numbering.
inline constexpr int kGaugeBackgroundMiles = 29011; // "mph" in place of "km/h"
std::vector<Glyph> SpeedGaugeGlyphs(double speed);

// Volume control: the filled width for a level, and the level of a click.
int VolumeFillWidth(int level, int clientWidth);
int VolumeLevelAt(int x, int clientWidth);

// Timeline: the width of the progress strip for a position; none for an
// empty range.
int TimelineStripWidth(int position, int rangeMaximum, int channelWidth);
// Timeline: the position under a click or a drag at x, for a channel that
// starts at `margin` and is `channelWidth` wide; held to 0..rangeMaximum.
int TimelineValueAt(int x, int margin, int channelWidth, int rangeMaximum);

// Text panel kind 1: the time part after label 110, and the rate part after
// label 111.
QString TimeText(int64_t positionMs, int64_t durationMs);
QString RateText(float rate);
// An acceleration in g with its unit, as the read-out and the report give it.
QString GText(float g);

} // namespace drivora
