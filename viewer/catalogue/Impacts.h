// Impacts in a recording's G-sensor track: moments where the car's
// acceleration (the sensor's vector less the steady part that gravity and
// the mounting give, in g) passes a threshold that follows the camera's
// sensitivity setting.
#pragma once

#include "Telemetry.h"

#include <QString>

#include <vector>

namespace drivora {

inline constexpr uint32_t kImpactMinSpacingMs = 2000; // two marks at least this far apart
inline constexpr int kDefaultSensitivity = 3;          // setup.cfg's default position

// The threshold in g for a sensitivity position 0 (least sensitive) to 6
// (most); out-of-range positions take the default's.
double ImpactThresholdG(int sensitivity);

struct Impact {
    uint32_t stampMs = 0;
    double g = 0; // the acceleration's size at the peak
    bool operator==(const Impact &) const = default;
};

// The peaks above `thresholdG`, in time order; of two peaks closer than
// `minSpacingMs` only the stronger stays.
std::vector<Impact> DetectImpacts(const std::vector<CGSensorData> &samples, double thresholdG,
                                  uint32_t minSpacingMs = kImpactMinSpacingMs);

// The largest acceleration of a track (0 for none).
double PeakAccelerationG(const std::vector<CGSensorData> &samples);

// The strongest of the impacts, or -1.
int StrongestImpact(const std::vector<Impact> &impacts);

// The sensitivity stored on the card that holds a recording: setup.cfg in
// the card's root (the folder above the recording's, or its own), line 4;
// the default where none can be read.
int CardSensitivityFor(const QString &recordingPath);

} // namespace drivora
