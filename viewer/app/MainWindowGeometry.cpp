#include "MainWindowGeometry.h"

#include <algorithm>

namespace drivora {

Box FitSixteenByNine(const Box &b)
{
    const int w = b.width(), h = b.height();
    const int h16 = w * 9 / 16;
    if (h16 < h) {
        const int top = b.top + (h - h16) / 2;
        return {b.left, top, b.right, top + h16};
    }
    const int w9 = h * 16 / 9;
    const int left = b.left + (w - w9) / 2;
    return {left, b.top, left + w9, b.bottom};
}

FullScreenVideo ComputeFullScreenVideo(QSize screen, int viewMode)
{
    const Box all{0, 0, screen.width(), screen.height()};
    const Box none{0, 0, 0, 0};
    switch (viewMode) {
    case 2:
        return {none, FitSixteenByNine(all)};
    case 3: {
        const int half = all.width() / 2;
        return {FitSixteenByNine({0, 0, half, all.bottom}), FitSixteenByNine({half, 0, all.right, all.bottom})};
    }
    default:
        return {FitSixteenByNine(all), none};
    }
}

MainLayout ComputeMainLayout(QSize client, int viewMode)
{
    const int W = client.width(), H = client.height();
    MainLayout l;
    l.videoArea = {12, 50, W - 302, H - 271};
    l.graphArea = {7, H - 259, W - 297, H - 70};
    l.controlBar = {7, H - 63, W - 302, H - 7};
    l.mapArea = {W - 287, 50, W - 7, 50 + (H - 57) * 2 / 5};
    l.listArea = {W - 287, l.mapArea.bottom, W - 7, l.mapArea.bottom + (H - 57) * 3 / 5};

    // Top row.
    l.open = {9, 9};
    l.capture = {53, 9};
    l.print = {97, 9};
    l.setting = {141, 9};
    l.zoom = {185, 9};
    l.about = {229, 9};
    l.close = {W - 51, 9};
    l.maximise = {W - 95, 9};
    l.minimise = {W - 139, 9};

    // Screens and channel buttons.
    const Box &v = l.videoArea;
    const int middle = v.left + (v.right - v.left) / 2;
    switch (viewMode) {
    case 2:
        l.rearScreen = FitSixteenByNine(v);
        l.frontScreen = {v.left, v.top, v.left, v.top};
        break;
    case 3:
        l.frontScreen = FitSixteenByNine({v.left, v.top, middle, v.bottom});
        l.rearScreen = FitSixteenByNine({middle, v.top, v.right, v.bottom});
        break;
    default:
        l.frontScreen = FitSixteenByNine(v);
        l.rearScreen = {v.left, v.top, v.left, v.top};
        break;
    }
    l.allChannelsButton = {v.right - 43, v.bottom + 10};
    l.rearButton = {v.right - 96, v.bottom + 10};
    l.frontButton = {v.right - 149, v.bottom + 10};

    // Graph area: time and G-sensor lines, the graph, and the timeline over
    // the graph's plot width.
    const Box &g = l.graphArea;
    // The time line reaches to the channel buttons: the camera's clock goes at its end.
    l.timePanel = Box::at(g.left + 3, g.top + 3, std::max(400, l.frontButton.x() - 8 - (g.left + 3)), 20);
    l.gsensorPanel = Box::at(g.left + 3, g.bottom - 33, 400, 20);
    const int gw = g.width(), gh = g.height() - 92;
    l.graph = Box::at(g.left, g.top + 50, gw, gh);
    l.graphDivision = (gw - 10 - 20) / 12;
    constexpr int graphLeftMargin = 20, timelineSideMargin = 15;
    l.timeline = Box::at(g.left + graphLeftMargin - timelineSideMargin + 2, g.top + 25,
                         12 * l.graphDivision + graphLeftMargin + 2 * timelineSideMargin - 20, 30);

    // Transport row.
    const int x0 = (l.controlBar.width() - 726) / 2; // toward zero: 0 at the smallest width
    const int y = l.controlBar.top;
    l.transportX0 = x0;
    l.prev = {x0 + 22, y};
    l.rewind = {x0 + 61, y};
    l.play = {x0 + 100, y};
    l.forward = {x0 + 139, y};
    l.next = {x0 + 178, y};
    l.speedButton = {x0 + 227, y + 4};
    l.speedSlider = {x0 + 252, y + 2};
    l.brightButton = {x0 + 350, y + 4};
    l.brightnessSlider = {x0 + 375, y + 2};
    l.mute = {x0 + 473, y + 4};
    l.volume = {x0 + 512, y + 4};
    l.speedGauge = {x0 + 592, y - 3};

    // Map area and list area.
    const Box &m = l.mapArea;
    l.mapLabel = {m.left, m.top + 13};
    l.mapButton = {m.left + 233, m.top + 4};
    l.mapPanel = Box::at(m.left + 2, m.top + 38, 274, m.height() - 71);
    l.positionPanel = Box::at(m.left, m.bottom - 26, m.width() - 10, 20);
    const Box &a = l.listArea;
    l.listLabel = Box::at(a.left + 5, a.top + 8, 60, 20);
    l.allKindsButton = {a.left + 84, a.top + 6};
    l.eventButton = {a.left + 132, a.top + 6};
    l.normalButton = {a.left + 180, a.top + 6};
    l.parkingButton = {a.left + 228, a.top + 6};
    l.listFolder = Box::at(a.left + 5, a.top + 34, a.width() - 10, 20);
    l.list = Box::at(a.left, a.top + 56, a.width(), a.bottom - a.top - 56);
    return l;
}

int BorderHitTest(QPoint p, QSize size)
{
    const int W = size.width(), H = size.height(), k = kBorderBand;
    const bool left = p.x() < k, right = p.x() >= W - k, top = p.y() < k, bottom = p.y() >= H - k;
    if (left && top)
        return BorderTopLeft;
    if (right && top)
        return BorderTopRight;
    if (left && bottom)
        return BorderBottomLeft;
    if (right && bottom)
        return BorderBottomRight;
    if (left)
        return BorderLeft;
    if (top)
        return BorderTop;
    if (right)
        return BorderRight;
    if (bottom)
        return BorderBottom;
    return BorderNone;
}

Box BorderDrag(const Box &w, int edge, QPoint pointer, QSize minimum)
{
    const int px = w.left + pointer.x(), py = w.top + pointer.y();
    Box r = w;
    if (edge == BorderLeft || edge == BorderTopLeft || edge == BorderBottomLeft)
        r.left = w.right - px < minimum.width() ? w.right - minimum.width() : px;
    if (edge == BorderTop || edge == BorderTopLeft || edge == BorderTopRight)
        r.top = w.bottom - py < minimum.height() ? w.bottom - minimum.height() : py;
    if (edge == BorderRight || edge == BorderTopRight || edge == BorderBottomRight)
        r.right = px;
    if (edge == BorderBottom || edge == BorderBottomLeft || edge == BorderBottomRight)
        r.bottom = py;
    return r;
}

Box WithMinimumSize(const Box &w, QSize minimum)
{
    Box r = w;
    if (r.width() < minimum.width())
        r.right = r.left + minimum.width();
    if (r.height() < minimum.height())
        r.bottom = r.top + minimum.height();
    return r;
}

} // namespace drivora
