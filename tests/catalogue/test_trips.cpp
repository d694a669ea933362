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

TEST(Trips, APlaceOnTheTripsTimelineIsARecordingAndATimeInIt)
{
    auto span = [](int64_t start, int64_t durationMs) { return RecordingSpan{1710454500 + start, durationMs}; };
    // 60 s, 60 s, then a 2 s gap and 45 s.
    const std::vector<RecordingSpan> drive = {span(0, 60000), span(60, 60000), span(122, 45000)};
    const Trip t{0, 2};
    struct Case {
        int64_t at;
        TripPlace place;
    } cases[] = {
        {-5, {0, 0}},          // before the start: the first picture
        {0, {0, 0}},
        {59999, {0, 59999}},
        {60000, {1, 0}},       // the next recording's first picture
        {121000, {1, 59999}},  // in the gap: the earlier one's end
        {122000, {2, 0}},
        {500000, {2, 44999}},  // past the end: the last picture
    };
    for (const Case &c : cases)
        EXPECT_EQ(TripPlaceAt(drive, t, c.at), c.place) << c.at;
    EXPECT_EQ(TripPlaceAt(drive, {0, 5}, 0).index, -1) << "out of range";
}
