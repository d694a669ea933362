// A GPS sample for tests of what follows the car: NMEA-style ddmm.mmmm
// latitude and longitude, valid 1 for a fix.
#pragma once

#include "catalogue/Telemetry.h"

#include <cstdint>

namespace testsupport {

inline drivora::CGPSData GpsFix(uint32_t ms, int valid, double lat, double lon, double kmh = 0)
{
    drivora::CGPSData d;
    d.stampMs = ms;
    d.valid = valid;
    d.latitude = lat;
    d.longitude = lon;
    d.speedKmh = kmh;
    return d;
}

} // namespace testsupport
