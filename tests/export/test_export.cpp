// Telemetry exports on generated recordings, read back by tools nobody here
// wrote: gpsbabel for GPX, Python's csv module for CSV.
#include "catalogue/NativePath.h"
#include "export/ClipExport.h"
#include "export/TelemetryExport.h"
#include "map/MapScript.h"
#include "support/Files.h"
#include "support/Process.h"
#include "support/Recordings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <random>
#include <set>

using namespace drivora;

namespace {

class Exports : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        testsupport::SmallRecording a;
        a.fileName = "REC_20240315_081500_0.AVI";
        a.seconds = 6;
        a.coldStartFixes = 2; // the first two fixes have no position
        ASSERT_TRUE(testsupport::MakeRecording(path(0).toStdString(), a, &s_written[0]));
        testsupport::SmallRecording b = a;
        b.fileName = "REC_20240315_081506_0.AVI";
        b.startSeconds = 6;
        b.startUtc += 6;
        b.coldStartFixes = 0;
        ASSERT_TRUE(testsupport::MakeRecording(path(1).toStdString(), b, &s_written[1]));
        testsupport::SmallRecording noGps = a;
        noGps.fileName = "PRK_20240315_093000_0.AVI";
        noGps.gps = false;
        ASSERT_TRUE(testsupport::MakeRecording(path(2).toStdString(), noGps, &s_written[2]));
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString path(int i)
    {
        static const char *names[] = {"REC_20240315_081500_0.AVI", "REC_20240315_081506_0.AVI",
                                      "PRK_20240315_093000_0.AVI"};
        return s_dir->filePath(QString::fromLatin1(names[i]));
    }
    static int ValidFixes(int i)
    {
        int n = 0;
        for (const cardgen::TelemetryRecord &r : s_written[i])
            n += r.text.rfind("GPRMC", 0) == 0 && r.text.find(",A,") != std::string::npos;
        return n;
    }
    static QTemporaryDir *s_dir;
    static std::vector<cardgen::TelemetryRecord> s_written[3];
    QTemporaryDir m_out;
};
QTemporaryDir *Exports::s_dir = nullptr;
std::vector<cardgen::TelemetryRecord> Exports::s_written[3];

std::string Q(const QString &s)
{
    return testsupport::Quote(s.toStdString());
}

} // namespace

TEST_F(Exports, GpxReadsBackThroughGpsbabelWithEveryFixAndTime)
{
    const QString gpx = m_out.filePath("trip.gpx");
    std::vector<std::pair<int, int>> calls;
    const ExportResult r = ExportTelemetry({path(0), path(1), path(2)}, ExportKind::Gpx, gpx, [&](int done, int total) {
        calls.emplace_back(done, total);
        return true;
    });
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
    const int expected = ValidFixes(0) + ValidFixes(1);
    ASSERT_EQ(ValidFixes(2), 0);
    EXPECT_EQ(r.points, expected);

    // Valid GPX 1.1; the schema check itself refuses what GPX 1.1 has no
    // place for.
    QFile exported(gpx);
    ASSERT_TRUE(exported.open(QIODevice::ReadOnly));
    const QByteArray document = exported.readAll();
    const QByteArray point = "<trkpt lat=\"";
    ASSERT_TRUE(document.contains(point));
    struct Check {
        const char *what;
        QByteArray text;
        bool valid;
    } checks[] = {
        {"the export", document, true},
        {"a speed element of GPX 1.0 in a point", QByteArray(document).replace("<time>", "<speed>1</speed><time>"),
         false},
        {"a latitude beyond the pole", QByteArray(document).replace(point, point + "9"), false},
    };
    for (const Check &c : checks) {
        const QString file = m_out.filePath("check.gpx");
        ASSERT_TRUE(testsupport::WriteText(file.toStdString(), c.text.toStdString()));
        const testsupport::Result v =
            testsupport::Shell("xmllint --noout --schema " + testsupport::Quote(GPX_SCHEMA) + " " + Q(file));
        EXPECT_EQ(v.exitCode == 0, c.valid) << c.what << "\n" << v.output;
    }
    const testsupport::Result back = testsupport::Shell("gpsbabel -t -i gpx -f " + Q(gpx) + " -o unicsv,utc=0 -F -");
    ASSERT_EQ(back.exitCode, 0) << back.output;
    QStringList lines = QString::fromStdString(back.output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.takeFirst().trimmed(), QStringLiteral("No,Latitude,Longitude,Date,Time"));
    ASSERT_EQ(lines.size(), expected);
    // The first fix of recording 0 is its third second (two cold-start fixes);
    // recording 1 goes on where it ended, one fix a second.
    auto utc = [](int64_t s) {
        return QDateTime::fromSecsSinceEpoch(s, Qt::UTC).toString(QStringLiteral("yyyy/MM/dd,HH:mm:ss"));
    };
    const int64_t start = testsupport::SmallRecording().startUtc;
    EXPECT_TRUE(lines.first().trimmed().endsWith(utc(start + 2))) << lines.first().toStdString();
    EXPECT_TRUE(lines.last().trimmed().endsWith(utc(start + 11))) << lines.last().toStdString();
    // Three segments: one a recording (the one without GPS stays empty).
    QFile f(gpx);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().count("<trkseg>"), 3);
}

TEST_F(Exports, CsvReadsBackWithPythonAndMatchesTheTelemetry)
{
    const QString csv = m_out.filePath("trip.csv");
    const ExportResult r = ExportTelemetry({path(0), path(2)}, ExportKind::Csv, csv);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    // Python reads it and compares each row with the records the generator wrote.
    QString records = m_out.filePath("records.txt");
    {
        QFile f(records);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i : {0, 2})
            for (const cardgen::TelemetryRecord &rec : s_written[i]) {
                QByteArray text = QByteArray::fromStdString(rec.text);
                if (text.startsWith('M'))
                    text = "M," + QByteArray::number(128 - uint8_t(text[1])) + "," +
                           QByteArray::number(128 - uint8_t(text[2])) + "," + QByteArray::number(128 - uint8_t(text[3]));
                f.write(QByteArray::number(i) + "\t" + QByteArray::number(rec.stampMs) + "\t" + text + "\n");
            }
    }
    const char *script = R"PY(
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1], newline='', encoding='utf-8')))
names = {'0': 'REC_20240315_081500_0.AVI', '2': 'PRK_20240315_093000_0.AVI'}
want = {}
for line in open(sys.argv[2], encoding='latin-1'):
    rec, stamp, text = line.rstrip('\n').split('\t', 2)
    row = want.setdefault((names[rec], int(stamp)), {})
    if text.startswith('M'):
        _, x, y, z = text.split(',')
        row['g'] = (int(x) / 32, int(y) / 32, int(z) / 32)
    else:
        f = text.split(',')
        row['valid'] = f[2] == 'A'
        if row['valid']:
            lat = float(f[3]) / 100; d = int(lat); lat = d + (lat - d) * 100 / 60
            lon = float(f[5]) / 100; d = int(lon); lon = d + (lon - d) * 100 / 60
            row['pos'] = (lat if f[4] == 'N' else -lat, lon if f[6] == 'E' else -lon, float(f[7]) * 1.852)
got = {(r['recording'], round(float(r['media_time_s']) * 1000)): r for r in rows}
assert set(got) == set(want), (len(got), len(want))
for key, w in want.items():
    r = got[key]
    if 'g' in w:
        assert tuple(float(r[k]) for k in ('accel_x_g', 'accel_y_g', 'accel_z_g')) == w['g'], (key, r)
    else:
        assert r['accel_x_g'] == '', (key, r)
    if 'valid' in w:
        assert r['fix_valid'] == ('1' if w['valid'] else '0'), (key, r)
        assert r['utc_time'].startswith('2024-03-1'), (key, r)
    if 'pos' in w:
        lat, lon, kmh = w['pos']
        assert abs(float(r['latitude_deg']) - lat) < 1e-6 and abs(float(r['longitude_deg']) - lon) < 1e-6, (key, r)
        assert abs(float(r['speed_km_h']) - kmh) < 0.01, (key, r)
    else:
        assert r['latitude_deg'] == '', (key, r)
print(len(rows))
)PY";
    const QString py = m_out.filePath("check.py");
    {
        QFile f(py);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(script);
    }
    const testsupport::Result check = testsupport::Shell("python3 " + Q(py) + " " + Q(csv) + " " + Q(records));
    EXPECT_EQ(check.exitCode, 0) << check.output;
    EXPECT_EQ(check.output, std::to_string(r.points) + "\n");
}

TEST_F(Exports, CsvSpeedInTheViewersUnit)
{
    RecordingTelemetry t;
    ASSERT_TRUE(ReadRecordingTelemetry(path(1), t, nullptr));
    const QList<QByteArray> kmh = CsvDocument({t}).split('\n'), mph = CsvDocument({t}, true).split('\n');
    EXPECT_TRUE(kmh[0].contains(",speed_km_h,"));
    EXPECT_TRUE(mph[0].contains(",speed_mph,"));
    int compared = 0;
    for (int i = 1; i < kmh.size(); ++i) {
        const QByteArray a = kmh[i].split(',').value(6), b = mph[i].split(',').value(6);
        if (a.isEmpty())
            continue;
        EXPECT_NEAR(b.toDouble(), a.toDouble() / 1.609344, 0.006) << kmh[i].constData();
        ++compared;
    }
    EXPECT_GT(compared, 3);
}

TEST_F(Exports, BadCasesSayWhatHappenedAndLeaveNoHalfFile)
{
    // No GPS at all: GPX refuses, CSV still has the G-sensor.
    const QString noGps = m_out.filePath("none.gpx");
    ExportResult r = ExportTelemetry({path(2)}, ExportKind::Gpx, noGps);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("no GPS data"))) << r.message.toStdString();
    EXPECT_FALSE(QFile::exists(noGps));
    EXPECT_TRUE(ExportTelemetry({path(2)}, ExportKind::Csv, m_out.filePath("g.csv")).ok);

    // A recording cut in the middle: what is whole is exported, and where it stopped is said.
    const QString cut = m_out.filePath("REC_20240315_081500_0.AVI");
    ASSERT_TRUE(QFile::copy(path(0), cut));
    ASSERT_TRUE(QFile::resize(cut, QFileInfo(cut).size() / 2));
    r = ExportTelemetry({cut, path(1)}, ExportKind::Gpx, m_out.filePath("cut.gpx"));
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    ASSERT_EQ(r.warnings.size(), 1);
    EXPECT_TRUE(r.warnings[0].startsWith(QStringLiteral("REC_20240315_081500_0.AVI: the recording breaks off; exported up to 0:0")))
        << r.warnings[0].toStdString();
    EXPECT_GT(r.points, ValidFixes(1));
    EXPECT_LT(r.points, ValidFixes(0) + ValidFixes(1));

    // Not a recording: left out with its reason.
    const QString junk = m_out.filePath("REC_20240315_090000_0.AVI");
    {
        QFile f(junk);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not a recording");
    }
    r = ExportTelemetry({junk, path(1)}, ExportKind::Csv, m_out.filePath("j.csv"));
    EXPECT_TRUE(r.ok);
    ASSERT_EQ(r.warnings.size(), 1);
    EXPECT_TRUE(r.warnings[0].startsWith(QStringLiteral("REC_20240315_090000_0.AVI: left out"))) << r.warnings[0].toStdString();

    // Cancelled: no file.
    r = ExportTelemetry({path(0), path(1)}, ExportKind::Csv, m_out.filePath("c.csv"), [](int done, int) { return done < 1; });
    EXPECT_TRUE(r.cancelled);
    EXPECT_FALSE(QFile::exists(m_out.filePath("c.csv")));

    // A full disk: a message, and the earlier file untouched.
    testsupport::SmallDisk disk("16k");
    if (!disk.available())
        GTEST_SKIP() << "mounting a small disk needs root";
    const QString full = QString::fromStdString(disk.file("trip.csv"));
    {
        QFile f(full);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier\n");
    }
    disk.fill();
    r = ExportTelemetry({path(0), path(1)}, ExportKind::Csv, full);
    disk.unfill();
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("cannot write"))) << r.message.toStdString();
    QFile f(full);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("earlier\n"));
    EXPECT_EQ(QDir(QString::fromStdString(disk.path())).entryList(QDir::Files), QStringList({"trip.csv"}));
}

namespace {
// The MD5 of every decoded picture of a file's video stream `stream`, by ffmpeg.
std::string FrameMd5(const QString &file, int stream)
{
    return testsupport::Shell("ffmpeg -v error -i " + Q(file) + " -map 0:v:" + std::to_string(stream) +
                              " -f framemd5 - | grep -v '^#' | awk -F, '{print $NF}'")
        .output;
}
} // namespace

TEST_F(Exports, AClipDecodesFrameForFrameLikeTheChannel)
{
    for (const auto &[channel, name] : {std::pair{0, "front.mp4"}, std::pair{1, "rear.3gp"}}) {
        const QString clip = m_out.filePath(QString::fromLatin1(name));
        const ClipResult r = ExportClip(path(0), channel, clip, ClipFormatFor(clip));
        ASSERT_TRUE(r.ok) << r.message.toStdString();
        EXPECT_EQ(r.frames, 6 * 15);
        const std::string source = FrameMd5(path(0), channel);
        EXPECT_EQ(std::count(source.begin(), source.end(), '\n'), 90);
        EXPECT_EQ(FrameMd5(clip, 0), source) << name;
        const testsupport::Result play = testsupport::Shell("gst-discoverer-1.0 " + Q(clip));
        EXPECT_NE(play.output.find("H.264"), std::string::npos) << play.output;
        QFile f(clip);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.read(12).mid(8), QByteArray(channel == 0 ? "isom" : "3gp4"));
        EXPECT_TRUE(QFile::exists(r.gpx)) << "the telemetry beside it";
        const mode_t mask = ::umask(0);
        ::umask(mask);
        EXPECT_EQ(QFileInfo(clip).permission(QFileDevice::ReadOther), (mask & 004) == 0) << "an ordinary file";
    }
    EXPECT_EQ(QDir(m_out.path()).entryList(QDir::Files).filter(QStringLiteral("partial")), QStringList());

    // A recording of a camera whose encoder writes B-frames: the clip keeps
    // decoding order and shows each picture in its place.
    testsupport::SmallRecording withB;
    withB.bFrames = 2;
    withB.rearWidth = 0;
    const QString source = m_out.filePath("REC_20240315_091500_0.AVI");
    ASSERT_TRUE(testsupport::MakeRecording(source.toStdString(), withB));
    const QString clip = m_out.filePath("b-frames.mp4");
    const ClipResult r = ExportClip(source, 0, clip, ClipFormat::Mp4);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    const std::string expected = FrameMd5(source, 0);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), 3 * 15);
    EXPECT_EQ(FrameMd5(clip, 0), expected);
    const testsupport::Result times =
        testsupport::Shell("ffprobe -v error -show_entries frame=pts_time -of csv=p=0 " + Q(clip) + " | head -4");
    EXPECT_EQ(times.output, "0.000000\n0.066667\n0.133333\n0.200000\n");
}

TEST_F(Exports, ClipsThatCannotBeMadeSaySo)
{
    // One channel only: no rear clip. Without GPS: the clip, and a word about the GPX.
    ClipResult r = ExportClip(path(2), 1, m_out.filePath("rear.mp4"), ClipFormat::Mp4);
    EXPECT_TRUE(r.ok) << "the test recording has a rear channel";
    r = ExportClip(path(2), 0, m_out.filePath("nogps.mp4"), ClipFormat::Mp4);
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.warnings.size(), 1);
    EXPECT_TRUE(r.warnings[0].contains(QStringLiteral("no GPS data")));
    testsupport::SmallRecording frontOnly;
    frontOnly.rearWidth = 0;
    const QString single = m_out.filePath("REC_20240315_090000_0.AVI");
    ASSERT_TRUE(testsupport::MakeRecording(single.toStdString(), frontOnly));
    r = ExportClip(single, 1, m_out.filePath("none.mp4"), ClipFormat::Mp4);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, QStringLiteral("the recording has no rear channel"));
    EXPECT_FALSE(QFile::exists(m_out.filePath("none.mp4")));

    // A recording cut in the middle: the whole pictures, and where it stopped.
    const QString cut = m_out.filePath("REC_20240315_081500_0.AVI");
    ASSERT_TRUE(QFile::copy(path(0), cut));
    ASSERT_TRUE(QFile::resize(cut, QFileInfo(cut).size() / 2));
    r = ExportClip(cut, 0, m_out.filePath("cut.mp4"), ClipFormat::Mp4);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    ASSERT_FALSE(r.warnings.isEmpty());
    EXPECT_TRUE(r.warnings[0].contains(QStringLiteral("breaks off"))) << r.warnings[0].toStdString();
    EXPECT_GT(r.frames, 10);
    EXPECT_LT(r.frames, 90);
    const std::string whole = FrameMd5(path(0), 0), part = FrameMd5(m_out.filePath("cut.mp4"), 0);
    EXPECT_EQ(whole.substr(0, part.size()), part) << "the pictures kept are the source's first ones";

    // A full disk: a message, no half file claiming to be whole.
    testsupport::SmallDisk disk("64k");
    if (!disk.available())
        GTEST_SKIP() << "mounting a small disk needs root";
    const QString full = QString::fromStdString(disk.file("clip.mp4"));
    r = ExportClip(path(0), 0, full, ClipFormat::Mp4);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.message.startsWith(QStringLiteral("cannot write"))) << r.message.toStdString();
    EXPECT_TRUE(QDir(QString::fromStdString(disk.path())).entryList(QDir::Files).isEmpty());
}

namespace {

// The entries of a recording's index, with the file offset of each chunk's header.
struct IndexEntry {
    std::string id;
    uint32_t flags, at, size;
};
uint32_t Le32(const std::string &b, size_t at)
{
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
           uint32_t(uint8_t(b[at + 3])) << 24;
}
std::vector<IndexEntry> ReadIndex(const std::string &bytes)
{
    const size_t movi = bytes.find("movi"), idx1 = bytes.rfind("idx1");
    std::vector<IndexEntry> entries;
    for (size_t e = idx1 + 8; e + 16 <= idx1 + 8 + Le32(bytes, idx1 + 4); e += 16)
        entries.push_back({bytes.substr(e, 4), Le32(bytes, e + 4), uint32_t(movi + Le32(bytes, e + 8)), Le32(bytes, e + 12)});
    return entries;
}
std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    for (const QString &l : QString::fromStdString(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        lines.push_back(l.toStdString());
    return lines;
}

} // namespace

// Garbage over a stretch of chunks in the middle (a bad sector of the card):
// the clip holds every whole picture on both sides of it, says where it was,
// and the telemetry after it still reaches the GPX.
TEST_F(Exports, AClipStepsOverADamagedStretchAndSaysWhere)
{
    testsupport::SmallRecording shape;
    shape.fileName = "REC_20240315_100000_0.AVI";
    shape.seconds = 20; // 300 front pictures, a key frame every 15
    const QString source = m_out.filePath(QString::fromStdString(shape.fileName));
    std::vector<cardgen::TelemetryRecord> records;
    ASSERT_TRUE(testsupport::MakeRecording(source.toStdString(), shape, &records));
    const std::string good = testsupport::ReadText(source.toStdString());
    std::vector<IndexEntry> front;
    for (const IndexEntry &e : ReadIndex(good))
        if (e.id == "00dc")
            front.push_back(e);
    ASSERT_EQ(front.size(), 300u);
    // From the header of picture 100 into the middle of picture 130's data.
    const size_t from = front[100].at, to = front[130].at + 8 + front[130].size / 2;
    std::string damaged = good;
    std::mt19937 random(7);
    for (size_t i = from; i < to; ++i)
        damaged[i] = char(random());
    size_t nextKey = 131;
    while (!(front[nextKey].flags & 0x10))
        ++nextKey;
    const std::vector<std::string> whole = Lines(FrameMd5(source, 0));
    ASSERT_EQ(whole.size(), 300u);
    const std::string lastFix = [&] {
        for (auto it = records.rbegin(); it != records.rend(); ++it)
            if (it->text.rfind("GPRMC", 0) == 0)
                return QByteArray::number(it->stampMs / 1000.0, 'f', 3).toStdString();
        return std::string();
    }();

    struct Case {
        const char *what;
        bool index;
        const char *says;      // in the warning
        const char *resumesAt; // the showing time of the first picture after the damage
    } cases[] = {
        {"with its index", true, "damaged media data at 0:06.666; 31 pictures left out, the clip goes on at 0:08.733",
         "8.733333"},
        {"without an index", false, "damaged media data after 0:06.666", "6.666667"},
    };
    for (const Case &c : cases) {
        QDir(m_out.path()).mkpath(QString::fromLatin1(c.what));
        const QString file = m_out.filePath(QString::fromLatin1(c.what) + QLatin1Char('/') + QString::fromStdString(shape.fileName));
        std::string bytes = damaged;
        if (!c.index)
            bytes.replace(bytes.rfind("idx1"), 4, "JUNK");
        ASSERT_TRUE(testsupport::WriteText(file.toStdString(), bytes));
        const QString clip = m_out.filePath(QString::fromLatin1(c.what) + QStringLiteral("/clip.mp4"));
        const ClipResult r = ExportClip(file, 0, clip, ClipFormat::Mp4);
        ASSERT_TRUE(r.ok) << c.what << ": " << r.message.toStdString();
        EXPECT_EQ(r.frames, 300 - 31) << c.what;
        ASSERT_FALSE(r.warnings.isEmpty()) << c.what;
        EXPECT_TRUE(r.warnings[0].contains(QString::fromLatin1(c.says))) << r.warnings[0].toStdString();
        EXPECT_FALSE(r.warnings.join(QLatin1Char('\n')).contains(QStringLiteral("breaks off"))) << c.what;

        // The pictures before the damage, and from the first key frame after
        // it, decode as in the whole recording.
        const std::vector<std::string> kept = Lines(FrameMd5(clip, 0));
        ASSERT_EQ(kept.size(), 300u - 31) << c.what;
        EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + 100, kept.begin())) << c.what;
        EXPECT_TRUE(std::equal(whole.begin() + long(nextKey), whole.end(), kept.end() - long(300 - nextKey))) << c.what;
        const std::vector<std::string> times = Lines(
            testsupport::Shell("ffprobe -v error -show_entries frame=pts_time -of csv=p=0 " + Q(clip)).output);
        ASSERT_EQ(times.size(), 300u - 31) << c.what;
        EXPECT_EQ(times[99], "6.600000") << c.what;
        EXPECT_EQ(times[100], c.resumesAt) << c.what;

        // The fixes after the damage are in the GPX beside the clip.
        const std::string gpx = testsupport::ReadText(r.gpx.toStdString());
        EXPECT_NE(gpx.find("<dv:media_time>" + lastFix + "</dv:media_time>"), std::string::npos) << c.what;
    }
}

// Fixes of a receiver that gives coordinates nowhere on the earth (or no
// number at all) under a valid status: no GPX point, and no position in the
// CSV, whose fix column says there was none.
TEST_F(Exports, OnlyRealCoordinatesLeaveTheRecording)
{
    struct Bad {
        const char *field; // replaces the latitude and its hemisphere, or the longitude and its
        bool latitude;
    } bad[] = {
        {"10039.0000,N", true}, // 100.65 degrees north
        {"9000.0001,S", true},  // just past the pole
        {"nan,N", true},
        {"inf,N", true},
        {"18100.0000,E", false}, // 181 degrees east
        {"-nan,W", false},
    };
    testsupport::SmallRecording shape;
    shape.fileName = "REC_20240315_110000_0.AVI";
    shape.seconds = 14;
    std::set<uint32_t> bogus; // the media times of the bad fixes
    shape.editRecords = [&](std::vector<cardgen::TelemetryRecord> &records) {
        size_t next = 0, fix = 0;
        for (cardgen::TelemetryRecord &r : records) {
            if (r.text.rfind("GPRMC", 0) != 0 || fix++ % 2 == 0 || next == std::size(bad))
                continue;
            // GPRMC,time,A,lat,N,lon,E,...: fields 3-4 or 5-6.
            QList<QByteArray> f = QByteArray::fromStdString(r.text).split(',');
            const QList<QByteArray> value = QByteArray(bad[next].field).split(',');
            const int at = bad[next].latitude ? 3 : 5;
            f[at] = value[0];
            f[at + 1] = value[1];
            r.text = f.join(',').toStdString();
            bogus.insert(r.stampMs);
            ++next;
        }
    };
    const QString source = m_out.filePath(QString::fromStdString(shape.fileName));
    std::vector<cardgen::TelemetryRecord> written;
    ASSERT_TRUE(testsupport::MakeRecording(source.toStdString(), shape, &written));
    ASSERT_EQ(bogus.size(), std::size(bad));
    int real = 0;
    for (const cardgen::TelemetryRecord &r : written)
        real += r.text.rfind("GPRMC", 0) == 0 && r.text.find(",A,") != std::string::npos && !bogus.count(r.stampMs);

    const QString gpx = m_out.filePath(QStringLiteral("real.gpx"));
    ExportResult r = ExportTelemetry({source}, ExportKind::Gpx, gpx);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    EXPECT_EQ(r.points, real);
    ASSERT_FALSE(r.warnings.isEmpty());
    EXPECT_TRUE(r.warnings[0].contains(QStringLiteral("6 fixes"))) << r.warnings[0].toStdString();
    const testsupport::Result valid =
        testsupport::Shell("xmllint --noout --schema " + testsupport::Quote(GPX_SCHEMA) + " " + Q(gpx));
    EXPECT_EQ(valid.exitCode, 0) << valid.output;
    const std::string document = testsupport::ReadText(gpx.toStdString());
    EXPECT_EQ(QByteArray::fromStdString(document).count("<trkpt "), real);
    for (uint32_t ms : bogus)
        EXPECT_EQ(document.find("<dv:media_time>" + QByteArray::number(ms / 1000.0, 'f', 3).toStdString() + "<"),
                  std::string::npos)
            << ms;

    const QString csv = m_out.filePath(QStringLiteral("real.csv"));
    r = ExportTelemetry({source}, ExportKind::Csv, csv);
    ASSERT_TRUE(r.ok) << r.message.toStdString();
    QString stamps;
    for (uint32_t ms : bogus)
        stamps += QString::number(ms) + QLatin1Char(' ');
    const char *script = R"PY(
import csv, math, sys
bogus = set(int(s) for s in sys.argv[2].split())
seen = 0
for r in csv.DictReader(open(sys.argv[1], newline='', encoding='utf-8')):
    ms = round(float(r['media_time_s']) * 1000)
    if ms in bogus:
        seen += 1
        assert r['fix_valid'] == '0' and r['latitude_deg'] == '' and r['longitude_deg'] == '', r
    elif r['latitude_deg']:
        lat, lon = float(r['latitude_deg']), float(r['longitude_deg'])
        assert r['fix_valid'] == '1' and abs(lat) <= 90 and abs(lon) <= 180 and math.isfinite(lat + lon), r
print(seen)
)PY";
    const QString py = m_out.filePath(QStringLiteral("real.py"));
    ASSERT_TRUE(testsupport::WriteText(py.toStdString(), script));
    const testsupport::Result check =
        testsupport::Shell("python3 " + Q(py) + " " + Q(csv) + " " + testsupport::Quote(stamps.toStdString()));
    EXPECT_EQ(check.output, "6\n");
}

// Recording names as a file system gives them: quotes, commas, CR and LF,
// control bytes, XML's special characters and bytes that are not UTF-8. The
// GPX stays valid GPX 1.1 and the CSV valid RFC 4180; both give the name back
// (U+FFFD for what XML or UTF-8 cannot hold).
TEST_F(Exports, NamesOfAnyBytesKeepBothFormatsValid)
{
    struct Name {
        QByteArray bytes;      // the file's name
        QString gpx, csv;      // read back from each
    } names[] = {
        {"REC_\"quoted\", with a comma.AVI", QStringLiteral("REC_\"quoted\", with a comma.AVI"),
         QStringLiteral("REC_\"quoted\", with a comma.AVI")},
        {"REC_line\r\nbreak\rand\nmore.AVI", QStringLiteral("REC_line\r\nbreak\rand\nmore.AVI"),
         QStringLiteral("REC_line\r\nbreak\rand\nmore.AVI")},
        {"REC_<&>'\"\t.AVI", QStringLiteral("REC_<&>'\"\t.AVI"), QStringLiteral("REC_<&>'\"\t.AVI")},
        {"REC_\x01\x1b[0m\x7f.AVI", QStringLiteral("REC_\uFFFD\uFFFD[0m\x7f.AVI"), QStringLiteral("REC_\x01\x1b[0m\x7f.AVI")},
        {"REC_\xb0\xa1\xc7\xd1.AVI", QStringLiteral("REC_\uFFFD\uFFFD\uFFFD\uFFFD.AVI"),
         QStringLiteral("REC_\uFFFD\uFFFD\uFFFD\uFFFD.AVI")},
    };
    QJsonArray expected;
    QStringList files;
    for (const Name &n : names) {
        const QString file = m_out.path() + QLatin1Char('/') + PathFromNative(n.bytes);
        ASSERT_TRUE(testsupport::WriteText(NativeFromPath(file).toStdString(), testsupport::ReadText(path(1).toStdString())));
        files << file;
        expected.append(QJsonArray{n.gpx, n.csv});
    }
    const QString gpx = m_out.filePath(QStringLiteral("names.gpx")), csv = m_out.filePath(QStringLiteral("names.csv"));
    ASSERT_TRUE(ExportTelemetry(files, ExportKind::Gpx, gpx).ok);
    ASSERT_TRUE(ExportTelemetry(files, ExportKind::Csv, csv).ok);
    const testsupport::Result valid =
        testsupport::Shell("xmllint --noout --schema " + testsupport::Quote(GPX_SCHEMA) + " " + Q(gpx));
    EXPECT_EQ(valid.exitCode, 0) << valid.output;

    const QString want = m_out.filePath(QStringLiteral("names.json"));
    ASSERT_TRUE(testsupport::WriteText(want.toStdString(), QJsonDocument(expected).toJson().toStdString()));
    const char *script = R"PY(
import csv, json, sys
import xml.etree.ElementTree as ET
want = json.load(open(sys.argv[3], encoding='utf-8'))
ns = {'g': 'http://www.topografix.com/GPX/1/1'}
gpx = []
for seg in ET.parse(sys.argv[1]).getroot().iterfind('g:trk/g:trkseg', ns):
    srcs = {p.findtext('g:src', namespaces=ns) for p in seg.iterfind('g:trkpt', ns)}
    assert len(srcs) == 1, srcs
    gpx.append(srcs.pop())
rows = list(csv.reader(open(sys.argv[2], newline='', encoding='utf-8')))
assert all(len(r) == len(rows[0]) for r in rows), 'a row with too many or too few fields'
names = []
for r in rows[1:]:
    if not names or names[-1] != r[0]:
        names.append(r[0])
assert gpx == [w[0] for w in want], (gpx, want)
assert names == [w[1] for w in want], (names, want)
print('ok')
)PY";
    const QString py = m_out.filePath(QStringLiteral("names.py"));
    ASSERT_TRUE(testsupport::WriteText(py.toStdString(), script));
    const testsupport::Result check = testsupport::Shell("python3 " + Q(py) + " " + Q(gpx) + " " + Q(csv) + " " + Q(want));
    EXPECT_EQ(check.output, "ok\n");
}

// What is no regular file is never written to nor replaced: a FIFO (whose
// opening would wait for a reader), a device, and links to them. The export
// says so at once and leaves them as they were.
TEST_F(Exports, AFifoOrDeviceAsTheOutputIsRefused)
{
    const QString fifo = m_out.filePath(QStringLiteral("pipe")), device = m_out.filePath(QStringLiteral("null"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const bool haveDevice = ::mknod(device.toLocal8Bit().constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    ASSERT_TRUE(QFile::link(fifo, m_out.filePath(QStringLiteral("pipe-link"))));
    struct Output {
        const char *name;
        mode_t type;
    } outputs[] = {{"pipe", S_IFIFO}, {"pipe-link", S_IFIFO}, {"null", S_IFCHR}};
    for (const Output &o : outputs) {
        if (o.type == S_IFCHR && !haveDevice)
            continue; // making a device node needs root
        const QString out = m_out.filePath(QString::fromLatin1(o.name));
        const ExportResult gpx = ExportTelemetry({path(0)}, ExportKind::Gpx, out);
        const ExportResult csv = ExportTelemetry({path(0)}, ExportKind::Csv, out);
        const ClipResult clip = ExportClip(path(0), 0, out, ClipFormat::Mp4);
        for (const auto &[ok, message] : {std::pair{gpx.ok, gpx.message}, std::pair{csv.ok, csv.message},
                                          std::pair{clip.ok, clip.message}}) {
            EXPECT_FALSE(ok) << o.name;
            EXPECT_TRUE(message.contains(QStringLiteral("is not a regular file"))) << o.name << ": " << message.toStdString();
        }
        struct stat st {};
        ASSERT_EQ(::stat(out.toLocal8Bit().constData(), &st), 0) << o.name;
        EXPECT_EQ(st.st_mode & S_IFMT, o.type) << o.name << " is still there as it was";
    }
    EXPECT_EQ(QDir(m_out.path()).entryList(QDir::Files).filter(QStringLiteral("partial")), QStringList());
}

// The clips of one export never take each other's names: recordings of the
// same name (two folders, two cards) get a number, and so does a name that
// would fall on one given before, also in another case.
TEST(ClipNames, EveryClipOfAnExportHasItsOwnName)
{
    ClipNames names;
    const struct {
        const char *wanted, *given;
    } steps[] = {
        {"/out/REC_20240315_081500_0.mp4", "/out/REC_20240315_081500_0.mp4"},
        {"/out/REC_20240315_081500_0.mp4", "/out/REC_20240315_081500_0-2.mp4"},
        {"/out/REC_20240315_081500_0.mp4", "/out/REC_20240315_081500_0-3.mp4"},
        {"/out/REC_20240315_081500_0-2.mp4", "/out/REC_20240315_081500_0-2-2.mp4"},
        {"/out/rec_20240315_081500_0.MP4", "/out/rec_20240315_081500_0-4.MP4"},
        {"/out/REC_20240315_081500_0.3gp", "/out/REC_20240315_081500_0-5.3gp"}, // its GPX would be the first one's
        {"/other/REC_20240315_081500_0.mp4", "/other/REC_20240315_081500_0.mp4"},
    };
    for (const auto &s : steps)
        EXPECT_EQ(names.take(QString::fromLatin1(s.wanted)), QString::fromLatin1(s.given)) << s.wanted;
    EXPECT_EQ(ClipGpxPath(QStringLiteral("/out/REC_20240315_081500_0-2.mp4")), QStringLiteral("/out/REC_20240315_081500_0-2.gpx"));
}
