// A channel of a recording copied, without re-encoding, into an MP4 or 3GP
// file by the product's own 3GP writer, with the recording's telemetry as
// GPX beside it.
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

namespace drivora {

enum class ClipFormat { Mp4, ThreeGp };

struct ClipResult {
    bool ok = false;
    QString message;      // why it failed
    QStringList warnings; // a recording cut short or damaged, no GPS for the GPX
    QString written, gpx; // the files written
    int frames = 0;
};

// channel: 0 front, 1 rear. The clip is written aside and renamed when whole;
// its GPX (ClipGpxPath) when the recording has fixes. A FIFO, device or
// socket as either is refused before anything is read. The recording is read
// a chunk at a time; a damaged stretch in its middle is stepped over and
// named in a warning with its media time, and the pictures after it keep
// their times.
ClipResult ExportClip(const QString &recording, int channel, const QString &output, ClipFormat format);

// The GPX beside a clip: its name with .gpx.
QString ClipGpxPath(const QString &clip);

// The names of the clips of one export: a name given before in the same
// export gets a number before its suffix ("REC_..._0-2.mp4", then "-3", ...),
// so that recordings of the same name from two folders or cards give two
// clips, and no clip or GPX replaces one written in the same run. Names are
// compared without case.
class ClipNames {
public:
    QString take(const QString &wanted);

private:
    QSet<QString> m_taken;
};

// The format a file name asks for (.3gp: 3GP, anything else MP4).
ClipFormat ClipFormatFor(const QString &fileName);

} // namespace drivora
