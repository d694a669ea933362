// The web map on a real web engine with the product's page from the build
// folder: marker moves, script calls that cannot run anything but the named
// function, docking without reloading, and the map area's choices on the
// assembled main window.
#include "app/CDrivoraViewerDlg.h"
#include "catalogue/Telemetry.h"
#include "controls/SkinnedControls.h"
#include "map/CMapViewWnd.h"
#include "map/WebMapArea.h"
#include "settings/ViewerOptions.h"
#include "support/GpsFixes.h"
#include "support/Recordings.h"
#include "support/Wait.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <gtest/gtest.h>

using namespace drivora;
using testsupport::WaitFor;

namespace {

// Runs a piece of script in the page (the test's own probe, not the
// product's way in) and waits for its value.
QVariant Evaluate(QWebEngineView *view, const QString &source)
{
    QVariant value;
    bool done = false;
    view->page()->runJavaScript(source, [&](const QVariant &v) {
        value = v;
        done = true;
    });
    EXPECT_TRUE(WaitFor([&] { return done; })) << source.toStdString();
    return value;
}

QString CallAndWait(CMapViewWnd *view, const QString &script)
{
    QString result;
    bool done = false;
    view->CallPageScript(script, [&](const QString &r) {
        result = r;
        done = true;
    });
    EXPECT_TRUE(WaitFor([&] { return done; })) << script.toStdString();
    return result;
}

// The marker within a pixel of the map's middle (centring works in whole pixels).
bool MarkerInTheMiddle(QWebEngineView *view)
{
    return Evaluate(view, QStringLiteral("(function() { var p = map.latLngToContainerPoint(marker.getLatLng()),"
                                         " s = map.getSize(); return Math.abs(p.x - s.x / 2) <= 1 &&"
                                         " Math.abs(p.y - s.y / 2) <= 1; })()"))
        .toBool();
}


class FakeNet : public IConnectivity {
public:
    bool isOnline() override { return online; }
    bool online = true;
};

class WebMap : public ::testing::Test {
protected:
    void SetUp() override
    {
        GpsTrack().clear();
        view = std::make_unique<CMapViewWnd>();
        view->resize(400, 300);
        view->show();
        QSignalSpy ready(view.get(), &CMapViewWnd::pageReady);
        view->NavigateMapPage();
        ASSERT_TRUE(WaitFor([&] { return !ready.isEmpty(); }, 30000));
        ASSERT_TRUE(ready.first().first().toBool()) << CMapViewWnd::MapPagePath().toStdString();
    }
    void TearDown() override { GpsTrack().clear(); }
    QString marker() { return CallAndWait(view.get(), QStringLiteral("javascript:markerPosition()")); }

    std::unique_ptr<CMapViewWnd> view;
};

} // namespace

TEST_F(WebMap, TheMarkerFollowsTheTrackAndStaysWithoutAFix)
{
    EXPECT_TRUE(Evaluate(view.get(), QStringLiteral("navigator.userAgent")).toString().contains(QLatin1String("DrivoraViewer")))
        << "tile servers are told who asks";
    EXPECT_EQ(marker(), QString()) << "no marker before the first fix";
    GpsTrack().append(testsupport::GpsFix(1000, 1, 3733.9921, 12658.6781));
    GpsTrack().append(testsupport::GpsFix(2000, 0, 0, 0));
    GpsTrack().append(testsupport::GpsFix(3000, 1, -3351.8123, 15112.4567));

    view->UpdateMapPosition(500);
    EXPECT_TRUE(WaitFor([&] { return marker() == QLatin1String("37.566535,126.977968"); }));
    view->UpdateMapPosition(2500);
    EXPECT_TRUE(WaitFor([&] { return marker() == QLatin1String("-33.863538,151.207612"); }));

    const uint64_t sent = view->scriptsSent();
    view->UpdateMapPosition(1500); // the sample there is not a fix
    view->UpdateMapPosition(3001); // past the last sample
    EXPECT_EQ(view->scriptsSent(), sent) << "no call for an invalid fix or past the end";
    EXPECT_EQ(marker(), QLatin1String("-33.863538,151.207612"));

    // Centring puts the marker in the middle of the map.
    Evaluate(view.get(), QStringLiteral("map.panBy([120, 80], {animate: false}); true"));
    EXPECT_FALSE(MarkerInTheMiddle(view.get()));
    view->CenterMap();
    EXPECT_TRUE(WaitFor([&] { return MarkerInTheMiddle(view.get()); }));
}

TEST_F(WebMap, ScriptTextsCallOnlyTheNamedFunctionWithTheirTokens)
{
    Evaluate(view.get(), QStringLiteral("window.calls = [];"
                                        "window.probe = function() { calls.push(Array.from(arguments)); return 'ok'; };"
                                        "true"));
    struct Case {
        QString script;
        QString result;     // what the call answers
        QStringList tokens; // what the function received; no entry: not called
        bool called = true;
    } cases[] = {
        {QStringLiteral("javascript:probe('37.566535', '126.977969')"), "ok", {"37.566535", "126.977969"}},
        {QStringLiteral("probe()"), "ok", {}},                                              // no prefix
        {QStringLiteral("javascript:probe('two words')"), "ok", {"two", "words"}},         // a blank splits
        {QStringLiteral("javascript:probe(\"quoted\",'x';y)"), "ok", {"quoted", "x", "y"}}, // quotes dropped
        {QStringLiteral("javascript:probe"), "", {}, false},                                 // no "("
        {QString(), "", {}, false},
        // Hostile texts: each arrives as a plain string, nothing else runs.
        {QStringLiteral("javascript:probe(a\\\\b\\)"), "ok", {"a\\\\b\\"}},
        {QStringLiteral("javascript:probe(</script><script>window.pwned=1</script>)"), "ok",
         {"</script><script>window.pwned=1</script>"}},
        {QStringLiteral("javascript:probe(x") + QChar(0x2028) + QStringLiteral("window.pwned=1)"), "ok",
         {QStringLiteral("x") + QChar(0x2028) + QStringLiteral("window.pwned=1")}},
        {QStringLiteral("javascript:probe(alert(1))"), "ok", {"alert", "1"}},
        {QStringLiteral("javascript:probe(\\u0022]);window.pwned=1;//)"), "ok", {"\\u0022]", "window.pwned=1", "//"}},
        {QStringLiteral("javascript:probe`${window.pwned=1}`(1)"), "", {}, false},
        {QStringLiteral("javascript:window.pwned=1;probe(1)"), "", {}, false},
        {QStringLiteral("javascript:probe\");window.pwned=1;//(1)"), "", {}, false},
        {QStringLiteral("javascript:constructor(1)"), "", {}, false},
        {QStringLiteral("javascript:noSuchFunction(1)"), "", {}, false},
    };
    QJsonArray expected;
    for (const Case &c : cases) {
        EXPECT_EQ(CallAndWait(view.get(), c.script), c.result) << c.script.toStdString();
        if (c.called)
            expected.append(QJsonArray::fromStringList(c.tokens));
    }
    const QString calls = Evaluate(view.get(), QStringLiteral("JSON.stringify(calls)")).toString();
    EXPECT_EQ(QJsonDocument::fromJson(calls.toUtf8()).array(), expected) << calls.toStdString();
    EXPECT_EQ(Evaluate(view.get(), QStringLiteral("typeof window.pwned")).toString(), QLatin1String("undefined"));

    // The page's own function takes hostile arguments without harm.
    CallAndWait(view.get(), QStringLiteral("javascript:positionChange('37.5', '127.0')"));
    CallAndWait(view.get(), QStringLiteral("javascript:positionChange(</script>, alert(1))"));
    EXPECT_EQ(marker(), QLatin1String("37.500000,127.000000"));
    EXPECT_EQ(Evaluate(view.get(), QStringLiteral("typeof window.pwned")).toString(), QLatin1String("undefined"));
}

TEST_F(WebMap, TheRouteIsDrawnFromTheValidFixesAndCleared)
{
    GpsTrack().append(testsupport::GpsFix(0, 0, 0, 0));
    for (uint32_t i = 1; i <= 5; ++i)
        GpsTrack().append(testsupport::GpsFix(i * 1000, 1, 3733.9921 + i * 0.05, 12658.6781 + i * 0.05));
    view->ShowRoute({&GpsTrack()});
    EXPECT_TRUE(WaitFor([&] { return CallAndWait(view.get(), QStringLiteral("javascript:routePoints()")) == QLatin1String("5"); }));
    // The whole route is in sight.
    EXPECT_TRUE(Evaluate(view.get(), QStringLiteral("map.getBounds().contains([37.566535 + 0.0008, 126.977968 + 0.0008])"
                                                    " && map.getBounds().contains([37.566535 + 0.0042, 126.977968 + 0.0042])"))
                    .toBool());
    // Centred on the car at the route's start, the whole route stays in sight.
    view->UpdateMapPosition(1000);
    view->CenterMap();
    EXPECT_TRUE(WaitFor([&] { return MarkerInTheMiddle(view.get()); }));
    EXPECT_TRUE(Evaluate(view.get(), QStringLiteral("map.getBounds().contains(routeBounds)")).toBool())
        << Evaluate(view.get(), QStringLiteral("map.getBounds().toBBoxString() + ' ' + routeBounds.toBBoxString() + ' ' + map.getSize()")).toString().toStdString();
    GpsTrack().clear();
    view->ShowRoute({&GpsTrack()});
    EXPECT_TRUE(WaitFor([&] { return CallAndWait(view.get(), QStringLiteral("javascript:routePoints()")) == QLatin1String("0"); }));
}

TEST_F(WebMap, MovesWaitForThePageThatIsStillLoading)
{
    GpsTrack().append(testsupport::GpsFix(0, 1, 3733.9921, 12658.6781));
    view->NavigateMapPage(); // loads again
    view->UpdateMapPosition(0);
    EXPECT_TRUE(WaitFor([&] { return view->isPageReady(); }, 30000));
    EXPECT_TRUE(WaitFor([&] { return marker() == QLatin1String("37.566535,126.977968"); }))
        << "the move made while loading arrives once the page is there";
}

namespace {

// The assembled main window on a card of two recordings, one with GPS and
// one whose camera had no GPS receiver, with the connectivity answer forced.
class MapArea : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_card = new QTemporaryDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, s_card->path());
        QDir(s_card->path()).mkpath(QStringLiteral("DRIVE"));
        testsupport::SmallRecording withGps;
        withGps.fileName = "REC_20240315_081500_0.AVI";
        withGps.seconds = 2;
        ASSERT_TRUE(testsupport::MakeRecording(gpsFile().toStdString(), withGps));
        testsupport::SmallRecording noGps = withGps;
        noGps.fileName = "REC_20240315_081530_0.AVI";
        noGps.gps = false;
        ASSERT_TRUE(testsupport::MakeRecording(noGpsFile().toStdString(), noGps));
    }
    static void TearDownTestSuite()
    {
        delete s_card;
        s_card = nullptr;
    }
    static QString gpsFile() { return s_card->filePath(QStringLiteral("DRIVE/REC_20240315_081500_0.AVI")); }
    static QString noGpsFile() { return s_card->filePath(QStringLiteral("DRIVE/REC_20240315_081530_0.AVI")); }

    void SetUp() override
    {
        SetOptionFilePathForTesting(m_config.filePath(QStringLiteral("option.ini")));
        ViewerOptions::instance() = ViewerOptions();
        window = std::make_unique<CDrivoraViewerDlg>();
        window->show();
        area = std::make_unique<WebMapArea>(window->mapHost(), net);
        window->setMapArea(area.get());
    }
    void TearDown() override
    {
        window->setMapArea(nullptr);
        area.reset();
        window.reset();
    }
    void start()
    {
        area->start();
        loads = std::make_unique<QSignalSpy>(area->view(), &QWebEngineView::loadStarted);
    }
    void load(const QString &file) { window->openPaths({file}); }
    bool shown(QWidget *w) const { return !w->isHidden(); }

    QTemporaryDir m_config;
    FakeNet net;
    std::unique_ptr<CDrivoraViewerDlg> window;
    std::unique_ptr<WebMapArea> area;
    std::unique_ptr<QSignalSpy> loads;
    static QTemporaryDir *s_card;
};
QTemporaryDir *MapArea::s_card = nullptr;

} // namespace

TEST_F(MapArea, StartUpOnlineAndOffline)
{
    const MapHost host = window->mapHost();
    EXPECT_FALSE(shown(host.mapButton)) << "hidden until the connection is known";
    net.online = false;
    start();
    EXPECT_TRUE(shown(host.noConnectionPanel));
    EXPECT_FALSE(shown(host.mapButton));
    EXPECT_FALSE(area->rules().pageLoaded());
    EXPECT_EQ(area->view()->parentWidget(), host.mapPanel);

    TearDown();
    SetUp();
    net.online = true;
    start();
    const MapHost online = window->mapHost();
    EXPECT_FALSE(shown(online.noConnectionPanel));
    EXPECT_TRUE(shown(online.mapButton));
    EXPECT_TRUE(area->rules().pageLoaded());
    EXPECT_TRUE(WaitFor([&] { return area->view()->isPageReady(); }, 30000));
}

TEST_F(MapArea, EachLoadChoosesMapOrPictureDockedAndFloating)
{
    const MapHost host = window->mapHost();
    start();
    ASSERT_TRUE(WaitFor([&] { return area->view()->isPageReady(); }, 30000));
    loads->clear();
    CMapViewWnd *const theView = area->view();

    struct Step {
        const char *name;
        std::function<void()> act;
        bool floating, mapPanel, noData, noConnection, mapButton;
    } steps[] = {
        {"GPS online, docked", [&] { load(gpsFile()); }, false, true, false, false, true},
        {"undocked", [&] { window->command(ids::Map); }, true, true, false, false, false},
        {"GPS offline, floating: the window stays open", [&] { net.online = false; load(gpsFile()); }, true, false,
         false, true, false},
        {"no GPS, floating: docks", [&] { load(noGpsFile()); }, false, false, true, false, false},
        {"GPS offline, docked", [&] { load(gpsFile()); }, false, false, false, true, false},
        {"the connection comes back", [&] { net.online = true; load(gpsFile()); }, false, true, false, false, true},
        {"undocked again, then closed", [&] { window->command(ids::Map); area->mapWindow()->closeButton()->click(); },
         false, true, false, false, true},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.name);
        s.act();
        EXPECT_EQ(area->view(), theView) << "one view, never a second";
        EXPECT_EQ(area->rules().placement() == MapPlacement::Floating, s.floating);
        EXPECT_EQ(shown(area->mapWindow()), s.floating);
        EXPECT_EQ(theView->parentWidget(), s.floating ? static_cast<QWidget *>(area->mapWindow()->mapPanel())
                                                      : static_cast<QWidget *>(host.mapPanel));
        EXPECT_EQ(shown(host.mapPanel), s.mapPanel);
        EXPECT_EQ(shown(host.noDataPanel), s.noData);
        EXPECT_EQ(shown(host.noConnectionPanel), s.noConnection);
        EXPECT_EQ(shown(host.mapButton), s.mapButton);
        EXPECT_EQ(shown(host.mapLabel), !s.floating);
        EXPECT_EQ(shown(host.positionPanel), !s.floating);
    }
    EXPECT_TRUE(WaitFor([&] { return loads->size() >= 1 && theView->isPageReady(); }, 30000));
    EXPECT_EQ(loads->size(), 1) << "the page loaded again once, when the connection came back";
}

TEST_F(MapArea, DockingMovesTheSameViewWithoutReloadingAndCentresIt)
{
    start();
    ASSERT_TRUE(WaitFor([&] { return area->view()->isPageReady(); }, 30000));
    loads->clear();
    load(gpsFile());
    CMapViewWnd *view = area->view();
    // The marker of the playing recording, centred, wherever the view goes.
    QString first;
    ASSERT_TRUE(WaitFor([&] { return !(first = CallAndWait(view, QStringLiteral("javascript:markerPosition()"))).isEmpty(); }));
    window->transport().pause();
    const QString at = CallAndWait(view, QStringLiteral("javascript:markerPosition()"));
    for (const bool floating : {true, false, true}) {
        SCOPED_TRACE(floating ? "undocked" : "docked");
        Evaluate(view, QStringLiteral("map.panBy([90, 60], {animate: false}); true"));
        ASSERT_FALSE(MarkerInTheMiddle(view));
        if (floating)
            window->command(ids::Map);
        else
            area->mapWindow()->closeButton()->click();
        CDvMapPanelCtrl *panel = floating ? area->mapWindow()->mapPanel() : window->mapHost().mapPanel;
        EXPECT_EQ(view->parentWidget(), panel);
        EXPECT_EQ(panel->hostedWindow(), view);
        EXPECT_EQ(view->geometry(), QRect(QPoint(0, 0), panel->size()));
        EXPECT_EQ(CallAndWait(view, QStringLiteral("javascript:markerPosition()")), at) << "the page was not reloaded";
        EXPECT_TRUE(WaitFor([&] { return MarkerInTheMiddle(view); }));
    }
    EXPECT_EQ(window->mapHost().mapPanel->hostedWindow(), nullptr) << "the old panel forgot the view";
    EXPECT_EQ(loads->size(), 0);
}

TEST_F(MapArea, TheTripsRouteIsDrawnWholeAndInSight)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("DRIVE"));
    for (int i = 0; i < 2; ++i) {
        testsupport::SmallRecording r;
        r.fileName = i == 0 ? "REC_20240315_081500_0.AVI" : "REC_20240315_081530_0.AVI";
        r.seconds = 30;
        r.fps = 5;
        r.videoKbps = 100;
        r.startSeconds = 30 * i;
        r.startUtc += 30 * i;
        ASSERT_TRUE(testsupport::MakeRecording(dir.filePath(QStringLiteral("DRIVE/") + QLatin1String(r.fileName.c_str())).toStdString(), r));
    }
    start();
    ASSERT_TRUE(WaitFor([&] { return area->view()->isPageReady(); }, 30000));
    window->openPaths({dir.path()});
    window->transport().pause();
    CMapViewWnd *view = area->view();
    auto points = [&] { return CallAndWait(view, QStringLiteral("javascript:routePoints()")).toInt(); };
    ASSERT_TRUE(WaitFor([&] { return points() > 20; }));
    const int one = points();
    window->setTripView(true);
    EXPECT_TRUE(WaitFor([&] { return points() > one + 20; })) << points() << " after " << one;
    EXPECT_TRUE(WaitFor([&] { return Evaluate(view, QStringLiteral("map.getBounds().contains(routeBounds)")).toBool(); }))
        << Evaluate(view, QStringLiteral("map.getBounds().toBBoxString() + ' ' + routeBounds.toBBoxString() + ' ' + map.getSize() + ' ' + map.getZoom()")).toString().toStdString();
    window->setTripView(false);
    EXPECT_TRUE(WaitFor([&] { return points() == one; }));
}

TEST_F(MapArea, TheMapWindowsPositionLineFollowsEveryTick)
{
    net.online = false; // the line is kept whether or not the map shows
    start();
    load(gpsFile());
    CDvTextCtrl *line = area->mapWindow()->positionPanel();
    EXPECT_TRUE(WaitFor([&] { return line->latitude > 37.0f && line->latitude < 38.0f; }));
    EXPECT_GT(line->longitude, 126.0f);
    EXPECT_EQ(line->latitude, window->mapHost().positionPanel->latitude);
}
