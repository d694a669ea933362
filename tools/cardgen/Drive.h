// A simulated drive along a real road, and the telemetry records a camera
// writes for a stretch of it: GPS fixes (1 Hz, NMEA RMC order) and G-sensor
// samples (10 Hz).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace cardgen {

struct Fix {
    double lat = 0, lon = 0; // decimal degrees
    double speedKmh = 0;
    double course = 0; // degrees from north
};

struct TelemetryRecord {
    uint32_t stampMs;
    std::string text;
};

enum class Motion {
    Driving, // along the route
    Parked,  // standing still at the route's end
};

struct Stretch {
    Motion motion = Motion::Driving;
    double startSeconds = 0; // into the drive
    int seconds = 30;
    std::time_t startUtc = 0;    // wall-clock time of the first record
    double impactAtSeconds = -1; // a collision (event recordings)
    double knockAtSeconds = -1;  // a light knock on the parked car
    int coldStartFixes = 0;      // first fixes without a position (status V)
    double outageFrom = -1, outageTo = -1; // seconds with status V (a tunnel)
};

class Drive {
public:
    Drive();
    // The car's state `seconds` into the drive.
    Fix at(double seconds) const;
    double durationSeconds() const { return double(m_samples.size() - 1) / kRate; }

    std::vector<TelemetryRecord> records(const Stretch &stretch) const;

    // "GPRMC,..." without the leading "$" and checksum, as the camera stores it.
    static std::string RmcSentence(std::time_t utc, bool valid, const Fix &fix);
    // "M" and the three axis bytes (128 - value each; 32 units per g).
    static std::string GSensorRecord(double xg, double yg, double zg);

private:
    static constexpr int kRate = 10; // simulation steps per second
    struct Sample {
        double s, v, a; // metres along the route, m/s, m/s^2
    };
    Fix position(double s) const;
    std::vector<double> m_cumulative; // metres at each waypoint
    std::vector<Sample> m_samples;
};

} // namespace cardgen
