// The rules of the settings dialog, without its widgets: the card's settings
// on the chosen drive, the viewer's own options, the defaults, and saving.
#pragma once

#include "CardVolumes.h"
#include "DeviceConfig.h"
#include "ViewerOptions.h"

#include <QDateTime>

#include <functional>

namespace drivora {

class SettingsForm {
public:
    explicit SettingsForm(IVolumeSource &volumes) : m_volumes(volumes) {}

    // Opening. With the interface texts (`text` non-null) the lists and the
    // drive list are filled; without them everything stays empty. `read` is
    // the options file's record when it could be read.
    void open(const std::function<QString(int)> &text, const ViewerOptions *read, const QString &captureFolder);

    CardSettings card;
    QList<CardVolume> drives;
    int drive = -1; // the chosen entry of `drives`
    QString folder;
    int playValue = 5;
    bool rearMirror = false;
    bool speedInMiles = false;

    const CardVolume *chosenDrive() const { return drive >= 0 && drive < drives.size() ? &drives[drive] : nullptr; }
    // Reads the card on the drive (its files missing: the choices clear).
    void chooseDrive(int index);
    void setApplyTime(bool on, const QDateTime &now);
    void defaults(const QDateTime &now, const QString &captureFolder);

    enum class Saved { NoDrive, CardNotWritten, OptionsNotWritten, Done };
    // Writes the card's files to the chosen drive and the viewer's options
    // (these also when the card could not be written). `why` says what failed.
    Saved save(const QString &optionPath, ViewerOptions &options, QString *why);

private:
    IVolumeSource &m_volumes;
};

} // namespace drivora
