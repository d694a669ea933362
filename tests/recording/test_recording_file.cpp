// Recording files as the generator writes them, read back through the
// stream parser's record interface; damaged copies end cleanly.
#include "cardgen/AviWriter.h"
#include "cardgen/Recording.h"
#include "support/Process.h"
#include "support/Recordings.h"
#include "catalogue/Telemetry.h"
#include "catalogue/RecordingFile.h"
#include "support/Files.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <sys/wait.h>

#include <array>
#include <functional>
#include <filesystem>
#include <fstream>
#include <random>

using namespace drivora;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadBytes(const std::string &path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

void WriteBytes(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

struct ReadBack {
    std::vector<cardgen::TelemetryRecord> records;
    int32_t last = 0;
};

ReadBack ReadAll(RecordingFile &file)
{
    ReadBack out;
    for (int guard = 0; guard < 1000000; ++guard) {
        uint8_t buffer[kRecordBufferSize] = {};
        uint32_t size = kRecordBufferSize, stamp = 0;
        out.last = file.GetNextRecord(buffer, &size, &stamp);
        if (out.last != kRecordCopied)
            break;
        out.records.push_back({stamp, std::string(reinterpret_cast<char *>(buffer), size)});
    }
    return out;
}

// One small recording of each shape, made once for all tests.
class Recordings : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        struct Shape {
            const char *name;
            int rear;
            cardgen::Sound sound;
        } shapes[] = {{"two.avi", 160, cardgen::Sound::Aac},
                      {"front.avi", 0, cardgen::Sound::Pcm},
                      {"silent.avi", 160, cardgen::Sound::None}};
        for (const Shape &s : shapes) {
            testsupport::SmallRecording shape;
            shape.fileName = "EVT_20240315_081612_0.AVI";
            shape.rearWidth = s.rear;
            shape.sound = s.sound;
            shape.fps = 10;
            shape.videoKbps = 200;
            shape.startSeconds = 40;
            shape.startUtc = 1710454572;
            shape.impactAtSeconds = 1.5;
            shape.coldStartFixes = 1;
            std::vector<cardgen::TelemetryRecord> written;
            ASSERT_TRUE(testsupport::MakeRecording(path(s.name), shape, &written));
            s_written[s.name] = written;
        }
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static std::string path(const std::string &name) { return s_dir->filePath(QString::fromStdString(name)).toStdString(); }

    static QTemporaryDir *s_dir;
    static std::map<std::string, std::vector<cardgen::TelemetryRecord>> s_written;
};
QTemporaryDir *Recordings::s_dir = nullptr;
std::map<std::string, std::vector<cardgen::TelemetryRecord>> Recordings::s_written;

} // namespace

TEST_F(Recordings, EveryRecordComesBackInOrderWithItsStamp)
{
    for (const char *name : {"two.avi", "front.avi", "silent.avi"}) {
        RecordingFile file;
        ASSERT_TRUE(file.open(QString::fromStdString(path(name)))) << qPrintable(file.errorString());
        const ReadBack back = ReadAll(file);
        EXPECT_EQ(back.last, kNoMoreRecords) << name;
        const auto &written = s_written[name];
        ASSERT_EQ(back.records.size(), written.size()) << name;
        EXPECT_EQ(written.size(), 30u + 3u) << "10 Hz samples and 1 Hz fixes for 3 s";
        for (size_t i = 0; i < written.size(); ++i) {
            EXPECT_EQ(back.records[i].stampMs, written[i].stampMs) << name << " record " << i;
            EXPECT_EQ(back.records[i].text, written[i].text) << name << " record " << i;
        }
        EXPECT_EQ(ReadAll(file).last, kNoMoreRecords) << "stays at the end";
    }
}

TEST_F(Recordings, StreamHeaders)
{
    struct Case {
        const char *name;
        int video, audio;
        uint16_t formatTag;
    } cases[] = {{"two.avi", 2, 1, 0x00FF}, {"front.avi", 1, 1, 1}, {"silent.avi", 2, 0, 0}};
    for (const Case &c : cases) {
        RecordingFile file;
        ASSERT_TRUE(file.open(QString::fromStdString(path(c.name))));
        EXPECT_EQ(file.videoStreamCount(), c.video) << c.name;
        EXPECT_EQ(file.audioStreamCount(), c.audio) << c.name;
        const auto &streams = file.streams();
        EXPECT_EQ(streams.front().type, "vids");
        EXPECT_EQ(streams.front().handler, "H264");
        EXPECT_EQ(streams.front().width, 320u);
        EXPECT_EQ(streams.front().length, 30u);
        EXPECT_EQ(streams.back().type, "txts") << "telemetry last";
        if (c.audio) {
            EXPECT_EQ(streams[size_t(c.video)].formatTag, c.formatTag) << c.name;
        }
    }
}

TEST_F(Recordings, DrainFillsTheTracks)
{
    struct Parser : IStreamParserFilter {
        RecordingFile file;
        IStreamRecordSource *QueryRecordSource() override { return &file; }
    } parser;
    ASSERT_TRUE(parser.file.open(QString::fromStdString(path("two.avi"))));
    DrainTelemetry(&parser);
    ASSERT_EQ(GpsTrack().size(), 3u);
    ASSERT_EQ(GSensorTrack().size(), 30u);
    EXPECT_EQ(GpsTrack().at(0).valid, 0) << "cold start: no position yet";
    EXPECT_EQ(GpsTrack().at(1).valid, 1);
    double speed = 0;
    float lat = 0, lon = 0;
    EXPECT_TRUE(GetSpeedAt(1000, speed));
    EXPECT_GT(speed, 10.0);
    EXPECT_LT(speed, 80.0);
    EXPECT_TRUE(GetPositionAt(1000, lat, lon));
    EXPECT_NEAR(lat, 37.5, 0.05) << "Seoul, Gangnam";
    EXPECT_NEAR(lon, 127.03, 0.05);
    // The impact at 1.5 s stands out of the samples around it.
    float x, y, z, xBefore, yy, zz;
    ASSERT_TRUE(GetAccelAt(1500, x, y, z));
    ASSERT_TRUE(GetAccelAt(1000, xBefore, yy, zz));
    EXPECT_GT(x, 1.8f) << "in g";
    EXPECT_LT(std::fabs(xBefore), 0.625f);
    EXPECT_NEAR(zz, 1.0f, 0.125f) << "1 g of gravity";
    GpsTrack().clear();
    GSensorTrack().clear();
}

TEST_F(Recordings, DamagedFilesEndCleanly)
{
    const std::vector<uint8_t> good = ReadBytes(path("two.avi"));
    const auto &written = s_written["two.avi"];
    QTemporaryDir dir;
    const std::string damaged = dir.filePath(QStringLiteral("damaged.avi")).toStdString();

    const uint8_t movi[] = {'m', 'o', 'v', 'i'};
    const size_t moviAt = size_t(std::search(good.begin(), good.end(), std::begin(movi), std::end(movi)) - good.begin());
    const uint8_t idx1[] = {'i', 'd', 'x', '1'};
    const size_t indexAt = size_t(std::find_end(good.begin(), good.end(), std::begin(idx1), std::end(idx1)) - good.begin());
    struct Case {
        const char *what;
        size_t keep; // bytes kept from the start
        bool opens;
    } cases[] = {
        {"empty", 0, false},
        {"only the RIFF header", 12, false},
        {"cut inside the stream headers", 300, false},
        {"cut before the media data", moviAt - 8, false},
        {"media data that holds nothing yet", moviAt + 4, true},
        {"cut in the middle of the media data", good.size() / 2, true},
        {"cut just before the index", indexAt, true},
        {"cut inside the index", indexAt + 8 + 16 * 10, true},
        {"cut at the last index entry", good.size() - 8, true},
    };
    for (const Case &c : cases) {
        WriteBytes(damaged, std::vector<uint8_t>(good.begin(), good.begin() + long(std::min(c.keep, good.size()))));
        RecordingFile file;
        ASSERT_EQ(file.open(QString::fromStdString(damaged)), c.opens) << c.what;
        if (!c.opens) {
            EXPECT_FALSE(file.errorString().isEmpty()) << c.what;
            uint8_t buffer[kRecordBufferSize] = {};
            uint32_t size = kRecordBufferSize, stamp = 0;
            EXPECT_NE(file.GetNextRecord(buffer, &size, &stamp), kRecordCopied) << c.what;
            continue;
        }
        const ReadBack back = ReadAll(file);
        EXPECT_EQ(back.last, kNoMoreRecords) << c.what;
        ASSERT_LE(back.records.size(), written.size()) << c.what;
        for (size_t i = 0; i < back.records.size(); ++i)
            EXPECT_EQ(back.records[i].text, written[i].text) << c.what << " record " << i;
        if (c.keep >= indexAt) {
            EXPECT_EQ(back.records.size(), written.size()) << c.what << ": all records are in the media data";
        } else if (c.keep > good.size() / 2) {
            EXPECT_GE(back.records.size(), written.size() / 3) << c.what;
        }
    }

    // Not a recording at all.
    WriteBytes(damaged, std::vector<uint8_t>(5000, 'x'));
    RecordingFile file;
    EXPECT_FALSE(file.open(QString::fromStdString(damaged)));
    EXPECT_FALSE(file.open(QStringLiteral("/nonexistent/file.avi")));

    // Random damage anywhere: whatever comes back, reading ends.
    std::mt19937 random(5);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> bytes = good;
        const int flips = 1 + int(random() % 20);
        for (int i = 0; i < flips; ++i)
            bytes[random() % bytes.size()] = uint8_t(random());
        if (round % 3 == 0)
            bytes.resize(random() % bytes.size());
        WriteBytes(damaged, bytes);
        RecordingFile f;
        if (f.open(QString::fromStdString(damaged))) {
            EXPECT_NE(ReadAll(f).last, kRecordCopied) << "round " << round;
        }
    }
}

namespace {

std::string Shell(const std::string &command, int *exitCode)
{
    const testsupport::Result r = testsupport::Shell(command);
    *exitCode = r.exitCode;
    return r.output;
}

} // namespace

namespace {

uint32_t Le32At(const std::vector<uint8_t> &b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
void PutLe32(std::vector<uint8_t> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

} // namespace

// The index says where the records are, but only chunks that are there count:
// an index that repeats an entry millions of times, or points a telemetry
// entry at a video chunk, gives the records of the file and no more.
TEST_F(Recordings, WhyAFileCannotBePlayed)
{
    const std::string whole = testsupport::ReadText(path("two.avi"));
    QTemporaryDir dir;
    auto at = [&](const char *name) { return dir.filePath(QString::fromLatin1(name)); };
    testsupport::WriteText(at("text.AVI").toStdString(), "not a recording at all, only some text\n");
    testsupport::WriteText(at("header-cut.AVI").toStdString(), whole.substr(0, 200));
    std::string hevc = whole;
    testsupport::ReplaceFourCc(hevc, "H264", "HEVC");
    testsupport::WriteText(at("hevc.AVI").toStdString(), hevc);
    ASSERT_EQ(::mkfifo(QFile::encodeName(at("fifo.AVI")).constData(), 0644), 0);
    struct Case {
        QString path;
        PlayProblem problem;
    } cases[] = {
        {at("gone.AVI"), PlayProblem::FileGone},
        {at("text.AVI"), PlayProblem::NotARecording},
        {at("fifo.AVI"), PlayProblem::NotARecording}, // and not waited on
        {at("header-cut.AVI"), PlayProblem::Damaged},
        {at("hevc.AVI"), PlayProblem::NothingDecodable},
    };
    for (const Case &c : cases)
        EXPECT_EQ(int(WhyNotPlayable(c.path)), int(c.problem)) << c.path.toStdString();
}

TEST_F(Recordings, TheIndexCannotInventRecords)
{
    const std::vector<uint8_t> good = ReadBytes(path("two.avi"));
    const auto &written = s_written["two.avi"];
    const uint8_t idx1[] = {'i', 'd', 'x', '1'};
    const size_t indexAt = size_t(std::find_end(good.begin(), good.end(), std::begin(idx1), std::end(idx1)) - good.begin());
    ASSERT_EQ(indexAt + 8 + Le32At(good, indexAt + 4), good.size()) << "the index ends the file";
    // Entries of the index: the first telemetry one and the first video one.
    size_t telemetry = 0, video = 0;
    for (size_t e = indexAt + 8; e + 16 <= good.size(); e += 16) {
        if (!telemetry && good[e + 2] == 't' && good[e + 3] == 'x')
            telemetry = e;
        if (!video && good[e + 2] == 'd' && good[e + 3] == 'c')
            video = e;
    }
    ASSERT_TRUE(telemetry && video);

    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("index.avi")).toStdString();
    auto withIndex = [&](const std::vector<uint8_t> &extraEntries, const std::function<void(std::vector<uint8_t> &)> &edit) {
        std::vector<uint8_t> bytes = good;
        edit(bytes);
        bytes.insert(bytes.end(), extraEntries.begin(), extraEntries.end());
        PutLe32(bytes, indexAt + 4, uint32_t(bytes.size() - indexAt - 8));
        PutLe32(bytes, 4, uint32_t(bytes.size() - 8));
        WriteBytes(file, bytes);
    };

    // A million more copies of one telemetry entry.
    std::vector<uint8_t> copies;
    copies.reserve(16u << 20);
    for (int i = 0; i < 1000000; ++i)
        copies.insert(copies.end(), good.begin() + long(telemetry), good.begin() + long(telemetry) + 16);
    withIndex(copies, [](std::vector<uint8_t> &) {});
    RecordingFile original;
    ASSERT_TRUE(original.open(QString::fromStdString(path("two.avi"))));
    RecordingFile repeated;
    ASSERT_TRUE(repeated.open(QString::fromStdString(file)));
    EXPECT_EQ(repeated.recordCount(), original.recordCount()) << "the records and the stream's header chunk";
    EXPECT_EQ(ReadAll(repeated).records.size(), written.size());

    // The telemetry stream's header chunk comes first; the entry after it (the
    // first record) points at a video chunk: skipped.
    withIndex({}, [&](std::vector<uint8_t> &bytes) {
        size_t second = telemetry + 16;
        while (!(bytes[second + 2] == 't' && bytes[second + 3] == 'x'))
            second += 16;
        std::copy_n(bytes.begin() + long(video) + 8, 8, bytes.begin() + long(second) + 8);
    });
    RecordingFile pointing;
    ASSERT_TRUE(pointing.open(QString::fromStdString(file)));
    const ReadBack back = ReadAll(pointing);
    ASSERT_EQ(back.records.size(), written.size() - 1);
    for (size_t i = 0; i < back.records.size(); ++i)
        EXPECT_EQ(back.records[i].text, written[i + 1].text) << "record " << i;
}

TEST_F(Recordings, OtherToolsReadTheFiles)
{
    struct Case {
        const char *name;
        const char *ffprobeStreams; // codec types in order
        const char *discoverer[3]; // streams listed, in order
        const char *pipeline;
    } cases[] = {
        {"two.avi", "video,video,audio,subtitle", {"video #", "video #", "audio #"},
         "d.video_0 ! queue ! h264parse ! avdec_h264 ! fakesink d.video_1 ! queue ! h264parse ! avdec_h264 ! "
         "fakesink d.audio_0 ! queue ! aacparse ! avdec_aac ! fakesink"},
        {"front.avi", "video,audio,subtitle", {"video #", "audio #", nullptr},
         "d.video_0 ! queue ! h264parse ! avdec_h264 ! fakesink d.audio_0 ! queue ! audioconvert ! fakesink"},
        {"silent.avi", "video,video,subtitle", {"video #", "video #", nullptr},
         "d.video_0 ! queue ! h264parse ! avdec_h264 ! fakesink d.video_1 ! queue ! h264parse ! avdec_h264 ! "
         "fakesink"},
    };
    for (const Case &c : cases) {
        const std::string file = path(c.name);
        int code = 0;
        std::string out = Shell("ffprobe -v error -show_entries stream=codec_type -of csv=p=0 '" + file + "'", &code);
        EXPECT_EQ(code, 0) << c.name << out;
        std::string types;
        for (char ch : out)
            types += ch == '\n' ? ',' : ch;
        EXPECT_EQ(types, std::string(c.ffprobeStreams) + ",") << c.name;
        EXPECT_EQ(Shell("ffmpeg -v error -i '" + file + "' -map 0:v -map 0:a? -f null -", &code), "") << c.name;

        out = Shell("gst-discoverer-1.0 '" + file + "'", &code);
        EXPECT_EQ(code, 0) << c.name << out;
        EXPECT_EQ(out.find("CRITICAL"), std::string::npos) << out;
        size_t at = 0;
        for (const char *stream : c.discoverer) {
            if (!stream)
                break;
            at = out.find(stream, at);
            ASSERT_NE(at, std::string::npos) << c.name << ": " << stream << "\n" << out;
            ++at;
        }

        out = Shell("gst-launch-1.0 filesrc location='" + file + "' ! avidemux name=d " + c.pipeline, &code);
        EXPECT_EQ(code, 0) << c.name << out;
        EXPECT_NE(out.find("Got EOS"), std::string::npos) << c.name << out;
        for (const char *bad : {"ERROR", "WARNING", "CRITICAL"})
            EXPECT_EQ(out.find(bad), std::string::npos) << c.name << ": " << bad << "\n" << out;
    }
}

TEST(RecordingLayout, TelemetryChunks)
{
    // A record chunk is the stamp (32 bits, little endian) and the record;
    // the stream opens with a "GAB2" header chunk that is no record.
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("t.avi")).toStdString();
    cardgen::AviWriter avi;
    cardgen::AviStream video;
    video.type = cardgen::AviStream::Video;
    video.width = 16;
    video.height = 16;
    cardgen::AviStream telemetry;
    telemetry.type = cardgen::AviStream::Telemetry;
    telemetry.name = "telemetry";
    ASSERT_TRUE(avi.open(path, {video, telemetry}));
    const uint8_t frame[3] = {0, 0, 1};
    avi.writeChunk(0, frame, 3, true);
    const std::string longRecord(2000, 'G');
    avi.writeRecord(1, 0x01020304, std::string("M\x00\x7F\xFF", 4));
    avi.writeRecord(1, 7, longRecord);
    avi.writeRecord(1, 8, "");
    ASSERT_TRUE(avi.close());

    const std::vector<uint8_t> bytes = ReadBytes(path);
    const uint8_t expected[] = {'0', '1', 't', 'x', 8, 0, 0, 0, 4, 3, 2, 1, 'M', 0, 0x7F, 0xFF};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), std::begin(expected), std::end(expected)), bytes.end());

    RecordingFile file;
    ASSERT_TRUE(file.open(QString::fromStdString(path)));
    const ReadBack back = ReadAll(file);
    ASSERT_EQ(back.records.size(), 3u);
    EXPECT_EQ(back.records[0].stampMs, 0x01020304u);
    EXPECT_EQ(back.records[0].text, std::string("M\x00\x7F\xFF", 4)) << "zero bytes inside a record are kept";
    EXPECT_EQ(back.records[1].text, longRecord.substr(0, 1023)) << "cut to the buffer, zero-terminated";
    EXPECT_EQ(back.records[2].text, "");
}
