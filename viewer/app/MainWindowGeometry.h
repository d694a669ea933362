#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace drivora {

// A rectangle as left, top, right, bottom (right and bottom excluded), the
// form every rule of the main window's layout is written in.
struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    QRect rect() const { return QRect(left, top, width(), height()); }
    static Box at(int x, int y, int w, int h) { return {x, y, x + w, y + h}; }
    bool operator==(const Box &) const = default;
};

inline constexpr int kMainMinWidth = 1034;
inline constexpr int kMainMinHeight = 742;
inline constexpr int kBorderBand = 10;

// Border hit codes of the frameless window.
enum BorderCode {
    BorderNone = 0,
    BorderLeft = 10,
    BorderRight = 11,
    BorderTop = 12,
    BorderTopLeft = 13,
    BorderTopRight = 14,
    BorderBottom = 15,
    BorderBottomLeft = 16,
    BorderBottomRight = 17,
};

// The largest 16:9 rectangle centred in a box (full width or full height).
Box FitSixteenByNine(const Box &box);

// Where every child of the main window goes for a client size and view mode
// (1 front, 2 rear, 3 both).
struct MainLayout {
    Box videoArea, graphArea, controlBar, mapArea, listArea;
    Box frontScreen, rearScreen;
    QPoint open, capture, print, setting, zoom, about, minimise, maximise, close;
    QPoint frontButton, rearButton, allChannelsButton;
    Box timePanel, gsensorPanel, graph, timeline;
    int graphDivision = 0; // the graph's division width u
    int transportX0 = 0;
    QPoint prev, rewind, play, forward, next, speedButton, speedSlider, brightButton, brightnessSlider, mute,
        volume, speedGauge;
    QPoint mapLabel, mapButton;
    Box mapPanel; // the map panel and both picture panels share it
    Box positionPanel;
    Box listLabel;
    Box listFolder; // the open folder, named above the list
    QPoint allKindsButton, eventButton, normalButton, parkingButton;
    Box list;
};
MainLayout ComputeMainLayout(QSize client, int viewMode);

// The video area on the whole screen: the channels of the view mode, each
// as large as 16:9 allows (both: side by side, halves of the screen); the
// screen of a channel not shown is empty.
struct FullScreenVideo {
    Box front, rear;
};
FullScreenVideo ComputeFullScreenVideo(QSize screen, int viewMode);

// The border under a client point (0 where there is none); the caller skips
// the test while the window is maximised.
int BorderHitTest(QPoint client, QSize clientSize);

// The window rectangle after a border drag: `pointer` is relative to the
// window's origin; a left or top edge dragged past the minimum size pins at
// it, with the opposite edge kept.
Box BorderDrag(const Box &window, int edge, QPoint pointer, QSize minimum = {kMainMinWidth, kMainMinHeight});

// A proposed window rectangle raised to the minimum size (right and bottom
// move), as every move and resize of the main window is.
Box WithMinimumSize(const Box &window, QSize minimum = {kMainMinWidth, kMainMinHeight});

} // namespace drivora
