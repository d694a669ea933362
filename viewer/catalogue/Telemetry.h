#pragma once

#include "catalogue/StreamRecordSource.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace drivora {

// One GPS fix, as the camera recorded it.
class CGPSData {
public:
    virtual ~CGPSData() = default;
    int32_t year = 0;   // two digits
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;   // the fix's UTC hour plus 9 (9-32; the date is not advanced)
    int32_t minute = 0;
    int32_t second = 0;
    int32_t valid = 0;  // 1 when the status is "A"
    double latitude = 0;  // degrees x 100 + minutes, negative in the south
    double longitude = 0; // degrees x 100 + minutes, negative in the west
    double speedKmh = 0;
    double course = 0;
    int64_t timeValue = 0; // seconds since 1970 of the corrected date and time, as local time
    uint32_t stampMs = 0;  // media time
};

// One G-sensor sample; 32 axis units make 1 g.
inline constexpr double kSensorUnitsPerG = 32.0;
class CGSensorData {
public:
    virtual ~CGSensorData() = default;
    int32_t x = 0, y = 0, z = 0;
    uint32_t stampMs = 0;
};

// The records of the open recording in arrival (media-time) order.
template <typename Record> class TelemetryTrack {
public:
    const std::vector<Record> &records() const { return m_records; }
    size_t size() const { return m_records.size(); }
    bool isEmpty() const { return m_records.empty(); }
    const Record &at(size_t i) const { return m_records.at(i); }
    void clear()
    {
        m_records.clear();
        m_ordered = true;
    }
    void append(const Record &r)
    {
        if (!m_records.empty() && r.stampMs < m_records.back().stampMs)
            m_ordered = false;
        m_records.push_back(r);
    }
    // The first record whose stamp is at or after t, or nullptr.
    const Record *firstAtOrAfter(uint32_t t) const;

private:
    std::vector<Record> m_records;
    bool m_ordered = true; // stamps never go back, so a binary search finds the same record
};

TelemetryTrack<CGPSData> &GpsTrack();
TelemetryTrack<CGSensorData> &GSensorTrack();

// Empties both tracks, then pulls every record out of the stream parser.
// Ends on the last record, and also when the record interface is missing or
// reports anything but a record.
void DrainTelemetry(IStreamParserFilter *streamParser);

// One record: "M" and three axis bytes, or a "G..." sentence. Bytes past the
// end of the text read as 0.
void AddTelemetryRecord(std::string_view text, uint32_t stampMs);

// Reads the fields of an RMC sentence into the record; false when the text
// has fewer than ten fields.
bool ParseGpsSentence(CGPSData &record, uint32_t stampMs, std::string_view text);

bool GetSpeedAt(uint32_t t, double &speed);
// The sample's axes at media time t, in g (as the graph and the CSV give them).
bool GetAccelAt(uint32_t t, float &x, float &y, float &z);
bool GetPositionAt(uint32_t t, float &latitudeDegrees, float &longitudeDegrees);

// Degrees x 100 + minutes, as the fixes hold them, to decimal degrees.
float ToDecimalDegrees(double degreesMinutes);

} // namespace drivora
