// A channel of a recording copied, without re-encoding, into an MP4 or 3GP
// file by the product's own 3GP writer, with the recording's telemetry as
// GPX beside it.
#pragma once

#include <QString>
#include <QStringList>

namespace drivora {

enum class ClipFormat { Mp4, ThreeGp };

struct ClipResult {
    bool ok = false;
    QString message;      // why it failed
    QStringList warnings; // a recording cut short, no GPS for the GPX
    QString written, gpx; // the files written
    int frames = 0;
};

// channel: 0 front, 1 rear. The clip is written aside and renamed when whole;
// its GPX (same name, .gpx) when the recording has fixes.
ClipResult ExportClip(const QString &recording, int channel, const QString &output, ClipFormat format);

// The format a file name asks for (.3gp: 3GP, anything else MP4).
ClipFormat ClipFormatFor(const QString &fileName);

} // namespace drivora
