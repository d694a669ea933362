#include "Telemetry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace drivora {

template <typename Record> const Record *TelemetryTrack<Record>::firstAtOrAfter(uint32_t t) const
{
    if (m_ordered) {
        const auto it = std::lower_bound(m_records.begin(), m_records.end(), t,
                                         [](const Record &r, uint32_t value) { return r.stampMs < value; });
        return it == m_records.end() ? nullptr : &*it;
    }
    for (const Record &r : m_records) // stamps out of order: the first in array order
        if (r.stampMs >= t)
            return &r;
    return nullptr;
}

template class TelemetryTrack<CGPSData>;
template class TelemetryTrack<CGSensorData>;

TelemetryTrack<CGPSData> &GpsTrack()
{
    static TelemetryTrack<CGPSData> track;
    return track;
}

TelemetryTrack<CGSensorData> &GSensorTrack()
{
    static TelemetryTrack<CGSensorData> track;
    return track;
}

void DrainTelemetry(IStreamParserFilter *streamParser)
{
    GSensorTrack().clear();
    GpsTrack().clear();
    if (!streamParser)
        return;
    for (;;) {
        uint8_t buffer[kRecordBufferSize] = {};
        uint32_t size = kRecordBufferSize;
        uint32_t stamp = 0;
        IStreamRecordSource *source = streamParser->QueryRecordSource();
        if (!source)
            return;
        const int32_t result = source->GetNextRecord(buffer, &size, &stamp);
        if (result != kRecordCopied)
            return; // no more records, or a failure that would repeat
        const size_t length = std::min<size_t>(size, kRecordBufferSize - 1);
        AddTelemetryRecord(std::string_view(reinterpret_cast<const char *>(buffer), length), stamp);
    }
}

void AddTelemetryRecord(std::string_view text, uint32_t stampMs)
{
    if (text.empty())
        return;
    if (text[0] == 'M') {
        auto byte = [&text](size_t i) { return i < text.size() ? int32_t(uint8_t(text[i])) : 0; };
        CGSensorData sample;
        sample.x = 128 - byte(1);
        sample.y = 128 - byte(2);
        sample.z = 128 - byte(3);
        sample.stampMs = stampMs;
        GSensorTrack().append(sample);
    } else if (text[0] == 'G') {
        CGPSData fix;
        ParseGpsSentence(fix, stampMs, text);
        GpsTrack().append(fix);
    }
}

namespace {

// Decimal value of the leading digits of a piece, 0 when there are none.
int32_t leadingNumber(std::string_view field, size_t from, size_t count)
{
    int32_t value = 0;
    for (size_t i = from; i < from + count && i < field.size(); ++i) {
        const char c = field[i];
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
    }
    return value;
}

double number(std::string_view field)
{
    char text[64] = {};
    std::memcpy(text, field.data(), std::min(field.size(), sizeof text - 1));
    return std::atof(text);
}

} // namespace

bool ParseGpsSentence(CGPSData &record, uint32_t stampMs, std::string_view text)
{
    record.stampMs = stampMs;
    // The text ends at its first zero byte and holds at most 1023 characters.
    text = text.substr(0, std::min<size_t>(text.find('\0'), kRecordBufferSize - 1));
    size_t pos = text.find_first_not_of(',');
    if (pos == std::string_view::npos)
        return false;
    text.remove_prefix(pos);

    std::string_view fields[10];
    size_t count = 0;
    size_t start = 0;
    while (count < 10) {
        const size_t comma = text.find(',', start);
        fields[count++] = text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }

    for (size_t i = 1; i < 10; ++i) {
        if (i >= count)
            return false; // the fields read so far stay set
        const std::string_view f = fields[i];
        switch (i) {
        case 1:
            record.hour = leadingNumber(f, 0, 2) + 9;
            record.minute = leadingNumber(f, 2, 2);
            record.second = leadingNumber(f, 4, 2);
            break;
        case 2:
            record.valid = !f.empty() && f[0] == 'A';
            break;
        case 3:
            record.latitude = number(f);
            break;
        case 4:
            if (f.empty() || f[0] != 'N')
                record.latitude = -record.latitude;
            break;
        case 5:
            record.longitude = number(f);
            break;
        case 6:
            if (f.empty() || f[0] != 'E')
                record.longitude = -record.longitude;
            break;
        case 7:
            record.speedKmh = double(float(number(f) * 1.852));
            break;
        case 8:
            record.course = double(float(number(f)));
            break;
        case 9:
            record.day = leadingNumber(f, 0, 2);
            record.month = leadingNumber(f, 2, 2);
            record.year = leadingNumber(f, 4, 2);
            break;
        }
    }

    std::tm t{};
    t.tm_year = (record.year + 30) % 100 + 70;
    t.tm_mon = record.month - 1;
    t.tm_mday = record.day;
    t.tm_hour = record.hour; // 24 or more rolls into the next day
    t.tm_min = record.minute;
    t.tm_sec = record.second;
    t.tm_isdst = -1; // daylight saving: let the library decide
    record.timeValue = int64_t(std::mktime(&t));
    return true;
}

bool GetSpeedAt(uint32_t t, double &speed)
{
    speed = 0;
    const CGPSData *fix = GpsTrack().firstAtOrAfter(t);
    if (!fix || fix->valid == 0)
        return false;
    speed = fix->speedKmh;
    return true;
}

bool GetAccelAt(uint32_t t, float &x, float &y, float &z)
{
    x = y = z = 0;
    const CGSensorData *sample = GSensorTrack().firstAtOrAfter(t);
    if (!sample)
        return false;
    x = float(sample->x / kSensorUnitsPerG);
    y = float(sample->y / kSensorUnitsPerG);
    z = float(sample->z / kSensorUnitsPerG);
    return true;
}

float ToDecimalDegrees(double degreesMinutes)
{
    const double v = degreesMinutes * 0.01;
    const double d = std::trunc(v);
    return float(d + (v - d) * 100.0 / 60.0);
}

bool GetPositionAt(uint32_t t, float &latitudeDegrees, float &longitudeDegrees)
{
    latitudeDegrees = longitudeDegrees = 0;
    const CGPSData *fix = GpsTrack().firstAtOrAfter(t);
    if (!fix || fix->valid == 0)
        return false;
    latitudeDegrees = ToDecimalDegrees(fix->latitude);
    longitudeDegrees = ToDecimalDegrees(fix->longitude);
    return true;
}

} // namespace drivora
