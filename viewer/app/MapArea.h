#pragma once

#include "catalogue/Telemetry.h"

#include <cstdint>
#include <vector>

class QWidget;

namespace drivora {

class CDvMapPanelCtrl;
class CDvTextCtrl;

// The main window's parts of the map area, which the map drives.
struct MapHost {
    QWidget *window = nullptr;            // the main window
    CDvMapPanelCtrl *mapPanel = nullptr;  // where the docked map lives
    QWidget *noConnectionPanel = nullptr; // picture: no internet connection
    QWidget *noDataPanel = nullptr;       // picture: no GPS data
    QWidget *mapButton = nullptr;         // Map: undocks
    QWidget *mapLabel = nullptr;          // the map caption
    CDvTextCtrl *positionPanel = nullptr; // latitude and longitude
};

// The map area as the main window drives it: the one narrow way in for the
// web map and its panels. Until a map is plugged in, the area shows its
// no-connection panel and these calls do nothing.
class IMapArea {
public:
    virtual ~IMapArea() = default;
    // A recording was loaded; samples: its GPS track holds any. Decides
    // between the map and the no-data and no-connection panels.
    virtual void recordingLoaded(bool samples) = 0;
    // The playback position moved: the map follows the car.
    virtual void updatePosition(int64_t positionMs) = 0;
    // The Map button: the map floats in its own window.
    virtual void undock() = 0;
    // The window whose picture a report prints as the map (none: no map).
    virtual QWidget *mapPicture() const { return nullptr; }
    // Draws the route of these tracks (the recording's own after each load;
    // a whole trip's when asked).
    virtual void showRoute(const std::vector<const TelemetryTrack<CGPSData> *> &) {}
};

class NoMapArea final : public IMapArea {
public:
    void recordingLoaded(bool) override {}
    void updatePosition(int64_t) override {}
    void undock() override {}
};

} // namespace drivora
