#pragma once

#include <QDateTime>
#include <QImage>
#include <QString>

namespace drivora {

// The recording's name without its extension: everything before the last
// "." when that "." is at index 1 or later; the whole name otherwise.
QString SnapshotBaseName(const QString &recordingFileName);

// FOLDER/BASE-YYYY-MM-DD-hhHmmMssSmmm(TrackN).jpg for channel 1 (front) or 2
// (rear), from the local time of the capture. An empty folder is the capture
// folder, never the root of the file system.
QString SnapshotFileName(const QString &folder, const QString &recordingFileName, const QDateTime &when,
                         int channel);

// Writes a picture as JPEG (aside, then renamed into place). Empty on
// success, else why it failed, in words for the user.
QString SaveSnapshot(const QImage &picture, const QString &path);

} // namespace drivora
