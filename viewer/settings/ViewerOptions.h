#pragma once

#include <QString>

#include <cstdint>

namespace drivora {

// The viewer's own settings, kept in config/option.ini beside the program.
struct ViewerOptions {
    QString saveDirectory;  // folder for still pictures
    int32_t playValue = 5;  // skip interval of rewind and fast-forward, seconds
    bool rearMirror = false; // rear channel shown mirrored left to right
    // Kept in config/viewer.ini beside the option file, whose eleven lines
    // other tools read and which stays as it is.
    bool speedInMiles = false; // the gauge, reports and exports in mph

    static ViewerOptions &instance(); // the one record of the program
};

// The option file's path: the program's folder followed by
// "/config/option.ini". False (and an empty path) when the program's folder
// cannot be told.
bool BuildOptionFilePath();
QString OptionFilePath();
void SetOptionFilePathForTesting(const QString &path);

// Fills the record from the file; false (record unchanged) when the file
// cannot be opened.
bool ReadViewerOptions(const QString &path, ViewerOptions &options);

// Writes the eleven lines of the file (CR LF line ends), aside and then
// renamed into place, creating the config folder when missing. False when
// the file could not be written; the old file is then left as it was.
bool WriteViewerOptions(const QString &path, const ViewerOptions &options);

// A small file of the config folder written whole: aside, then renamed over
// the old one (made with its folder when missing). False when it could not be
// written; the old file is then left as it was and nothing is left aside.
bool WriteWholeConfigFile(const QString &path, const QByteArray &text);

// km/h to mph.
constexpr double KmhToMph(double kmh)
{
    return kmh / 1.609344;
}

// The viewer's own settings that the option file has no line for:
// config/viewer.ini beside it ("speed_unit=mph" or "km/h").
QString ExtraOptionFilePath(const QString &optionFilePath);
bool ReadExtraOptions(const QString &path, ViewerOptions &options);
bool WriteExtraOptions(const QString &path, const ViewerOptions &options);

} // namespace drivora
