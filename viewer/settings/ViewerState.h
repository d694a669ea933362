#pragma once

#include <QRect>
#include <QString>

namespace drivora {

// What the viewer remembers from one run to the next: the window's place and
// size, whether it was maximised, the channels shown, the last folder opened
// and the settings dialog's last drive. Kept in config/window.ini beside the
// option file (one "key=value" a line), whose eleven lines stay as they are.
struct ViewerState {
    QRect geometry;           // the normal (not maximised) frame; empty: none saved
    bool maximised = false;
    int viewMode = 1;         // TransportController::ViewFront, ViewRear or ViewAll
    QString folder;           // the last folder opened
    QString drive;            // the settings dialog's last drive (its mount point)

    bool operator==(const ViewerState &) const = default;
};

// config/window.ini beside the option file; empty when that path is.
QString ViewerStateFilePath(const QString &optionFilePath);

// Fills the record from the file: lines it cannot read (unknown keys, a
// geometry that is not four numbers, a size below 1, an unknown view) leave
// their fields as they were. False (record unchanged) when the file cannot
// be opened.
bool ReadViewerState(const QString &path, ViewerState &state);

// Writes the whole file aside and renames it into place, creating the config
// folder when missing; false when it could not be written, the old file then
// being left as it was.
bool WriteViewerState(const QString &path, const ViewerState &state);

// "front", "rear", "both", as the file and the command line name them.
QString ViewModeName(int mode);
int ViewModeFromName(const QString &name); // 0 for a name it does not know

} // namespace drivora
