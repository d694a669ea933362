// Trips from tables of start times and durations.
#include "catalogue/Trips.h"

#include <gtest/gtest.h>

using namespace drivora;

TEST(Trips, RunsOfRecordingsThatFollowEachOther)
{
    auto span = [](int64_t start, int64_t durationMs) { return RecordingSpan{1710454500 + start, durationMs}; };
    struct Case {
        const char *name;
        std::vector<RecordingSpan> spans;
        std::vector<Trip> trips;
    } cases[] = {
        {"none", {}, {}},
        {"one", {span(0, 60000)}, {{0, 0}}},
        {"back to back", {span(0, 60000), span(60, 60000), span(120, 60000)}, {{0, 2}}},
        {"a gap just under the limit", {span(0, 60000), span(65, 60000)}, {{0, 1}}},
        {"a gap just over the limit", {span(0, 60000), span(66, 60000)}, {{0, 0}, {1, 1}}},
        {"a second of overlap (names round down)", {span(0, 60500), span(60, 60000)}, {{0, 1}}},
        {"an overlapping event recording is no continuation", {span(0, 60000), span(30, 20000)}, {{0, 0}, {1, 1}}},
        {"unknown duration ends a trip", {span(0, 0), span(0, 60000)}, {{0, 0}, {1, 1}}},
        {"two trips", {span(0, 60000), span(60, 30000), span(3600, 60000), span(3660, 60000)}, {{0, 1}, {2, 3}}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(GroupTrips(c.spans), c.trips) << c.name;

    const std::vector<RecordingSpan> drive = {span(0, 60000), span(60, 60000), span(120, 45000), span(900, 60000)};
    const Trip t = TripOf(drive, 1);
    EXPECT_EQ(t, (Trip{0, 2}));
    EXPECT_EQ(TripOffsetMs(drive, t, 2), 120000);
    EXPECT_EQ(TripLengthMs(drive, t), 165000);
    EXPECT_EQ(TripOf(drive, 3), (Trip{3, 3}));
    EXPECT_EQ(TripOffsetMs(drive, {0, 2}, 5), 0) << "out of range";
}
