#include "catalogue/Telemetry.h"
#include "controls/CDvGsensorCtrl.h"
#include "app/ViewerIds.h"
#include "controls/MainMenu.h"

#include <QMap>
#include <gtest/gtest.h>

#include <string>

using namespace drivora;

namespace {

QColor at(const QImage &image, int x, int y)
{
    return image.pixelColor(x, y);
}

void addSample(int x, int y, int z, uint32_t stamp)
{
    std::string record = "M";
    record += char(uint8_t(128 - x));
    record += char(uint8_t(128 - y));
    record += char(uint8_t(128 - z));
    AddTelemetryRecord(record, stamp);
}

} // namespace

TEST(GsensorGraph, SeriesStartAtTheCentreAndCloseHorizontally)
{
    GSensorTrack().clear();
    CDvGsensorCtrl graph;
    const QSize size(600, 100); // plot 20..584, centre 52, 42 pixels for 64 units
    const QColor background(10, 10, 10), orange(255, 100, 0), yellow(255, 255, 0), green(0, 255, 0);

    // Only the grid and labels without samples.
    QImage empty = graph.render(size);
    EXPECT_EQ(at(empty, 20, 30), QColor(120, 120, 120)) << "left edge line";
    EXPECT_EQ(at(empty, 584, 30), QColor(120, 120, 120)) << "right edge line";
    EXPECT_EQ(at(empty, 400, 31), background);

    addSample(32, -32, 0, 30000);   // half way, +1 g, -1 g, 0
    addSample(64, 64, 64, 90000);   // past the span: not drawn
    const QImage image = graph.render(size);
    // x: from (20, 52) up to (302, 31), then level to the right edge.
    EXPECT_EQ(at(image, 500, 31), orange) << "closing line at the height of the last point drawn";
    EXPECT_EQ(at(image, 583, 31), orange);
    EXPECT_EQ(at(image, 500, 73), yellow);
    EXPECT_EQ(at(image, 500, 52), green) << "z along the centre line";
    EXPECT_EQ(at(image, 21, 52), green) << "every series starts at the centre line";
    EXPECT_EQ(at(image, 500, 10), background) << "the sample past the span is left out";

    // The span set by the player stretches the time axis.
    graph.setPlotSpanMs(120000);
    const QImage wide = graph.render(size);
    EXPECT_EQ(at(wide, 500, 10), green) << "now within the span: all three at the top, z drawn last";
    GSensorTrack().clear();
}

TEST(MainContextMenu, ItemsAndCommands)
{
    QMenu menu;
    std::vector<int> chosen;
    FillMainContextMenu(menu, [&chosen](int id) { chosen.push_back(id); });
    std::vector<int> ids;
    QStringList captions;
    QMap<int, QString> keys;
    std::function<void(QMenu *)> walk = [&](QMenu *m) {
        for (QAction *a : m->actions()) {
            if (a->menu()) {
                captions << a->text();
                walk(a->menu());
            } else {
                ids.push_back(a->data().toInt());
                keys.insert(a->data().toInt(), a->text().section(QLatin1Char('\t'), 1));
            }
        }
    };
    walk(&menu);
    std::vector<int> expected;
    for (int id = 32810; id <= 32822; ++id)
        expected.push_back(id);
    // The viewer's additions come after the menu's own items, behind a separator.
    expected.insert(expected.end(), {0, ids::MenuFrameNext, ids::MenuFramePrevious, ids::MenuToStart, ids::MenuToEnd,
                                     ids::MenuFullScreen, ids::MenuNextImpact, ids::MenuPreviousImpact,
                                     ids::MenuTripView});
    EXPECT_EQ(ids, expected);
    // Each item the window has a key for shows it.
    const QMap<int, QString> shown = {{ids::MenuOpen, "Ctrl+O"},   {ids::MenuPlayPause, "Space"},
                                      {ids::MenuPrevious, "PgUp"}, {ids::MenuNext, "PgDown"},
                                      {ids::MenuFaster, "]"},      {ids::MenuSlower, "["},
                                      {ids::MenuVolumeUp, "↑"},    {ids::MenuVolumeDown, "↓"},
                                      {ids::MenuMute, "M"},        {ids::MenuFrameNext, "."},
                                      {ids::MenuFramePrevious, ","}, {ids::MenuToStart, "Home"},
                                      {ids::MenuToEnd, "End"},     {ids::MenuFullScreen, "F11"},
                                      {ids::MenuNextImpact, "Ctrl+→"}, {ids::MenuPreviousImpact, "Ctrl+←"}};
    for (auto it = shown.cbegin(); it != shown.cend(); ++it)
        EXPECT_EQ(keys.value(it.key()), it.value()) << it.key();
    EXPECT_EQ(captions, QStringList({QStringLiteral("밝기"), QStringLiteral("속도"), QStringLiteral("볼륨")}));
    menu.actions().at(1)->trigger();
    EXPECT_EQ(chosen, std::vector<int>{32811});
}
