// Where the map lives and what the map area shows: the map, the no-data
// picture or the no-connection picture; docked in the main window or floating
// in its own window. The windows are driven through IMapPanels so that the
// rules run without them.
#pragma once

#include "Connectivity.h"

namespace drivora {

enum class MapPlacement { Docked = 1, Floating = 2 };

class IMapPanels {
public:
    virtual ~IMapPanels() = default;
    virtual void navigateMapPage() = 0;
    virtual void attachMapView(MapPlacement where) = 0; // moves the view and centres it
    virtual void showMapWindow(bool on) = 0;
    virtual void showMapPanel(bool on) = 0;
    virtual void showNoDataPanel(bool on) = 0;
    virtual void showNoConnectionPanel(bool on) = 0;
    virtual void showMapButton(bool on) = 0;
    virtual void showMapLabel(bool on) = 0;
    virtual bool positionPanelShown() const = 0;
    virtual void showPositionPanel(bool on) = 0;
};

class MapRules {
public:
    MapRules(IMapPanels &panels, IConnectivity &connectivity) : m_panels(panels), m_net(connectivity) {}

    // The main window's set-up, once the map view sits in its map panel.
    void start();
    // A recording was loaded; samples: its GPS track has any.
    void recordingLoaded(bool samples);
    void undock(); // the Map button
    void dock();   // the map window's close button

    MapPlacement placement() const { return m_placement; }
    bool pageLoaded() const { return m_pageLoaded; }
    // The position panel was hidden by undocking (it comes back on docking).
    bool positionPanelHidden() const { return m_positionHidden; }

private:
    IMapPanels &m_panels;
    IConnectivity &m_net;
    MapPlacement m_placement = MapPlacement::Docked;
    bool m_pageLoaded = false;
    bool m_positionHidden = false;
};

} // namespace drivora
