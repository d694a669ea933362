#include "app/MainWindowGeometry.h"
#include "app/WindowPlacement.h"

#include <gtest/gtest.h>

using namespace drivora;

// A saved place comes back where it is on a screen now, and is brought onto
// one where it is not; the window is never put where it cannot be reached.
TEST(WindowPlacement, ASavedPlaceIsKeptOnAScreen)
{
    const QSize minimum(kMainMinWidth, kMainMinHeight);
    const QRect wide(0, 0, 1920, 1040);      // primary, less its panel
    const QRect left(-1280, 0, 1280, 1024);  // a second screen left of it
    struct Case {
        const char *what;
        QRect saved;
        QList<QRect> screens;
        QRect placed;
    } cases[] = {
        {"on the screen: as it was", {100, 80, 1200, 800}, {wide}, {100, 80, 1200, 800}},
        {"on the second screen: as it was", {-1200, 50, 1100, 760}, {wide, left}, {-1200, 50, 1100, 760}},
        {"the second screen unplugged: onto the primary", {-1200, 50, 1100, 760}, {wide}, {0, 50, 1100, 760}},
        {"far off every screen: into the primary's corner", {5000, 4000, 1100, 760}, {wide, left}, {820, 280, 1100, 760}},
        {"half over the right edge: moved in", {1500, 100, 1100, 760}, {wide}, {820, 100, 1100, 760}},
        {"above the top: moved down", {200, -300, 1100, 760}, {wide}, {200, 0, 1100, 760}},
        {"larger than the screen now: shrunk to it", {0, 0, 2560, 1400}, {wide}, {0, 0, 1920, 1040}},
        {"mostly on the second screen: whole on it", {-1000, 100, 1100, 760}, {wide, left}, {-1100, 100, 1100, 760}},
        {"a screen smaller than the window's minimum: the minimum at its corner",
         {300, 200, 1100, 760}, {QRect(0, 0, 800, 600)}, {0, 0, kMainMinWidth, kMainMinHeight}},
        {"no screen: as it was", {100, 80, 1200, 800}, {}, {100, 80, 1200, 800}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PlaceOnScreens(c.saved, c.screens, minimum), c.placed) << c.what;
}
