#pragma once

#include <cstdint>

namespace drivora {

// The map area as the main window drives it: the one narrow way in for the
// web map and its panels. Until a map is plugged in, the area shows its
// no-connection panel and these calls do nothing.
class IMapArea {
public:
    virtual ~IMapArea() = default;
    // A recording was loaded; hasGps: its GPS track holds fixes. Decides
    // between the map and the no-data and no-connection panels.
    virtual void recordingLoaded(bool hasGps) = 0;
    // The playback position moved: the map follows the car.
    virtual void updatePosition(int64_t positionMs) = 0;
};

class NoMapArea final : public IMapArea {
public:
    void recordingLoaded(bool) override {}
    void updatePosition(int64_t) override {}
};

} // namespace drivora
