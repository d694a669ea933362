#include "ControlGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace drivora {

GsensorPlot GsensorGeometry(int width, int height, int divisions, int leftMargin, int rightMargin)
{
    GsensorPlot p;
    p.left = leftMargin;
    p.top = 10;
    p.bottom = height - 5;
    p.step = divisions > 0 ? (width - rightMargin - leftMargin) / divisions : 0;
    p.right = leftMargin + divisions * p.step;
    p.centreY = p.top + (p.bottom - p.top) / 2;
    p.scale = double((p.bottom - p.top) / 2) / 64.0;
    return p;
}

QPoint GsensorPoint(const GsensorPlot &plot, uint32_t stampMs, int32_t value, uint32_t spanMs)
{
    const double x = spanMs == 0 ? plot.left
                                 : double(stampMs) * double(plot.right - plot.left) / double(spanMs) + plot.left;
    const double y = plot.centreY - double(value) * plot.scale;
    return QPoint(int(std::trunc(x)), int(std::trunc(y)));
}

std::vector<Glyph> SpeedGaugeGlyphs(double speed)
{
    std::vector<Glyph> glyphs;
    const int t = int(std::trunc(speed * 10.0));
    const QPoint point(55, 11);
    if (t > 9) {
        char text[16];
        std::snprintf(text, sizeof text, "%4d", std::min(t, 9999));
        static const int xs[4] = {20, 32, 44, 60};
        bool leading = true;
        for (int i = 0; i < 4; ++i) {
            const char c = text[i];
            const int d = c >= '0' && c <= '9' ? c - '0' : 0;
            if (leading && d == 0)
                continue; // spaces and leading zeros are not drawn
            leading = false;
            glyphs.push_back({kGaugeDigitZero + d, QPoint(xs[i], 11)});
            glyphs.push_back({kGaugePoint, point});
        }
    } else {
        glyphs.push_back({kGaugeDigitZero, QPoint(44, 11)});
        glyphs.push_back({kGaugePoint, point});
        glyphs.push_back({kGaugeDigitZero + std::max(t, 0), QPoint(60, 11)});
        glyphs.push_back({kGaugePoint, point});
    }
    return glyphs;
}

int VolumeFillWidth(int level, int clientWidth)
{
    return std::clamp(level, 0, 10) * (clientWidth / 10);
}

int VolumeLevelAt(int x, int clientWidth)
{
    if (x < 0)
        return 0;
    if (x >= clientWidth)
        return 10;
    const int eleventh = clientWidth / 11;
    return eleventh > 0 ? std::clamp(x / eleventh, 0, 10) : 10;
}

int TimelineStripWidth(int position, int rangeMaximum, int channelWidth)
{
    if (rangeMaximum <= 0)
        return 0;
    return int(int64_t(position) * channelWidth / rangeMaximum);
}

int TimelineValueAt(int x, int margin, int channelWidth, int rangeMaximum)
{
    if (rangeMaximum <= 0 || channelWidth <= 0)
        return 0;
    const int64_t along = std::clamp<int64_t>(int64_t(x) - margin, 0, channelWidth);
    return int((along * rangeMaximum + channelWidth / 2) / channelWidth);
}

QString TimeText(int64_t positionMs, int64_t durationMs)
{
    auto mmss = [](int64_t ms) {
        const int64_t minutes = ms / 60000; // not wrapped at 60
        const int64_t seconds = ms / 1000 - 60 * minutes;
        return QStringLiteral("%1:%2").arg(minutes, 2, 10, QLatin1Char('0')).arg(seconds, 2, 10, QLatin1Char('0'));
    };
    return QStringLiteral("    %1  /  %2").arg(mmss(positionMs), mmss(durationMs));
}

QString RateText(float rate)
{
    return QStringLiteral("   %1 x").arg(double(rate), 0, 'f', 2);
}

QString GText(float g)
{
    const double v = std::fabs(double(g)) < 0.005 ? 0.0 : double(g); // no "-0.00"
    return QStringLiteral("%1 g").arg(v, 0, 'f', 2);
}

} // namespace drivora
