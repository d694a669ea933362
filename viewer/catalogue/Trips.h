// Trips: runs of recordings of one drive, each starting within a few seconds
// of the previous one's end (by the names' start times and the durations).
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

namespace drivora {

inline constexpr int kTripGapSeconds = 5;

struct RecordingSpan {
    int64_t startSec = 0;   // from the name, seconds since 1970 (local time)
    int64_t durationMs = 0; // 0: unknown (ends a trip)
};

struct Trip {
    int first = 0, last = 0; // indices into the spans, inclusive
    bool operator==(const Trip &) const = default;
};

// The trips of spans in time order; a recording on its own is a trip of one.
std::vector<Trip> GroupTrips(const std::vector<RecordingSpan> &spans, int gapSeconds = kTripGapSeconds);

// The trip that holds span `index` (a trip of one when none does).
Trip TripOf(const std::vector<RecordingSpan> &spans, int index, int gapSeconds = kTripGapSeconds);

// Milliseconds from the trip's start to the start of span `index`, and the
// trip's whole length.
int64_t TripOffsetMs(const std::vector<RecordingSpan> &spans, const Trip &trip, int index);
int64_t TripLengthMs(const std::vector<RecordingSpan> &spans, const Trip &trip);

// The recording under a position on the trip's timeline, and the position
// within it: the last one that starts at or before it (a gap between two
// belongs to the earlier one's end).
struct TripPlace {
    int index = -1;
    int64_t withinMs = 0;
    bool operator==(const TripPlace &) const = default;
};
TripPlace TripPlaceAt(const std::vector<RecordingSpan> &spans, const Trip &trip, int64_t tripMs);

} // namespace drivora
