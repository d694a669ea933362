#include "TelemetryExport.h"

#include "OutputFile.h"
#include "catalogue/NativePath.h"
#include "catalogue/RecordingFile.h"
#include "map/MapScript.h"
#include "settings/ViewerOptions.h"

#include <QDateTime>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <map>

namespace drivora {

bool ReadRecordingTelemetry(const QString &path, RecordingTelemetry &out, QString *why)
{
    out = RecordingTelemetry();
    out.path = path;
    out.fileName = QFileInfo(path).fileName();
    RecordingFile file;
    if (!file.open(path)) {
        if (why)
            *why = file.errorString();
        return false;
    }
    uint32_t announced = 0;
    for (const RecordingStream &s : file.streams())
        if (s.type == "txts")
            announced = s.length;
    size_t read = 0;
    for (;;) {
        uint8_t buffer[kRecordBufferSize] = {};
        uint32_t size = kRecordBufferSize, stamp = 0;
        if (file.GetNextRecord(buffer, &size, &stamp) != kRecordCopied)
            break;
        ++read;
        const std::string_view text(reinterpret_cast<const char *>(buffer), std::min<size_t>(size, kRecordBufferSize - 1));
        if (text.empty())
            continue;
        if (text[0] == 'M') {
            auto byte = [&text](size_t i) { return i < text.size() ? int32_t(uint8_t(text[i])) : 0; };
            CGSensorData g;
            g.x = 128 - byte(1);
            g.y = 128 - byte(2);
            g.z = 128 - byte(3);
            g.stampMs = stamp;
            out.samples.push_back(g);
        } else if (text[0] == 'G') {
            CGPSData fix;
            ParseGpsSentence(fix, stamp, text);
            out.fixes.push_back(fix);
        }
        out.stoppedAtMs = stamp;
    }
    out.broken = announced > 0 && read < announced;
    return true;
}

int64_t FixUtcSeconds(const CGPSData &fix)
{
    if (fix.year <= 0 && fix.month <= 0 && fix.day <= 0)
        return -1;
    std::tm t{};
    t.tm_year = fix.year + 100; // two digits: 20yy
    t.tm_mon = fix.month - 1;
    t.tm_mday = fix.day;
    t.tm_hour = fix.hour - 9; // the camera adds 9 hours to the fix's UTC hour
    t.tm_min = fix.minute;
    t.tm_sec = fix.second;
    return int64_t(timegm(&t));
}

bool HasPosition(const CGPSData &fix)
{
    const double lat = NmeaToDegrees(fix.latitude), lon = NmeaToDegrees(fix.longitude);
    return fix.valid && std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90 && std::fabs(lon) <= 180;
}

namespace {

QByteArray UtcText(int64_t seconds)
{
    return seconds < 0 ? QByteArray()
                       : QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate).toLatin1();
}

// Text for XML 1.0 element content and attribute values: the five special
// characters escaped, tab, line feed and carriage return as character
// references (so that no parser folds them), and what XML 1.0 does not allow
// (other control characters, lone surrogates, U+FFFE and U+FFFF) as U+FFFD.
QByteArray XmlText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += text[i];
            out += text[++i];
            continue;
        }
        switch (c) {
        case '&': out += QLatin1String("&amp;"); continue;
        case '<': out += QLatin1String("&lt;"); continue;
        case '>': out += QLatin1String("&gt;"); continue;
        case '"': out += QLatin1String("&quot;"); continue;
        case '\'': out += QLatin1String("&apos;"); continue;
        case '\t': out += QLatin1String("&#9;"); continue;
        case '\n': out += QLatin1String("&#10;"); continue;
        case '\r': out += QLatin1String("&#13;"); continue;
        default: break;
        }
        const bool allowed = c >= 0x20 && !QChar::isSurrogate(c) && c != 0xFFFE && c != 0xFFFF;
        out += allowed ? QChar(c) : QChar(QChar::ReplacementCharacter);
    }
    return out.toUtf8();
}

// A CSV field as RFC 4180 has it: quoted, with its quotes doubled, when it
// holds a comma, a quote, a carriage return or a line feed.
QByteArray CsvField(const QString &text)
{
    QByteArray b = text.toUtf8();
    if (b.contains(',') || b.contains('"') || b.contains('\r') || b.contains('\n')) {
        b.replace("\"", "\"\"");
        b = "\"" + b + "\"";
    }
    return b;
}

QByteArray Fixed(double v, int decimals)
{
    return QByteArray::number(v, 'f', decimals);
}

} // namespace

QByteArray GpxDocument(const std::vector<RecordingTelemetry> &recordings, const QString &creator)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<gpx version=\"1.1\" creator=\"" + XmlText(creator) + "\"\n"
                     "     xmlns=\"http://www.topografix.com/GPX/1/1\"\n"
                     "     xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
                     "     xmlns:dv=\"urn:drivora:gpx:1\"\n"
                     "     xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
                     "http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";
    out += "  <trk>\n    <name>KVR-2650</name>\n";
    for (const RecordingTelemetry &r : recordings) {
        out += "    <trkseg>\n";
        const QByteArray source = "<src>" + XmlText(DisplayPath(r.fileName)) + "</src>";
        for (const CGPSData &f : r.fixes) {
            if (!HasPosition(f))
                continue; // no fix, or coordinates that are nowhere on the earth
            out += "      <trkpt lat=\"" + Fixed(NmeaToDegrees(f.latitude), 7) + "\" lon=\"" +
                   Fixed(NmeaToDegrees(f.longitude), 7) + "\">";
            if (const QByteArray time = UtcText(FixUtcSeconds(f)); !time.isEmpty())
                out += "<time>" + time + "</time>";
            out += source + "<extensions>";
            if (std::isfinite(f.speedKmh))
                out += "<dv:speed>" + Fixed(f.speedKmh / 3.6, 3) + "</dv:speed>";
            if (std::isfinite(f.course))
                out += "<dv:course>" + Fixed(f.course, 2) + "</dv:course>";
            out += "<dv:media_time>" + Fixed(f.stampMs / 1000.0, 3) + "</dv:media_time></extensions></trkpt>\n";
        }
        out += "    </trkseg>\n";
    }
    out += "  </trk>\n</gpx>\n";
    return out;
}

QByteArray CsvHeader(bool speedInMiles)
{
    return QByteArray("recording,media_time_s,utc_time,fix_valid,latitude_deg,longitude_deg,") +
           (speedInMiles ? "speed_mph" : "speed_km_h") + ",course_deg,accel_x_g,accel_y_g,accel_z_g";
}

QByteArray CsvDocument(const std::vector<RecordingTelemetry> &recordings, bool speedInMiles)
{
    QByteArray out = CsvHeader(speedInMiles) + "\r\n";
    for (const RecordingTelemetry &r : recordings) {
        // One row a media time: the fix and the G-sensor sample stamped then.
        std::map<uint32_t, std::pair<const CGPSData *, const CGSensorData *>> rows;
        for (const CGPSData &f : r.fixes)
            rows[f.stampMs].first = &f;
        for (const CGSensorData &g : r.samples)
            rows[g.stampMs].second = &g;
        const QByteArray name = CsvField(DisplayPath(r.fileName));
        for (const auto &[stamp, row] : rows) {
            const auto &[fix, g] = row;
            out += name + "," + Fixed(stamp / 1000.0, 3) + ",";
            if (fix) {
                // A fix whose coordinates are nowhere on the earth counts as none.
                const bool position = HasPosition(*fix);
                out += UtcText(FixUtcSeconds(*fix)) + "," + (position ? "1" : "0") + ",";
                if (position) {
                    const double speed = speedInMiles ? KmhToMph(fix->speedKmh) : fix->speedKmh;
                    out += Fixed(NmeaToDegrees(fix->latitude), 7) + "," + Fixed(NmeaToDegrees(fix->longitude), 7) +
                           "," + (std::isfinite(speed) ? Fixed(speed, 2) : QByteArray()) + "," +
                           (std::isfinite(fix->course) ? Fixed(fix->course, 2) : QByteArray()) + ",";
                } else {
                    out += ",,,,";
                }
            } else {
                out += ",,,,,,";
            }
            if (g)
                out += Fixed(g->x / 32.0, 5) + "," + Fixed(g->y / 32.0, 5) + "," + Fixed(g->z / 32.0, 5);
            else
                out += ",,";
            out += "\r\n";
        }
    }
    return out;
}

ExportResult ExportTelemetry(const QStringList &recordings, ExportKind kind, const QString &output,
                             const std::function<bool(int, int)> &progress, bool speedInMiles)
{
    ExportResult result;
    // A FIFO or device as the output is refused at once, before any reading.
    if (const QString refusal = OutputRefusal(output); !refusal.isEmpty()) {
        result.message = refusal;
        return result;
    }
    std::vector<RecordingTelemetry> read;
    int fixes = 0;
    for (int i = 0; i < recordings.size(); ++i) {
        RecordingTelemetry t;
        QString why;
        if (!ReadRecordingTelemetry(recordings[i], t, &why)) {
            result.warnings << QStringLiteral("%1: left out (%2)").arg(QFileInfo(recordings[i]).fileName(), why);
        } else {
            if (t.broken)
                result.warnings << QStringLiteral("%1: the recording breaks off; exported up to %2:%3")
                                       .arg(t.fileName)
                                       .arg(t.stoppedAtMs / 60000)
                                       .arg(t.stoppedAtMs / 1000 % 60, 2, 10, QLatin1Char('0'));
            const int real = int(std::count_if(t.fixes.begin(), t.fixes.end(), HasPosition));
            const int flagged = int(std::count_if(t.fixes.begin(), t.fixes.end(), [](const CGPSData &f) { return f.valid != 0; }));
            if (flagged > real)
                result.warnings << QStringLiteral("%1: %2 fixes with coordinates beyond the earth's taken as no fix")
                                       .arg(DisplayPath(t.fileName))
                                       .arg(flagged - real);
            fixes += real;
            read.push_back(std::move(t));
        }
        if (progress && !progress(i + 1, int(recordings.size()))) {
            result.cancelled = true;
            result.message = QStringLiteral("cancelled; no file written");
            return result;
        }
    }
    if (read.empty()) {
        result.message = QStringLiteral("no recording could be read");
        return result;
    }
    if (kind == ExportKind::Gpx && fixes == 0) {
        result.message = QStringLiteral("no GPS data: the recordings hold no position fix");
        return result;
    }
    const QByteArray bytes = kind == ExportKind::Gpx ? GpxDocument(read, QStringLiteral("DrivoraViewer")) : CsvDocument(read, speedInMiles);
    result.points = kind == ExportKind::Gpx ? fixes : int(bytes.count('\n')) - 1;
    QString why;
    if (!WriteWholeFile(output, bytes, &why)) {
        result.message = QStringLiteral("cannot write %1: %2").arg(DisplayPath(output), why);
        return result;
    }
    result.ok = true;
    result.written = output;
    return result;
}

} // namespace drivora
