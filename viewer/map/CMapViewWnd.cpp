#include "CMapViewWnd.h"

#include "MapScript.h"
#include "app/ViewerIds.h"
#include "catalogue/AppPaths.h"
#include "controls/SkinnedControls.h"

#include <QFileInfo>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>

namespace drivora {

CMapViewWnd::CMapViewWnd(QWidget *parent) : QWebEngineView(parent)
{
    setObjectName(QStringLiteral("MapView"));
    setProperty("controlId", int(ids::WebMap));
    setContextMenuPolicy(Qt::NoContextMenu);
    // The tile servers ask programs to say who they are.
    QWebEngineProfile *profile = page()->profile();
    if (!profile->httpUserAgent().contains(QLatin1String("DrivoraViewer")))
        profile->setHttpUserAgent(profile->httpUserAgent() + QStringLiteral(" DrivoraViewer (KVR-2650 dashboard camera viewer)"));
    setGeometry(0, 0, 300, 300);
    connect(this, &QWebEngineView::loadStarted, this, [this] {
        m_loading = true;
        m_ready = false;
    });
    connect(this, &QWebEngineView::loadFinished, this, [this](bool ok) {
        m_loading = false;
        m_ready = ok;
        if (ok) {
            if (!m_waitingRoute.isEmpty())
                CallPageScript(m_waitingRoute);
            if (!m_waitingMove.isEmpty())
                CallPageScript(m_waitingMove);
            if (m_waitingCenter)
                CenterMap();
        }
        m_waitingRoute.clear();
        m_waitingMove.clear();
        m_waitingCenter = false;
        emit pageReady(ok);
    });
}

QString CMapViewWnd::MapPagePath()
{
    const QString folder = GetAppDirectory();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/map/Map.htm");
}

void CMapViewWnd::NavigateMapPage()
{
    const QString page = MapPagePath();
    if (page.isEmpty())
        return;
    m_loading = true;
    m_ready = false;
    load(QUrl::fromLocalFile(page));
}

void CMapViewWnd::UpdateMapPosition(uint32_t positionMs)
{
    if (const std::optional<QString> script = MarkerScriptAt(GpsTrack(), positionMs))
        CallPageScript(*script);
}

void CMapViewWnd::ShowRoute(const std::vector<const TelemetryTrack<CGPSData> *> &tracks)
{
    CallPageScript(RouteScript(tracks));
}

void CMapViewWnd::CenterMap()
{
    CallPageScript(QString::fromLatin1(kCenterScript));
}

void CMapViewWnd::CallPageScript(const QString &script, std::function<void(const QString &)> done)
{
    const PageCall call = ParsePageScript(script);
    const QString source = PageCallSource(call);
    if (source.isEmpty() || !m_ready) {
        if (m_loading && (call.function == QLatin1String("showRoute") || call.function == QLatin1String("clearRoute")))
            m_waitingRoute = script;
        else if (m_loading && call.function == QLatin1String("positionChange"))
            m_waitingMove = script;
        else if (m_loading && call.function == QLatin1String("toCenter"))
            m_waitingCenter = true;
        if (done)
            done(QString());
        return;
    }
    send(source, std::move(done));
}

void CMapViewWnd::send(const QString &source, std::function<void(const QString &)> done)
{
    ++m_sent;
    if (done)
        page()->runJavaScript(source, [done](const QVariant &result) { done(result.toString()); });
    else
        page()->runJavaScript(source);
}

void CMapViewWnd::AttachMapView(CDvMapPanelCtrl *panel)
{
    if (auto *old = qobject_cast<CDvMapPanelCtrl *>(parentWidget()); old && old != panel)
        old->setHostedWindow(nullptr);
    if (parentWidget() != panel)
        setParent(panel);
    if (panel) {
        panel->setHostedWindow(this);
        setGeometry(0, 0, panel->width(), panel->height());
        show();
    }
    CenterMap();
}

} // namespace drivora
