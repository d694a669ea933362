// The telemetry of recordings written for other tools: GPX 1.1 (one track
// segment a recording, its valid fixes with time, speed and course) and CSV
// (every record by media time: position, speed and the G-sensor values).
#pragma once

#include "catalogue/Telemetry.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace drivora {

struct RecordingTelemetry {
    QString path, fileName;
    std::vector<CGPSData> fixes;
    std::vector<CGSensorData> samples;
    // The file ends before its header says it should: the records up to
    // the break were read, the last one at `stoppedAtMs`.
    bool broken = false;
    uint32_t stoppedAtMs = 0;
};

// Reads a recording's telemetry without playing it; false with a reason
// when it is no recording that can be read.
bool ReadRecordingTelemetry(const QString &path, RecordingTelemetry &out, QString *why);

// A fix with a place on the earth: valid, with a finite latitude within
// ±90° and longitude within ±180°. Only such fixes give GPX points and CSV
// positions.
bool HasPosition(const CGPSData &fix);

// A fix's UTC time in seconds since 1970, or -1 when it carries no date.
int64_t FixUtcSeconds(const CGPSData &fix);

QByteArray GpxDocument(const std::vector<RecordingTelemetry> &recordings, const QString &creator);
// speedInMiles: the speed column in mph (speed_mph) instead of km/h (speed_km_h).
QByteArray CsvDocument(const std::vector<RecordingTelemetry> &recordings, bool speedInMiles = false);
QByteArray CsvHeader(bool speedInMiles);

enum class ExportKind { Gpx, Csv };

struct ExportResult {
    bool ok = false;
    bool cancelled = false;
    QString message;       // why it failed
    QStringList warnings;  // recordings left out or cut short
    QString written;       // the file written
    int points = 0;        // GPX points or CSV rows
};

// Reads the recordings in order and writes one file, aside and renamed into
// place when whole (a FIFO or device as `output` is refused at once). `progress(done, total)` is called after each recording;
// false from it cancels (no file is left).
ExportResult ExportTelemetry(const QStringList &recordings, ExportKind kind, const QString &output,
                             const std::function<bool(int, int)> &progress = {}, bool speedInMiles = false);

} // namespace drivora
