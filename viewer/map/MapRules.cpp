#include "MapRules.h"

namespace drivora {

void MapRules::start()
{
    if (m_net.isOnline()) {
        m_pageLoaded = true;
        m_panels.navigateMapPage();
        m_panels.showNoConnectionPanel(false);
        m_panels.showMapButton(true);
    } else {
        m_pageLoaded = false;
        m_panels.showNoConnectionPanel(true);
        m_panels.showMapButton(false);
    }
    m_panels.attachMapView(MapPlacement::Docked);
}

void MapRules::recordingLoaded(bool samples)
{
    if (!samples) {
        if (m_placement != MapPlacement::Docked)
            dock();
        m_panels.showMapPanel(false);
        m_panels.showNoDataPanel(true);
        m_panels.showNoConnectionPanel(false);
        m_panels.showMapButton(false);
        return;
    }
    if (m_net.isOnline()) {
        if (!m_pageLoaded) {
            m_pageLoaded = true;
            m_panels.navigateMapPage();
        }
        m_panels.showMapPanel(true);
        m_panels.showNoDataPanel(false);
        m_panels.showNoConnectionPanel(false);
        if (m_placement == MapPlacement::Docked)
            m_panels.showMapButton(true);
    } else {
        m_pageLoaded = false;
        m_panels.showMapPanel(false);
        m_panels.showNoDataPanel(false);
        m_panels.showNoConnectionPanel(true);
        if (m_placement == MapPlacement::Docked)
            m_panels.showMapButton(false);
    }
}

void MapRules::undock()
{
    m_placement = MapPlacement::Floating;
    m_panels.showMapWindow(true);
    m_panels.attachMapView(MapPlacement::Floating);
    m_panels.showMapButton(false);
    m_panels.showMapLabel(false);
    if (m_panels.positionPanelShown()) {
        m_panels.showPositionPanel(false);
        m_positionHidden = true;
    }
}

void MapRules::dock()
{
    m_placement = MapPlacement::Docked;
    m_panels.showMapWindow(false);
    m_panels.attachMapView(MapPlacement::Docked);
    m_panels.showMapButton(true);
    m_panels.showMapLabel(true);
    if (!m_panels.positionPanelShown()) {
        m_panels.showPositionPanel(true);
        m_positionHidden = false;
    }
}

} // namespace drivora
