// The map area with the web map: the map view, the floating map window and
// the rules that choose between map and picture panels.
#pragma once

#include "CMapViewWnd.h"
#include "MapPanels.h"
#include "MapRules.h"
#include "app/MapArea.h"

#include <QObject>

#include <optional>

namespace drivora {

class WebMapArea final : public QObject, public IMapArea, private IMapPanels {
    Q_OBJECT
public:
    WebMapArea(const MapHost &host, IConnectivity &connectivity, QObject *parent = nullptr);
    ~WebMapArea() override;

    // Makes the web view (the costly part: call it once the window shows
    // its first picture) and takes the start-up decision. A recording
    // loaded before is decided for then.
    void start();
    bool isStarted() const { return m_view != nullptr; }

    // IMapArea
    void recordingLoaded(bool samples) override;
    void updatePosition(int64_t positionMs) override;
    void undock() override;
    QWidget *mapPicture() const override { return m_view; }
    void showRoute(const std::vector<const TelemetryTrack<CGPSData> *> &tracks) override;
    void dock();

    CMapViewWnd *view() const { return m_view; }
    CMapDlg *mapWindow() const { return m_window; }
    const MapRules &rules() const { return m_rules; }

private:
    // IMapPanels
    void navigateMapPage() override;
    void attachMapView(MapPlacement where) override;
    void showMapWindow(bool on) override;
    void showMapPanel(bool on) override;
    void showNoDataPanel(bool on) override;
    void showNoConnectionPanel(bool on) override;
    void showMapButton(bool on) override;
    void showMapLabel(bool on) override;
    bool positionPanelShown() const override;
    void showPositionPanel(bool on) override;

    MapHost m_host;
    CMapViewWnd *m_view = nullptr;
    CMapDlg *m_window = nullptr;
    MapRules m_rules;
    std::optional<bool> m_loadBeforeStart;
};

} // namespace drivora
