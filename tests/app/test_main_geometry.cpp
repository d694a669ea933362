// The main window's layout, border hit test and border drags as pure
// functions, at the smallest size and two common ones.
#include "app/MainWindowGeometry.h"

#include <gtest/gtest.h>

using namespace drivora;

namespace drivora {

// How a failed comparison shows a box.
static void PrintTo(const Box &b, std::ostream *os)
{
    *os << "(" << b.left << ", " << b.top << ", " << b.right << ", " << b.bottom << ")";
}

} // namespace drivora

TEST(MainGeometry, FitSixteenByNine)
{
    struct Case {
        Box in, out;
    } cases[] = {
        {{12, 50, 732, 471}, {12, 58, 732, 463}},       // wide enough: full width, centred vertically
        {{12, 50, 978, 529}, {69, 50, 920, 529}},       // too wide: full height, centred horizontally
        {{0, 0, 160, 90}, {0, 0, 160, 90}},             // exactly 16:9 takes the full-height branch
        {{0, 0, 0, 0}, {0, 0, 0, 0}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FitSixteenByNine(c.in), c.out) << ::testing::PrintToString(c.in);
}

TEST(MainGeometry, LayoutAtThreeSizes)
{
    struct Case {
        QSize size;
        Box video, graph, control, map, list;
        int x0;
        Box front;
    } cases[] = {
        {{1034, 742}, {12, 50, 732, 471}, {7, 483, 737, 672}, {7, 679, 732, 735}, {747, 50, 1027, 324},
         {747, 324, 1027, 735}, 0, {12, 58, 732, 463}},
        {{1280, 800}, {12, 50, 978, 529}, {7, 541, 983, 730}, {7, 737, 978, 793}, {993, 50, 1273, 347},
         {993, 347, 1273, 792}, 122, {69, 50, 920, 529}},
        {{1920, 1080}, {12, 50, 1618, 809}, {7, 821, 1623, 1010}, {7, 1017, 1618, 1073}, {1633, 50, 1913, 459},
         {1633, 459, 1913, 1072}, 442, {140, 50, 1489, 809}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.size.width()));
        const MainLayout l = ComputeMainLayout(c.size, 1);
        EXPECT_EQ(l.videoArea, c.video);
        EXPECT_EQ(l.graphArea, c.graph);
        EXPECT_EQ(l.controlBar, c.control);
        EXPECT_EQ(l.mapArea, c.map);
        EXPECT_EQ(l.listArea, c.list);
        EXPECT_EQ(l.transportX0, c.x0);
        EXPECT_EQ(l.frontScreen, c.front);
        EXPECT_EQ(l.rearScreen.width(), 0);
        EXPECT_EQ(l.close, QPoint(c.size.width() - 51, 9));
        EXPECT_EQ(l.play, QPoint(c.x0 + 100, c.control.top));
        EXPECT_EQ(l.speedGauge, QPoint(c.x0 + 592, c.control.top - 3));
        EXPECT_EQ(l.listFolder, Box({c.list.left + 5, c.list.top + 34, c.list.right - 5, c.list.top + 54}));
        EXPECT_EQ(l.list, Box({c.list.left, c.list.top + 56, c.list.right, c.list.bottom}));
        // The timeline's thumb travel is the graph's plot width.
        EXPECT_EQ(l.timeline.width() - 2 * 15, 12 * l.graphDivision);
    }
    // At the smallest size: the graph and timeline, and both screens side by side.
    const MainLayout small = ComputeMainLayout({1034, 742}, 3);
    EXPECT_EQ(small.graph, Box({7, 533, 737, 630}));
    EXPECT_EQ(small.graphDivision, 58);
    EXPECT_EQ(small.timeline, Box({14, 508, 740, 538}));
    EXPECT_EQ(small.frontScreen, Box({12, 159, 372, 361}));
    EXPECT_EQ(small.rearScreen, Box({372, 159, 732, 361}));
    EXPECT_EQ(small.frontButton, QPoint(583, 481));
    EXPECT_EQ(small.mapPanel, Box({749, 88, 1023, 291}));
    const MainLayout rear = ComputeMainLayout({1034, 742}, 2);
    EXPECT_EQ(rear.rearScreen, Box({12, 58, 732, 463}));
    EXPECT_EQ(rear.frontScreen.width(), 0);
}

TEST(MainGeometry, BorderHitTest)
{
    const QSize size(1034, 742);
    struct Case {
        QPoint at;
        int code;
    } cases[] = {
        {{0, 0}, BorderTopLeft},      {{9, 9}, BorderTopLeft},       {{1033, 0}, BorderTopRight},
        {{0, 741}, BorderBottomLeft}, {{1033, 741}, BorderBottomRight}, {{5, 300}, BorderLeft},
        {{500, 5}, BorderTop},        {{1024, 300}, BorderRight},    {{500, 732}, BorderBottom},
        {{10, 10}, BorderNone},       {{500, 300}, BorderNone},      {{1023, 731}, BorderNone},
    };
    for (const Case &c : cases)
        EXPECT_EQ(BorderHitTest(c.at, size), c.code) << c.at.x() << "," << c.at.y();
}

TEST(MainGeometry, BorderDragsPinAtTheMinimum)
{
    const Box window{100, 100, 1234, 900}; // 1134 x 800
    struct Case {
        const char *what;
        int edge;
        QPoint pointer; // relative to the window's origin
        Box expected;
    } cases[] = {
        {"left outwards", BorderLeft, {-50, 300}, {50, 100, 1234, 900}},
        {"left past the minimum pins", BorderLeft, {300, 300}, {200, 100, 1234, 900}},
        {"top past the minimum pins", BorderTop, {300, 200}, {100, 158, 1234, 900}},
        {"top-left both", BorderTopLeft, {-10, -20}, {90, 80, 1234, 900}},
        {"right inwards", BorderRight, {900, 300}, {100, 100, 1000, 900}},
        {"bottom outwards", BorderBottom, {300, 900}, {100, 100, 1234, 1000}},
        {"bottom-right", BorderBottomRight, {1200, 850}, {100, 100, 1300, 950}},
        {"top-right: top pins, right follows", BorderTopRight, {1000, 500}, {100, 158, 1100, 900}},
        {"bottom-left", BorderBottomLeft, {50, 750}, {150, 100, 1234, 850}},
    };
    for (const Case &c : cases) {
        const Box dragged = BorderDrag(window, c.edge, c.pointer);
        EXPECT_EQ(dragged, c.expected) << c.what;
        const Box kept = WithMinimumSize(dragged);
        EXPECT_GE(kept.width(), kMainMinWidth) << c.what;
        EXPECT_GE(kept.height(), kMainMinHeight) << c.what;
        if (c.edge == BorderLeft || c.edge == BorderTop || c.edge == BorderTopLeft) {
            EXPECT_EQ(kept, dragged) << c.what << ": the opposite edges stay";
        }
    }
}
