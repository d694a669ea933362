#include "Drive.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cardgen {
namespace {

// Seoul, Gangnam: south along Gangnam-daero from Sinsa station to Gangnam
// station, then east along Teheran-ro to Samseong station.
struct Waypoint {
    double lat, lon;
    bool stop; // traffic light
};
constexpr Waypoint kRoute[] = {
    {37.51620, 127.02010, false}, // Sinsa station
    {37.51090, 127.02160, true},  // Nonhyeon station
    {37.50450, 127.02500, false}, // Sinnonhyeon station
    {37.49790, 127.02760, true},  // Gangnam station
    {37.50070, 127.03640, false}, // Yeoksam station
    {37.50450, 127.04900, true},  // Seolleung station
    {37.50890, 127.06310, true},  // Samseong station
};
constexpr double kPi = 3.14159265358979323846;
constexpr double kEarth = 6371000.0;

double radians(double d)
{
    return d * kPi / 180.0;
}

double distance(const Waypoint &a, const Waypoint &b)
{
    const double dlat = radians(b.lat - a.lat), dlon = radians(b.lon - a.lon);
    const double h = std::sin(dlat / 2) * std::sin(dlat / 2) +
                     std::cos(radians(a.lat)) * std::cos(radians(b.lat)) * std::sin(dlon / 2) * std::sin(dlon / 2);
    return 2 * kEarth * std::asin(std::sqrt(h));
}

double bearing(const Waypoint &a, const Waypoint &b)
{
    const double y = std::sin(radians(b.lon - a.lon)) * std::cos(radians(b.lat));
    const double x = std::cos(radians(a.lat)) * std::sin(radians(b.lat)) -
                     std::sin(radians(a.lat)) * std::cos(radians(b.lat)) * std::cos(radians(b.lon - a.lon));
    return std::fmod(std::atan2(y, x) * 180.0 / kPi + 360.0, 360.0);
}

// Small, repeatable noise.
double noise(uint32_t n)
{
    n = (n << 13) ^ n;
    return 1.0 - double((n * (n * n * 15731u + 789221u) + 1376312589u) & 0x7fffffffu) / 1073741824.0;
}

std::string ddmm(double degrees, int degreeDigits)
{
    const double a = std::fabs(degrees);
    const int d = int(a);
    const double minutes = (a - d) * 60.0;
    char text[32];
    std::snprintf(text, sizeof text, "%0*d%07.4f", degreeDigits, d, minutes);
    return text;
}

} // namespace

Drive::Drive()
{
    const size_t n = std::size(kRoute);
    m_cumulative.push_back(0);
    for (size_t i = 1; i < n; ++i)
        m_cumulative.push_back(m_cumulative.back() + distance(kRoute[i - 1], kRoute[i]));
    const double total = m_cumulative.back();

    // Drive at a gently varying cruise speed, braking for the traffic lights
    // and waiting at each for 20 s, until the end of the route.
    const double dt = 1.0 / kRate;
    double s = 0, v = 0, wait = 0;
    size_t nextStop = 1;
    auto stopAt = [&](size_t i) { return i < n ? m_cumulative[i] : total; };
    while (nextStop < n && !kRoute[nextStop].stop)
        ++nextStop;
    for (int step = 0; step < 3600 * kRate; ++step) {
        const double t = step * dt;
        double a;
        const double toStop = stopAt(nextStop) - s;
        const double cruise = (50.0 + 8.0 * std::sin(t / 23.0) + 3.0 * std::sin(t / 7.0)) / 3.6;
        if (wait > 0) {
            a = 0;
            v = 0;
            wait -= dt;
            if (wait <= 0) {
                do
                    ++nextStop;
                while (nextStop < n && !kRoute[nextStop].stop);
            }
        } else if (toStop <= v * v / (2 * 2.0) + 0.5) {
            a = toStop > 0.5 ? -std::min(3.0, v * v / (2 * std::max(toStop, 0.5))) : -v / dt;
            if (v + a * dt <= 0.05 || toStop <= 0.5) {
                a = -v / dt;
                s = stopAt(nextStop);
                if (nextStop >= n - 1) { // arrived
                    m_samples.push_back({s, 0, a});
                    break;
                }
                wait = 20.0;
            }
        } else {
            a = std::clamp((cruise - v) * 0.8, -1.5, 1.6);
        }
        m_samples.push_back({s, v, a});
        v = std::max(0.0, v + a * dt);
        s = std::min(total, s + v * dt);
    }
}

Fix Drive::position(double s) const
{
    size_t i = 1;
    while (i + 1 < m_cumulative.size() && m_cumulative[i] < s)
        ++i;
    const Waypoint &a = kRoute[i - 1], &b = kRoute[i];
    const double span = m_cumulative[i] - m_cumulative[i - 1];
    const double f = span > 0 ? std::clamp((s - m_cumulative[i - 1]) / span, 0.0, 1.0) : 0.0;
    Fix fix;
    fix.lat = a.lat + (b.lat - a.lat) * f;
    fix.lon = a.lon + (b.lon - a.lon) * f;
    fix.course = bearing(a, b);
    return fix;
}

Fix Drive::at(double seconds) const
{
    const size_t i = std::min(m_samples.size() - 1, size_t(std::max(0.0, seconds) * kRate));
    Fix fix = position(m_samples[i].s);
    fix.speedKmh = m_samples[i].v * 3.6;
    return fix;
}

std::string Drive::RmcSentence(std::time_t utc, bool valid, const Fix &fix)
{
    std::tm t{};
    gmtime_r(&utc, &t);
    char text[160];
    if (!valid) {
        std::snprintf(text, sizeof text, "GPRMC,%02d%02d%02d.000,V,,,,,,,%02d%02d%02d,,,N", t.tm_hour, t.tm_min,
                      t.tm_sec, t.tm_mday, t.tm_mon + 1, t.tm_year % 100);
        return text;
    }
    std::snprintf(text, sizeof text, "GPRMC,%02d%02d%02d.000,A,%s,%c,%s,%c,%.2f,%.2f,%02d%02d%02d,,,A", t.tm_hour,
                  t.tm_min, t.tm_sec, ddmm(fix.lat, 2).c_str(), fix.lat >= 0 ? 'N' : 'S', ddmm(fix.lon, 3).c_str(),
                  fix.lon >= 0 ? 'E' : 'W', fix.speedKmh / 1.852, fix.course, t.tm_mday, t.tm_mon + 1,
                  t.tm_year % 100);
    return text;
}

std::string Drive::GSensorRecord(double xg, double yg, double zg)
{
    auto byte = [](double g) {
        const int units = std::clamp(int(std::lround(g * 32.0)), -127, 128);
        return char(uint8_t(128 - units));
    };
    return std::string("M") + byte(xg) + byte(yg) + byte(zg);
}

std::vector<TelemetryRecord> Drive::records(const Stretch &st) const
{
    std::vector<TelemetryRecord> out;
    const double end = durationSeconds();
    for (int ms = 0; ms < st.seconds * 1000; ms += 100) {
        const double local = ms / 1000.0;
        const double t = st.motion == Motion::Driving ? std::min(end, st.startSeconds + local) : end;
        const size_t i = std::min(m_samples.size() - 1, size_t(t * kRate));
        const uint32_t n = uint32_t(st.startSeconds * 10 + ms / 100);
        // Longitudinal (x), lateral (y), vertical (z, with gravity), in g.
        double x = st.motion == Motion::Driving ? -m_samples[i].a / 9.81 : 0.0;
        double y = 0.0;
        double z = 1.0;
        if (st.motion == Motion::Driving) {
            x += 0.02 * noise(n * 3 + 1);
            y += 0.03 * noise(n * 3 + 2);
            z += 0.05 * noise(n * 3 + 3);
        } else {
            z += 0.01 * noise(n);
        }
        if (st.impactAtSeconds >= 0 && local >= st.impactAtSeconds && local < st.impactAtSeconds + 0.4) {
            const double k = 1.0 - (local - st.impactAtSeconds) / 0.4;
            x += 2.6 * k;
            y -= 1.2 * k;
            z += 0.8 * k;
        }
        if (st.knockAtSeconds >= 0 && local >= st.knockAtSeconds && local < st.knockAtSeconds + 0.3) {
            y += 0.45;
            z -= 0.25;
        }
        out.push_back({uint32_t(ms), GSensorRecord(x, y, z)});
        if (ms % 1000 == 0) {
            const int second = ms / 1000;
            const bool valid = second >= st.coldStartFixes && !(local >= st.outageFrom && local < st.outageTo);
            out.push_back({uint32_t(ms), RmcSentence(st.startUtc + second, valid, at(t))});
        }
    }
    // The camera writes the fix of a second before the samples that follow it.
    std::stable_sort(out.begin(), out.end(), [](const TelemetryRecord &a, const TelemetryRecord &b) {
        return a.stampMs < b.stampMs || (a.stampMs == b.stampMs && a.text[0] == 'G' && b.text[0] != 'G');
    });
    return out;
}

} // namespace cardgen
