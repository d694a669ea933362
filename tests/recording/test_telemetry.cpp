#include "catalogue/Telemetry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <random>
#include <string>

using namespace drivora;

namespace {

int64_t localTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return int64_t(std::mktime(&t));
}

class Tracks : public ::testing::Test {
protected:
    void SetUp() override
    {
        GpsTrack().clear();
        GSensorTrack().clear();
    }
    void TearDown() override { SetUp(); }
};

} // namespace

TEST(GpsSentence, Fields)
{
    struct Case {
        const char *what;
        const char *text;
        bool complete;
        CGPSData expected;
        int64_t timeValue;
    };
    auto fix = [](int y, int mo, int d, int h, int mi, int s, int valid, double lat, double lon, double speed,
                  double course) {
        CGPSData f;
        f.year = y, f.month = mo, f.day = d, f.hour = h, f.minute = mi, f.second = s, f.valid = valid;
        f.latitude = lat, f.longitude = lon, f.speedKmh = speed, f.course = course;
        return f;
    };
    const Case cases[] = {
        {"the +9 hour rolls over into the next day and year", "GPRMC,235959.000,A,3730.0000,S,12700.5000,W,10,45.5,311210,,,A",
         true, fix(10, 12, 31, 32, 59, 59, 1, -3730.0, -12700.5, double(float(18.52)), 45.5),
         localTime(2011, 1, 1, 8, 59, 59)},
        {"two-digit year 69 is 2069", "GPRMC,000000,A,3733.1234,N,12702.5678,E,0.00,0.00,010169", true,
         fix(69, 1, 1, 9, 0, 0, 1, 3733.1234, 12702.5678, 0, 0), localTime(2069, 1, 1, 9, 0, 0)},
        {"two-digit year 70 is 1970", "GPRMC,000000,A,3733.1234,N,12702.5678,E,0.00,0.00,020170", true,
         fix(70, 1, 2, 9, 0, 0, 1, 3733.1234, 12702.5678, 0, 0), localTime(1970, 1, 2, 9, 0, 0)},
        {"empty fields: no status, hemispheres negate", "GPRMC,083015.250,,3730,,12700,,,,150324", true,
         fix(24, 3, 15, 17, 30, 15, 0, -3730, -12700, 0, 0), localTime(2024, 3, 15, 17, 30, 15)},
        {"leading commas are skipped", ",,GPRMC,010203,A,1,N,2,E,3,4,050607", true,
         fix(7, 6, 5, 10, 2, 3, 1, 1, 2, double(float(3 * 1.852)), 4), localTime(2007, 6, 5, 10, 2, 3)},
        {"a short time field", "GPRMC,12,A,1,N,2,E,3,4,050607", true,
         fix(7, 6, 5, 21, 0, 0, 1, 1, 2, double(float(3 * 1.852)), 4), localTime(2007, 6, 5, 21, 0, 0)},
        {"fewer than ten fields keep what was read", "GPRMC,123456,A,3730", false,
         fix(0, 0, 0, 21, 34, 56, 1, 3730, 0, 0, 0), 0},
        {"only the name", "GPRMC", false, fix(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0), 0},
        {"the text ends at a zero byte", "GPRMC,123456,A,1,N\0,2,E,3,4,050607", false,
         fix(0, 0, 0, 21, 34, 56, 1, 1, 0, 0, 0), 0},
    };
    for (const Case &c : cases) {
        CGPSData f;
        EXPECT_EQ(ParseGpsSentence(f, 777, c.text), c.complete) << c.what;
        EXPECT_EQ(f.stampMs, 777u);
        EXPECT_EQ(f.year, c.expected.year) << c.what;
        EXPECT_EQ(f.month, c.expected.month) << c.what;
        EXPECT_EQ(f.day, c.expected.day) << c.what;
        EXPECT_EQ(f.hour, c.expected.hour) << c.what;
        EXPECT_EQ(f.minute, c.expected.minute) << c.what;
        EXPECT_EQ(f.second, c.expected.second) << c.what;
        EXPECT_EQ(f.valid, c.expected.valid) << c.what;
        EXPECT_DOUBLE_EQ(f.latitude, c.expected.latitude) << c.what;
        EXPECT_DOUBLE_EQ(f.longitude, c.expected.longitude) << c.what;
        EXPECT_EQ(f.speedKmh, c.expected.speedKmh) << c.what;
        EXPECT_EQ(f.course, c.expected.course) << c.what;
        EXPECT_EQ(f.timeValue, c.timeValue) << c.what;
    }
}

TEST_F(Tracks, RecordsByTheirFirstByte)
{
    using namespace std::string_literals;
    AddTelemetryRecord("M\x80\x00\xFF"s, 100);
    AddTelemetryRecord("M"s, 200); // missing bytes read as 0
    AddTelemetryRecord("M\x7F"s, 300);
    AddTelemetryRecord("GPRMC,1"s, 400); // incomplete, still kept
    AddTelemetryRecord("X123"s, 500);
    AddTelemetryRecord(""s, 600);
    ASSERT_EQ(GSensorTrack().size(), 3u);
    const CGSensorData &a = GSensorTrack().at(0);
    EXPECT_EQ(a.x, 0);
    EXPECT_EQ(a.y, 128);
    EXPECT_EQ(a.z, -127);
    EXPECT_EQ(a.stampMs, 100u);
    const CGSensorData &b = GSensorTrack().at(1);
    EXPECT_EQ(b.x, 128);
    EXPECT_EQ(b.y, 128);
    EXPECT_EQ(b.z, 128);
    EXPECT_EQ(GSensorTrack().at(2).x, 1);
    ASSERT_EQ(GpsTrack().size(), 1u);
    EXPECT_EQ(GpsTrack().at(0).stampMs, 400u);
    EXPECT_EQ(GpsTrack().at(0).hour, 10);
}

TEST_F(Tracks, LookupsAtStamps)
{
    AddTelemetryRecord("GPRMC,000000,A,3730.0000,S,12700.0000,E,10,0,010124", 1000);
    AddTelemetryRecord("GPRMC,000001,V,3730.0000,S,12700.0000,E,20,0,010124", 2000);
    AddTelemetryRecord("GPRMC,000002,A,3745.0000,N,12730.0000,W,30,0,010124", 3000);
    AddTelemetryRecord(std::string("M\x60\xA0\x5C", 4), 1000);
    AddTelemetryRecord(std::string("M\x80\x80\x80", 4), 1100);

    struct Case {
        uint32_t t;
        bool speedFound;
        double speed;
        bool positionFound;
        float lat, lon;
        bool accelFound;
        float x;
    } cases[] = {
        {0, true, double(float(18.52)), true, -37.5f, 127.0f, true, 1.0f},     // before the first: 32 units, 1 g
        {1000, true, double(float(18.52)), true, -37.5f, 127.0f, true, 1.0f},  // at a stamp
        {1001, false, 0, false, 0, 0, true, 0},                                   // lands on a "V" fix
        {2001, true, double(float(30 * 1.852)), true, 37.75f, -127.5f, false, 0}, // between: the later one
        {3000, true, double(float(30 * 1.852)), true, 37.75f, -127.5f, false, 0},
        {3001, false, 0, false, 0, 0, false, 0}, // after the last
        {UINT32_MAX, false, 0, false, 0, 0, false, 0},
    };
    for (const Case &c : cases) {
        double speed = -1;
        float lat = -1, lon = -1, x = -1, y = -1, z = -1;
        EXPECT_EQ(GetSpeedAt(c.t, speed), c.speedFound) << c.t;
        EXPECT_EQ(speed, c.speed) << c.t;
        EXPECT_EQ(GetPositionAt(c.t, lat, lon), c.positionFound) << c.t;
        EXPECT_FLOAT_EQ(lat, c.lat) << c.t;
        EXPECT_FLOAT_EQ(lon, c.lon) << c.t;
        EXPECT_EQ(GetAccelAt(c.t, x, y, z), c.accelFound) << c.t;
        EXPECT_FLOAT_EQ(x, c.x) << c.t;
    }
    float x, y, z;
    GetAccelAt(0, x, y, z);
    EXPECT_FLOAT_EQ(y, -1.0f);
    EXPECT_FLOAT_EQ(z, 36 / 32.0f) << "in g, as the graph and the CSV give it";

    GpsTrack().clear();
    GSensorTrack().clear();
    double speed = -1;
    EXPECT_FALSE(GetSpeedAt(0, speed));
    EXPECT_EQ(speed, 0);
    EXPECT_FALSE(GetAccelAt(0, x, y, z));
}

TEST_F(Tracks, BinarySearchFindsWhatTheLinearRuleFinds)
{
    std::mt19937 random(11);
    for (int round = 0; round < 50; ++round) {
        GSensorTrack().clear();
        uint32_t stamp = 0;
        const int n = int(random() % 40);
        const bool shuffled = round % 5 == 4; // a damaged file with stamps out of order
        for (int i = 0; i < n; ++i) {
            stamp = shuffled ? uint32_t(random() % 500) : stamp + uint32_t(random() % 3) * 50; // repeats too
            AddTelemetryRecord(std::string("M") + char(i) + char(0) + char(0), stamp);
        }
        for (uint32_t t = 0; t < 600; t += 7) {
            const CGSensorData *expected = nullptr;
            for (const CGSensorData &s : GSensorTrack().records())
                if (s.stampMs >= t) {
                    expected = &s;
                    break;
                }
            EXPECT_EQ(GSensorTrack().firstAtOrAfter(t), expected) << "round " << round << " t " << t;
        }
    }
}

namespace {

// A stream parser whose record interface hands out a script of results.
struct ScriptedParser : IStreamParserFilter, IStreamRecordSource {
    std::vector<std::pair<std::string, uint32_t>> records;
    int32_t failure = kNoMoreRecords; // what comes after the records
    bool interfaceMissing = false;
    size_t next = 0;
    int calls = 0;

    IStreamRecordSource *QueryRecordSource() override { return interfaceMissing ? nullptr : this; }
    int32_t SetParserFlag(uint32_t) override { return 0; }
    int32_t GetNextRecord(uint8_t *buffer, uint32_t *size, uint32_t *stamp) override
    {
        ++calls;
        EXPECT_EQ(*size, kRecordBufferSize);
        EXPECT_EQ(*stamp, 0u);
        for (uint32_t i = 0; i < kRecordBufferSize; ++i)
            EXPECT_EQ(buffer[i], 0) << "zero-filled before each call";
        if (next >= records.size())
            return failure;
        const auto &[text, t] = records[next++];
        std::memcpy(buffer, text.data(), text.size());
        *size = uint32_t(text.size());
        *stamp = t;
        return kRecordCopied;
    }
};

} // namespace

TEST_F(Tracks, DrainEndsWhateverTheParserDoes)
{
    AddTelemetryRecord("M123", 5); // left from the previous recording
    struct Case {
        const char *what;
        bool missing;
        int32_t after;
        size_t gps, samples;
        int calls;
    } cases[] = {
        {"records, then the end", false, kNoMoreRecords, 1, 2, 4},
        {"records, then a failure that would repeat", false, kRecordFailed, 1, 2, 4},
        {"records, then an unknown code", false, 1, 1, 2, 4},
        {"no record interface", true, kNoMoreRecords, 0, 0, 0},
    };
    for (const Case &c : cases) {
        ScriptedParser parser;
        parser.records = {{"M\x01\x02\x03", 0}, {"GPRMC,000000,A,1,N,2,E,3,4,010124", 0}, {"M\x04\x05\x06", 100}};
        parser.interfaceMissing = c.missing;
        parser.failure = c.after;
        DrainTelemetry(&parser);
        EXPECT_EQ(GpsTrack().size(), c.gps) << c.what;
        EXPECT_EQ(GSensorTrack().size(), c.samples) << c.what;
        EXPECT_EQ(parser.calls, c.calls) << c.what;
    }
    DrainTelemetry(nullptr);
    EXPECT_TRUE(GpsTrack().isEmpty());
}
