// Impact detection on tables of G-sensor samples (32 units a g).
#include "catalogue/Impacts.h"
#include "settings/DeviceConfig.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace drivora;

namespace {

// A track at 10 Hz resting with gravity on `restAxis`, with spikes
// (time ms, added units on x).
std::vector<CGSensorData> Track(int seconds, std::vector<std::pair<uint32_t, int>> spikes = {}, int restAxis = 2)
{
    std::vector<CGSensorData> out;
    for (uint32_t t = 0; t < uint32_t(seconds) * 1000; t += 100) {
        CGSensorData s;
        s.stampMs = t;
        (restAxis == 0 ? s.x : restAxis == 1 ? s.y : s.z) = 32;
        s.x += int(t / 100 % 3) - 1; // a little road noise
        for (const auto &[at, units] : spikes)
            if (at == t)
                s.x += units;
        out.push_back(s);
    }
    return out;
}

} // namespace

TEST(Impacts, PeaksAboveTheThreshold)
{
    struct Case {
        const char *name;
        std::vector<CGSensorData> samples;
        std::vector<uint32_t> at; // impacts' times
    } cases[] = {
        {"a flat track", Track(20), {}},
        {"no samples", {}, {}},
        {"one spike", Track(20, {{5000, 64}}), {5000}},
        {"a spike just under 1.3 g", Track(20, {{5000, 40}}), {}},
        {"a run above: one mark at its peak", Track(20, {{5000, 50}, {5100, 90}, {5200, 60}}), {5100}},
        {"two spikes closer than 2 s: the stronger", Track(20, {{5000, 50}, {6500, 96}}), {6500}},
        {"two spikes 2 s apart: both", Track(20, {{5000, 96}, {7000, 50}}), {5000, 7000}},
        {"gravity on another axis is no impact", Track(20, {}, 0), {}},
        {"a braking spike against the direction of travel", Track(20, {{9000, -70}}), {9000}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint32_t> at;
        for (const Impact &i : DetectImpacts(c.samples, ImpactThresholdG(kDefaultSensitivity)))
            at.push_back(i.stampMs);
        EXPECT_EQ(at, c.at);
    }
    const std::vector<Impact> two = DetectImpacts(Track(20, {{5000, 96}, {9000, 50}}), 1.3);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_NEAR(two[0].g, 3.0, 0.05);
    EXPECT_EQ(StrongestImpact(two), 0);
    EXPECT_EQ(StrongestImpact({}), -1);
    EXPECT_NEAR(PeakAccelerationG(Track(20, {{5000, 96}})), 3.0, 0.05);
    EXPECT_EQ(PeakAccelerationG({}), 0);
}

TEST(Impacts, TheThresholdFollowsTheCardsSensitivity)
{
    // A 1.1 g knock: seen from position 4 on, not at the default 3.
    const std::vector<CGSensorData> knock = Track(10, {{4000, 35}});
    for (int s = 0; s <= 6; ++s)
        EXPECT_EQ(DetectImpacts(knock, ImpactThresholdG(s)).size(), s >= 4 ? 1u : 0u) << s;
    EXPECT_EQ(ImpactThresholdG(-1), ImpactThresholdG(kDefaultSensitivity));
    EXPECT_GT(ImpactThresholdG(0), ImpactThresholdG(6));

    QTemporaryDir card;
    QDir(card.path()).mkpath(QStringLiteral("EVENT"));
    const QString recording = card.filePath(QStringLiteral("EVENT/EVT_20240315_081612_0.AVI"));
    EXPECT_EQ(CardSensitivityFor(recording), kDefaultSensitivity) << "no setup.cfg";
    QFile setup(card.filePath(QStringLiteral("setup.cfg")));
    ASSERT_TRUE(setup.open(QIODevice::WriteOnly));
    for (size_t i = 0; i < 4; ++i)
        setup.write(QByteArray(kSetupLabels[i]) + (i == 3 ? "6" : "x") + "\r\n");
    setup.close();
    EXPECT_EQ(CardSensitivityFor(recording), 6);
}
