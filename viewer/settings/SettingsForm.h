// The rules of the settings dialog, without its widgets: the card's settings
// on the chosen drive, the viewer's own options, the defaults, and saving.
#pragma once

#include "CardVolumes.h"
#include "DeviceConfig.h"
#include "ViewerOptions.h"

#include <QDateTime>
#include <QDir>

#include <functional>

namespace drivora {

class SettingsForm {
public:
    explicit SettingsForm(IVolumeSource &volumes, QString home = QDir::homePath())
        : m_volumes(volumes), m_home(std::move(home))
    {
    }

    // Opening. With the interface texts (`text` non-null) the lists and the
    // drive list are filled; without them everything stays empty. `read` is
    // the options file's record when it could be read. The drive list offers
    // only the volumes that can be the camera's card.
    void open(const std::function<QString(int)> &text, const ViewerOptions *read, const QString &captureFolder,
              const QDate &today = QDate::currentDate());

    CardSettings card;
    QList<CardVolume> drives;
    int drive = -1; // the chosen entry of `drives`
    QString folder;
    int playValue = 5;
    bool rearMirror = false;
    bool speedInMiles = false;

    const CardVolume *chosenDrive() const { return drive >= 0 && drive < drives.size() ? &drives[drive] : nullptr; }
    // Reads the card on the drive (its files missing: the choices clear) and
    // remembers which folder it is. What kept the card from being read, when
    // it is more than a missing setup.cfg.
    CardFileError chooseDrive(int index);
    void setApplyTime(bool on, const QDateTime &now);
    void defaults(const QDateTime &now, const QString &captureFolder);

    enum class Saved { NoDrive, CardNotWritten, OptionsNotWritten, Done };
    // Writes the card's files to the chosen drive, while it is still the card
    // that was chosen, and the viewer's options (these also when the card
    // could not be written, or when no card is offered at all). `why` says
    // what failed.
    Saved save(const QString &optionPath, ViewerOptions &options, QString *why);

private:
    IVolumeSource &m_volumes;
    QString m_home;
    CardRootId m_root; // the chosen drive's folder when it was chosen
};

// What the user is told when a card file could not be read or written.
QString CardErrorText(const CardFileError &error);

} // namespace drivora
