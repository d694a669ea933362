#include "Impacts.h"

#include "settings/DeviceConfig.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace drivora {

double ImpactThresholdG(int sensitivity)
{
    static const double thresholds[] = {2.5, 2.0, 1.6, 1.3, 1.0, 0.8, 0.6};
    if (sensitivity < 0 || sensitivity > 6)
        sensitivity = kDefaultSensitivity;
    return thresholds[sensitivity];
}

namespace {

double Median(std::vector<int32_t> v)
{
    if (v.empty())
        return 0;
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(mid), v.end());
    return v[mid];
}

// The size of each sample's acceleration once the steady part (gravity and
// the mounting, the median of each axis over the track) is taken away.
std::vector<double> Dynamic(const std::vector<CGSensorData> &samples)
{
    std::vector<int32_t> xs, ys, zs;
    for (const CGSensorData &s : samples) {
        xs.push_back(s.x);
        ys.push_back(s.y);
        zs.push_back(s.z);
    }
    const double mx = Median(xs), my = Median(ys), mz = Median(zs);
    std::vector<double> out;
    out.reserve(samples.size());
    for (const CGSensorData &s : samples)
        out.push_back(std::hypot(s.x - mx, s.y - my, s.z - mz) / kSensorUnitsPerG);
    return out;
}

} // namespace

std::vector<Impact> DetectImpacts(const std::vector<CGSensorData> &samples, double thresholdG, uint32_t minSpacingMs)
{
    const std::vector<double> a = Dynamic(samples);
    // Each run above the threshold gives its peak.
    std::vector<Impact> peaks;
    for (size_t i = 0; i < a.size();) {
        if (a[i] < thresholdG) {
            ++i;
            continue;
        }
        Impact peak{samples[i].stampMs, a[i]};
        for (; i < a.size() && a[i] >= thresholdG; ++i)
            if (a[i] > peak.g)
                peak = {samples[i].stampMs, a[i]};
        peaks.push_back(peak);
    }
    std::stable_sort(peaks.begin(), peaks.end(), [](const Impact &x, const Impact &y) { return x.stampMs < y.stampMs; });
    // Close peaks: the stronger stays.
    std::vector<Impact> out;
    for (const Impact &p : peaks) {
        if (!out.empty() && p.stampMs - out.back().stampMs < minSpacingMs) {
            if (p.g > out.back().g)
                out.back() = p;
            continue;
        }
        out.push_back(p);
    }
    return out;
}

double PeakAccelerationG(const std::vector<CGSensorData> &samples)
{
    const std::vector<double> a = Dynamic(samples);
    return a.empty() ? 0 : *std::max_element(a.begin(), a.end());
}

int StrongestImpact(const std::vector<Impact> &impacts)
{
    int best = -1;
    for (int i = 0; i < int(impacts.size()); ++i)
        if (best < 0 || impacts[size_t(i)].g > impacts[size_t(best)].g)
            best = i;
    return best;
}

int CardSensitivityFor(const QString &recordingPath)
{
    const QDir folder = QFileInfo(recordingPath).absoluteDir();
    QStringList places = {folder.path()};
    QDir up = folder;
    if (up.cdUp())
        places.prepend(up.path());
    for (const QString &root : places) {
        CardSettings s;
        s.sensitivity.fill({QString(), QString(), QString(), QString(), QString(), QString(), QString()});
        if (ReadDeviceFiles(root, s) && s.sensitivity.chosen >= 0)
            return s.sensitivity.chosen;
    }
    return kDefaultSensitivity;
}

} // namespace drivora
