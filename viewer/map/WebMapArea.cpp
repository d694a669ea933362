#include "WebMapArea.h"

#include "catalogue/Telemetry.h"
#include "controls/SkinnedControls.h"

namespace drivora {

WebMapArea::WebMapArea(const MapHost &host, IConnectivity &connectivity, QObject *parent)
    : QObject(parent), m_host(host), m_rules(*this, connectivity)
{
    m_window = new CMapDlg(host.window);
    m_window->hide();
    connect(m_window, &CMapDlg::closeRequested, this, &WebMapArea::dock);
}

WebMapArea::~WebMapArea()
{
    // The view and the map window belong to the main window's tree.
}

void WebMapArea::start()
{
    if (m_view)
        return;
    m_view = new CMapViewWnd(m_host.mapPanel);
    m_rules.start();
    if (m_loadBeforeStart)
        recordingLoaded(*std::exchange(m_loadBeforeStart, std::nullopt));
}

void WebMapArea::recordingLoaded(bool samples)
{
    if (!m_view) {
        m_loadBeforeStart = samples;
        return;
    }
    m_rules.recordingLoaded(samples);
    m_view->ShowRoute({&GpsTrack()});
}

void WebMapArea::showRoute(const std::vector<const TelemetryTrack<CGPSData> *> &tracks)
{
    if (m_view)
        m_view->ShowRoute(tracks);
}

void WebMapArea::updatePosition(int64_t positionMs)
{
    const uint32_t ms = uint32_t(std::max<int64_t>(positionMs, 0));
    if (m_view)
        m_view->UpdateMapPosition(ms);
    CDvTextCtrl *line = m_window->positionPanel();
    float lat = 0, lon = 0;
    line->positionValid = GetPositionAt(ms, lat, lon);
    if (line->positionValid) {
        line->latitude = lat;
        line->longitude = lon;
    }
    line->update();
}

void WebMapArea::undock()
{
    if (m_view)
        m_rules.undock();
}

void WebMapArea::dock()
{
    if (m_view)
        m_rules.dock();
}

void WebMapArea::navigateMapPage()
{
    m_view->NavigateMapPage();
}

void WebMapArea::attachMapView(MapPlacement where)
{
    m_view->AttachMapView(where == MapPlacement::Floating ? m_window->mapPanel() : m_host.mapPanel);
}

void WebMapArea::showMapWindow(bool on)
{
    m_window->setVisible(on);
    if (on)
        m_window->raise();
}

void WebMapArea::showMapPanel(bool on)
{
    m_host.mapPanel->setVisible(on);
}

void WebMapArea::showNoDataPanel(bool on)
{
    m_host.noDataPanel->setVisible(on);
    if (on)
        m_host.noDataPanel->raise();
}

void WebMapArea::showNoConnectionPanel(bool on)
{
    m_host.noConnectionPanel->setVisible(on);
    if (on)
        m_host.noConnectionPanel->raise();
}

void WebMapArea::showMapButton(bool on)
{
    m_host.mapButton->setVisible(on);
}

void WebMapArea::showMapLabel(bool on)
{
    m_host.mapLabel->setVisible(on);
}

bool WebMapArea::positionPanelShown() const
{
    return !m_host.positionPanel->isHidden();
}

void WebMapArea::showPositionPanel(bool on)
{
    m_host.positionPanel->setVisible(on);
}

} // namespace drivora
