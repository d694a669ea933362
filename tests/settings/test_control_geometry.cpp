#include "controls/ControlGeometry.h"

#include <gtest/gtest.h>

using namespace drivora;

TEST(ControlGeometry, GsensorPlot)
{
    struct Case {
        int width, height;
        int step, right, centreY;
        double scale;
    } cases[] = {
        {600, 100, 47, 584, 52, 42 / 64.0},
        {599, 100, 47, 584, 52, 42 / 64.0},
        {30, 15, 0, 20, 10, 0.0},
        {1034, 120, 83, 1016, 62, 52 / 64.0},
    };
    for (const Case &c : cases) {
        const GsensorPlot p = GsensorGeometry(c.width, c.height);
        EXPECT_EQ(p.left, 20);
        EXPECT_EQ(p.top, 10);
        EXPECT_EQ(p.bottom, c.height - 5);
        EXPECT_EQ(p.step, c.step) << c.width;
        EXPECT_EQ(p.right, c.right) << c.width;
        EXPECT_EQ(p.centreY, c.centreY) << c.width;
        EXPECT_DOUBLE_EQ(p.scale, c.scale) << c.width;
    }
    const GsensorPlot p = GsensorGeometry(600, 100);
    EXPECT_EQ(GsensorPoint(p, 0, 0, 60000), QPoint(20, 52));
    EXPECT_EQ(GsensorPoint(p, 60000, 0, 60000), QPoint(584, 52));
    EXPECT_EQ(GsensorPoint(p, 30000, 64, 60000), QPoint(302, 10)) << "64 units reach the top";
    EXPECT_EQ(GsensorPoint(p, 30000, -64, 60000), QPoint(302, 94));
    EXPECT_EQ(GsensorPoint(p, UINT32_MAX, 0, 60000).x() > 584, true) << "stamps taken as unsigned";
}

TEST(ControlGeometry, SpeedGaugeDigits)
{
    const QPoint dot(55, 11);
    auto digit = [](int d, int x) { return Glyph{kGaugeDigitZero + d, QPoint(x, 11)}; };
    const Glyph point{kGaugePoint, dot};
    struct Case {
        double speed;
        std::vector<Glyph> glyphs;
    } cases[] = {
        {0.05, {digit(0, 44), point, digit(0, 60), point}},             // 0.0
        {0.95, {digit(0, 44), point, digit(9, 60), point}},             // 0.9
        {7.25, {digit(7, 44), point, digit(2, 60), point}},             // 7.2
        {123.45, {digit(1, 20), point, digit(2, 32), point, digit(3, 44), point, digit(4, 60), point}},
        {100.0, {digit(1, 20), point, digit(0, 32), point, digit(0, 44), point, digit(0, 60), point}},
        {10.0, {digit(1, 32), point, digit(0, 44), point, digit(0, 60), point}}, // 10.0
    };
    for (const Case &c : cases)
        EXPECT_EQ(SpeedGaugeGlyphs(c.speed), c.glyphs) << c.speed;
}

TEST(ControlGeometry, VolumeAndTimeTexts)
{
    struct Fill {
        int level, width, fill;
    } fills[] = {{0, 70, 0}, {10, 70, 70}, {5, 70, 35}, {10, 75, 70}, {12, 70, 70}};
    for (const Fill &f : fills)
        EXPECT_EQ(VolumeFillWidth(f.level, f.width), f.fill) << f.level << " " << f.width;
    struct Click {
        int x, width, level;
    } clicks[] = {{-1, 70, 0}, {5, 70, 0}, {6, 70, 1}, {59, 70, 9}, {60, 70, 10}, {69, 70, 10}, {70, 70, 10}};
    for (const Click &c : clicks)
        EXPECT_EQ(VolumeLevelAt(c.x, c.width), c.level) << c.x;

    struct Strip {
        int position, maximum, width, strip;
    } strips[] = {{0, 1000, 500, 0}, {500, 1000, 500, 250}, {1000, 1000, 500, 500}, {7, 0, 500, 0}, {3, 7, 100, 42}};
    for (const Strip &s : strips)
        EXPECT_EQ(TimelineStripWidth(s.position, s.maximum, s.width), s.strip) << s.position << "/" << s.maximum;
    // A click on the timeline (channel from x = 15, 500 wide): the position
    // under it, held at both ends, and back where the strip ends.
    struct At {
        int x, maximum, value;
    } ats[] = {{15, 60000, 0},  {0, 60000, 0},      {265, 60000, 30000}, {515, 60000, 60000}, {900, 60000, 60000},
               {16, 60000, 120}, {514, 60000, 59880}, {265, 0, 0},        {265, 7, 4}};
    for (const At &a : ats)
        EXPECT_EQ(TimelineValueAt(a.x, 15, 500, a.maximum), a.value) << a.x << "/" << a.maximum;
    for (int v : {0, 1234, 30000, 59999, 60000})
        EXPECT_NEAR(TimelineValueAt(15 + TimelineStripWidth(v, 60000, 500), 15, 500, 60000), v, 120) << v;

    EXPECT_EQ(TimeText(3725000, 3900000), QStringLiteral("    62:05  /  65:00"));
    EXPECT_EQ(TimeText(0, 59999), QStringLiteral("    00:00  /  00:59"));
    EXPECT_EQ(RateText(1.0f), QStringLiteral("   1.00 x"));
    EXPECT_EQ(RateText(0.5f), QStringLiteral("   0.50 x"));
    EXPECT_EQ(GText(2.625f), QStringLiteral("2.63 g"));
    EXPECT_EQ(GText(-0.003f), QStringLiteral("0.00 g"));
    EXPECT_EQ(GText(-1.0f), QStringLiteral("-1.00 g"));
}
