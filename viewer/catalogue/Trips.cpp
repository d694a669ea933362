#include "Trips.h"

#include <algorithm>

#include <cstdlib>

namespace drivora {

std::vector<Trip> GroupTrips(const std::vector<RecordingSpan> &spans, int gapSeconds)
{
    std::vector<Trip> trips;
    for (int i = 0; i < int(spans.size()); ++i) {
        if (!trips.empty() && i > 0) {
            const RecordingSpan &prev = spans[size_t(i - 1)];
            const int64_t endMs = prev.startSec * 1000 + prev.durationMs;
            const int64_t gapMs = spans[size_t(i)].startSec * 1000 - endMs;
            if (prev.durationMs > 0 && std::llabs(gapMs) <= int64_t(gapSeconds) * 1000) {
                trips.back().last = i;
                continue;
            }
        }
        trips.push_back({i, i});
    }
    return trips;
}

Trip TripOf(const std::vector<RecordingSpan> &spans, int index, int gapSeconds)
{
    for (const Trip &t : GroupTrips(spans, gapSeconds))
        if (index >= t.first && index <= t.last)
            return t;
    return {index, index};
}

int64_t TripOffsetMs(const std::vector<RecordingSpan> &spans, const Trip &trip, int index)
{
    if (trip.first < 0 || index < trip.first || index >= int(spans.size()))
        return 0;
    return (spans[size_t(index)].startSec - spans[size_t(trip.first)].startSec) * 1000;
}

int64_t TripLengthMs(const std::vector<RecordingSpan> &spans, const Trip &trip)
{
    if (trip.first < 0 || trip.last >= int(spans.size()) || trip.last < trip.first)
        return 0;
    return TripOffsetMs(spans, trip, trip.last) + spans[size_t(trip.last)].durationMs;
}

TripPlace TripPlaceAt(const std::vector<RecordingSpan> &spans, const Trip &trip, int64_t tripMs)
{
    if (trip.first < 0 || trip.last >= int(spans.size()) || trip.last < trip.first)
        return {};
    int index = trip.first;
    while (index < trip.last && TripOffsetMs(spans, trip, index + 1) <= tripMs)
        ++index;
    const int64_t within = tripMs - TripOffsetMs(spans, trip, index);
    const int64_t length = spans[size_t(index)].durationMs;
    return {index, std::clamp<int64_t>(within, 0, std::max<int64_t>(length - 1, 0))};
}

} // namespace drivora
