// The map's logic without a web engine: script texts to calls, positions to
// marker moves, the floating window's geometry, the magnifier's source, the
// connectivity answer and the rules that choose what the map area shows.
#include "app/ZoomGeometry.h"
#include "map/Connectivity.h"
#include "map/MapGeometry.h"
#include "map/MapRules.h"
#include "map/MapScript.h"
#include "support/GpsFixes.h"

#include <QTemporaryDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace drivora;

namespace drivora {
static void PrintTo(const PageCall &c, std::ostream *os)
{
    *os << c.function.toStdString() << "(" << c.arguments.join(QLatin1Char('|')).toStdString() << ")";
}
static void PrintTo(const Box &b, std::ostream *os)
{
    *os << "(" << b.left << ", " << b.top << ", " << b.right << ", " << b.bottom << ")";
}
} // namespace drivora

TEST(MapScript, TextsBecomeAFunctionAndStringArguments)
{
    struct Case {
        const char *script;
        PageCall call;
    } cases[] = {
        {"javascript:positionChange('37.566535', '126.977969')", {"positionChange", {"37.566535", "126.977969"}}},
        {"toCenter()", {"toCenter", {}}},                                     // no prefix
        {"  javascript:  toCenter ( ) ", {"toCenter", {}}},                   // name trimmed
        {"javascript:f('a b')", {"f", {"a", "b"}}},                           // a blank splits an argument
        {"javascript:f(\"x\",,;;'y'\t(z))", {"f", {"x", "y", "z"}}},          // quotes dropped, no empty tokens
        {"see javascript:f(1) and javascript:g(2)", {"f", {"1", "and", "javascript:g", "2"}}},
        {"javascript:toCenter", {}},                                          // no "(": no function
        {"", {}},
        {"javascript:(1)", {"", {"1"}}},                                      // no name
        {"javascript:f(서울)", {"f", {QString::fromUtf8("서울")}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ParsePageScript(QString::fromUtf8(c.script)), c.call) << c.script;
    EXPECT_EQ(PageCallSource(ParsePageScript(QStringLiteral("javascript:toCenter"))), QString());
    EXPECT_EQ(PageCallSource(ParsePageScript(QStringLiteral("javascript:(1)"))), QString());
}

TEST(MapScript, TextsReachTheScriptOnlyAsStringLiterals)
{
    struct Case {
        QString text, literal;
    } cases[] = {
        {QStringLiteral("37.566535"), QStringLiteral("\"37.566535\"")},
        {QStringLiteral("a\\\"b"), QStringLiteral("\"a\\\\\\\"b\"")},
        {QStringLiteral("</script>"), QStringLiteral("\"</script>\"")},
        {QString(QChar(0x2028)) + QChar(0x2029), QStringLiteral("\"\\u2028\\u2029\"")},
        {QStringLiteral("\n\r\t"), QStringLiteral("\"\\u000a\\u000d\\u0009\"")},
        {QString::fromUtf8("도"), QStringLiteral("\"\\ub3c4\"")},
        {QString(QChar(0xDC80)), QStringLiteral("\"\\udc80\"")}, // a byte that was not UTF-8
    };
    for (const Case &c : cases)
        EXPECT_EQ(ScriptStringLiteral(c.text), c.literal) << c.text.toStdString();
    // Whatever the texts hold, the source is pure ASCII and only names them.
    const QString source = PageCallSource({QStringLiteral("f\");alert(1);//"), {QStringLiteral("\\"), QStringLiteral("`${x}`")}});
    EXPECT_TRUE(source.contains(QStringLiteral("(\"f\\\");alert(1);//\",[\"\\\\\",\"`${x}`\"])"))) << source.toStdString();
    for (const QChar c : source)
        EXPECT_LT(c.unicode(), 0x7F);
}

TEST(MapScript, MarkerMovesFollowTheTrack)
{
    EXPECT_NEAR(NmeaToDegrees(3733.9921), 37.566535, 5e-7);
    EXPECT_NEAR(NmeaToDegrees(-3733.9921), -37.566535, 5e-7); // truncated toward zero: symmetric
    EXPECT_NEAR(NmeaToDegrees(12658.6781), 126.977968, 5e-7);
    EXPECT_EQ(NmeaToDegrees(0), 0);

    TelemetryTrack<CGPSData> track;
    EXPECT_FALSE(MarkerScriptAt(track, 0)) << "no samples";
    track.append(testsupport::GpsFix(1000, 1, 3733.9921, 12658.6781));
    track.append(testsupport::GpsFix(2000, 0, 0, 0));
    track.append(testsupport::GpsFix(3000, 1, -3733.9921, -12658.6781));
    struct Case {
        uint32_t at;
        const char *script; // nullptr: no call
    } cases[] = {
        {0, "javascript:positionChange('37.566535', '126.977968')"},
        {1000, "javascript:positionChange('37.566535', '126.977968')"},
        {1001, nullptr}, // the next sample is not a fix
        {2500, "javascript:positionChange('-37.566535', '-126.977968')"},
        {3000, "javascript:positionChange('-37.566535', '-126.977968')"},
        {3001, nullptr}, // past the last sample: the marker stays
    };
    for (const Case &c : cases) {
        const std::optional<QString> script = MarkerScriptAt(track, c.at);
        if (c.script)
            EXPECT_EQ(script.value_or(QString()), QString::fromLatin1(c.script)) << c.at;
        else
            EXPECT_FALSE(script) << c.at;
    }
}

TEST(MapScript, TheRouteTravelsAsOneArgument)
{
    TelemetryTrack<CGPSData> a, b, none;
    a.append(testsupport::GpsFix(0, 0, 0, 0, 0));
    a.append(testsupport::GpsFix(1000, 1, 3733.9921, 12658.6781, 43.24));
    b.append(testsupport::GpsFix(0, 1, -3351.8123, -15112.4567, 0));
    const QString script = RouteScript({&a, &b});
    EXPECT_EQ(script.toStdString(), "javascript:showRoute(37.566535/126.977968/43.2|-33.863538/-151.207612/0.0)");
    const PageCall call = ParsePageScript(script);
    EXPECT_EQ(call.function, QStringLiteral("showRoute"));
    EXPECT_EQ(call.arguments.size(), 1) << "no delimiter inside the route";
    EXPECT_EQ(RouteScript({&none}), QStringLiteral("javascript:clearRoute()"));
    EXPECT_EQ(RouteScript({}), QStringLiteral("javascript:clearRoute()"));
}

TEST(MapWindowGeometry, LayoutZonesAndDragsWithTheirStops)
{
    const MapWindowLayout l = ComputeMapWindowLayout({300, 300});
    EXPECT_EQ(l.close, Box::at(260, 5, 30, 24));
    EXPECT_EQ(l.mapPanel, Box::at(5, 35, 290, 235));
    EXPECT_EQ(l.caption, Box::at(5, 10, 50, 20));
    EXPECT_EQ(l.position, Box::at(5, 274, 300, 20));
    EXPECT_EQ(ComputeMapWindowLayout({640, 480}).mapPanel, Box::at(5, 35, 630, 415));

    struct Zone {
        QPoint at;
        int code;
    } zones[] = {{{0, 0}, BorderTopLeft},      {{295, 5}, BorderTopRight}, {{5, 299}, BorderBottomLeft},
                 {{299, 299}, BorderBottomRight}, {{3, 150}, BorderLeft}, {{150, 9}, BorderTop},
                 {{290, 150}, BorderRight},    {{150, 290}, BorderBottom}, {{150, 150}, BorderNone},
                 {{10, 10}, BorderNone}};
    for (const Zone &z : zones)
        EXPECT_EQ(BorderHitTest(z.at, {300, 300}), z.code) << z.at.x() << "," << z.at.y();

    const Box start{800, 100, 1200, 500}; // 400 x 400
    struct Drag {
        int edge;
        QPoint pointer; // relative to the window's origin
        Box out;
    } drags[] = {
        {BorderLeft, {50, 200}, {850, 100, 1200, 500}},
        {BorderLeft, {150, 200}, {900, 100, 1200, 500}},   // would leave 250: stops at 300
        {BorderTop, {200, 150}, {800, 200, 1200, 500}},    // stops at 300
        {BorderTopLeft, {-20, -30}, {780, 70, 1200, 500}},
        {BorderBottomRight, {500, 600}, {800, 100, 1300, 700}},
    };
    for (const Drag &d : drags)
        EXPECT_EQ(BorderDrag(start, d.edge, d.pointer, kMapWindowMinimum), d.out) << d.edge;
    // Dragging the right edge far left is held by the minimum size.
    EXPECT_EQ(WithMinimumSize(BorderDrag(start, BorderRight, {100, 200}, kMapWindowMinimum), kMapWindowMinimum),
              (Box{800, 100, 1100, 500}));
    EXPECT_EQ(CentredPicture({274, 203}, kMapPictureSize), QPoint(73, 22));
}

TEST(ZoomGeometry, TheSourceStaysOnTheScreen)
{
    const QRect screen(0, 0, 1920, 1080);
    const QSize client(425, 330); // source 141 x 110
    struct Case {
        QPoint pointer;
        QRect source;
    } cases[] = {
        {{0, 0}, {0, 0, 141, 110}},
        {{1919, 0}, {1779, 0, 141, 110}},
        {{0, 1079}, {0, 970, 141, 110}},
        {{1919, 1079}, {1779, 970, 141, 110}},
        {{960, 540}, {890, 485, 141, 110}},
        {{-50, 5000}, {0, 970, 141, 110}}, // a pointer off this screen
    };
    for (const Case &c : cases)
        EXPECT_EQ(ZoomSourceRect(screen, client, c.pointer), c.source) << c.pointer.x() << "," << c.pointer.y();
    EXPECT_EQ(ZoomSourceRect(QRect(1920, 0, 1280, 1024), client, {1920, 0}), QRect(1920, 0, 141, 110));
    for (const QSize tiny : {QSize(2, 300), QSize(300, 2), QSize(0, 0)})
        EXPECT_TRUE(ZoomSourceRect(screen, tiny, {10, 10}).isEmpty()) << tiny.width() << "x" << tiny.height();
    // A client larger than the screen three times over: the whole screen, not a source off it.
    EXPECT_EQ(ZoomSourceRect(QRect(0, 0, 100, 100), {600, 600}, {50, 50}), QRect(0, 0, 100, 100));
}

TEST(Connectivity, ForcedAnswersAndTheDefaultRoute)
{
    EXPECT_EQ(ForcedConnectivity("online"), true);
    EXPECT_EQ(ForcedConnectivity(" OFFLINE\n"), false);
    EXPECT_EQ(ForcedConnectivity(""), std::nullopt);
    EXPECT_EQ(ForcedConnectivity("yes"), std::nullopt);
    const QByteArray before = qgetenv(kNetworkOverride);
    SystemConnectivity system;
    for (const char *setting : {"offline", "online"}) {
        qputenv(kNetworkOverride, setting);
        EXPECT_EQ(system.isOnline(), setting[1] == 'n') << setting;
    }
    qputenv(kNetworkOverride, before);

    QTemporaryDir dir;
    auto write = [&dir](const char *name, const char *text) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
        return f.fileName();
    };
    const char *header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    const QString none = write("none", "");
    const QString v4Default = write("v4", (std::string(header) +
        "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n").c_str());
    const QString v4Local = write("v4local", (std::string(header) +
        "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n").c_str());
    const QString v4Down = write("v4down", (std::string(header) +
        "eth0\t00000000\t010200C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n").c_str());
    const QString v6Default = write("v6", "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                                          "fd000000000000000000000000000001 00000400 00000003 00000000 00000003 eth0\n");
    const QString v6Unreachable = write("v6lo", "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                                                "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200 lo\n");
    EXPECT_TRUE(HasDefaultRoute(v4Default, none));
    EXPECT_TRUE(HasDefaultRoute(none, v6Default));
    EXPECT_FALSE(HasDefaultRoute(v4Local, v6Unreachable));
    EXPECT_FALSE(HasDefaultRoute(v4Down, none));
    EXPECT_FALSE(HasDefaultRoute(dir.filePath("missing"), dir.filePath("missing")));
}

namespace {

// The map area's windows as a record of what is shown.
class FakePanels : public IMapPanels {
public:
    void navigateMapPage() override { ++navigations; }
    void attachMapView(MapPlacement where) override { viewIn = where; ++attaches; }
    void showMapWindow(bool on) override { mapWindow = on; }
    void showMapPanel(bool on) override { mapPanel = on; }
    void showNoDataPanel(bool on) override { noData = on; }
    void showNoConnectionPanel(bool on) override { noConnection = on; }
    void showMapButton(bool on) override { mapButton = on; }
    void showMapLabel(bool on) override { mapLabel = on; }
    bool positionPanelShown() const override { return positionPanel; }
    void showPositionPanel(bool on) override { positionPanel = on; }

    int navigations = 0, attaches = 0;
    MapPlacement viewIn = MapPlacement::Docked;
    bool mapWindow = false, mapPanel = true, noData = false, noConnection = false, mapButton = false,
         mapLabel = true, positionPanel = true;
};

class FakeNet : public IConnectivity {
public:
    bool isOnline() override { return online; }
    bool online = true;
};

} // namespace

TEST(MapRules, StartUp)
{
    for (const bool online : {true, false}) {
        FakePanels p;
        FakeNet net;
        net.online = online;
        MapRules rules(p, net);
        rules.start();
        EXPECT_EQ(p.navigations, online ? 1 : 0);
        EXPECT_EQ(rules.pageLoaded(), online);
        EXPECT_EQ(p.noConnection, !online);
        EXPECT_EQ(p.mapButton, online);
        EXPECT_TRUE(p.mapPanel) << "keeps its state";
        EXPECT_FALSE(p.noData);
        EXPECT_EQ(p.attaches, 1);
        EXPECT_EQ(p.viewIn, MapPlacement::Docked);
    }
}

TEST(MapRules, EachLoadChoosesWhatTheAreaShows)
{
    struct Case {
        const char *name;
        bool floating, samples, online;
        // after the load:
        bool floatingAfter, mapPanel, noData, noConnection, mapButton;
    } cases[] = {
        {"no GPS, docked", false, false, true, false, false, true, false, false},
        {"no GPS, floating: docks first", true, false, true, false, false, true, false, false},
        {"GPS online, docked", false, true, true, false, true, false, false, true},
        {"GPS online, floating: the button stays hidden", true, true, true, true, true, false, false, false},
        {"GPS offline, docked", false, true, false, false, false, false, true, false},
        {"GPS offline, floating: the window stays open", true, true, false, true, false, false, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakePanels p;
        FakeNet net;
        MapRules rules(p, net);
        rules.start();
        if (c.floating)
            rules.undock();
        net.online = c.online;
        rules.recordingLoaded(c.samples);
        EXPECT_EQ(rules.placement() == MapPlacement::Floating, c.floatingAfter);
        EXPECT_EQ(p.mapWindow, c.floatingAfter);
        EXPECT_EQ(p.viewIn, c.floatingAfter ? MapPlacement::Floating : MapPlacement::Docked);
        EXPECT_EQ(p.mapPanel, c.mapPanel);
        EXPECT_EQ(p.noData, c.noData);
        EXPECT_EQ(p.noConnection, c.noConnection);
        EXPECT_EQ(p.mapButton, c.mapButton);
    }
}

TEST(MapRules, AConnectionThatComesBackLoadsThePageOnce)
{
    FakePanels p;
    FakeNet net;
    net.online = false;
    MapRules rules(p, net);
    rules.start();
    rules.recordingLoaded(true);
    EXPECT_EQ(p.navigations, 0);
    net.online = true;
    rules.recordingLoaded(true);
    rules.recordingLoaded(true);
    EXPECT_EQ(p.navigations, 1);
    EXPECT_TRUE(p.mapPanel);
    EXPECT_FALSE(p.noConnection);
    net.online = false; // lost again: the page is loaded anew when it is back
    rules.recordingLoaded(true);
    net.online = true;
    rules.recordingLoaded(true);
    EXPECT_EQ(p.navigations, 2);
}

TEST(MapRules, UndockAndDockMoveTheViewAndTheMainWindowsLabels)
{
    FakePanels p;
    FakeNet net;
    MapRules rules(p, net);
    rules.start();
    rules.undock();
    EXPECT_TRUE(p.mapWindow);
    EXPECT_EQ(p.viewIn, MapPlacement::Floating);
    EXPECT_FALSE(p.mapButton);
    EXPECT_FALSE(p.mapLabel);
    EXPECT_FALSE(p.positionPanel);
    EXPECT_TRUE(rules.positionPanelHidden());
    rules.dock();
    EXPECT_FALSE(p.mapWindow);
    EXPECT_EQ(p.viewIn, MapPlacement::Docked);
    EXPECT_TRUE(p.mapButton);
    EXPECT_TRUE(p.mapLabel);
    EXPECT_TRUE(p.positionPanel);
    EXPECT_FALSE(rules.positionPanelHidden());
    EXPECT_EQ(p.attaches, 3);
}
