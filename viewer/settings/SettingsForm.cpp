#include "SettingsForm.h"

namespace drivora {

void SettingsForm::open(const std::function<QString(int)> &text, const ViewerOptions *read, const QString &captureFolder)
{
    if (text) {
        drives = m_volumes.volumes();
        card.fillLists(text);
    }
    if (read) {
        folder = read->saveDirectory;
        playValue = read->playValue;
        rearMirror = read->rearMirror;
        speedInMiles = read->speedInMiles;
    }
    folder = captureFolder; // the folder box always opens with the default folder
}

void SettingsForm::chooseDrive(int index)
{
    if (index < 0 || index >= drives.size())
        return;
    drive = index;
    const CardVolume &v = drives[index];
    ReadDeviceFiles(v.filePath(kSetupFileName), v.filePath(kTimeFileName), card);
}

void SettingsForm::setApplyTime(bool on, const QDateTime &now)
{
    card.applyTime = on;
    if (on)
        card.setDateTime(now);
}

void SettingsForm::defaults(const QDateTime &now, const QString &captureFolder)
{
    card.chooseDefaults(now);
    folder = captureFolder;
    playValue = 5;
}

SettingsForm::Saved SettingsForm::save(const QString &optionPath, ViewerOptions &options, QString *why)
{
    const CardVolume *v = chosenDrive();
    if (!v)
        return Saved::NoDrive;
    QString cardWhy;
    const bool cardDone = WriteDeviceFiles(v->filePath(kSetupFileName), v->filePath(kTimeFileName), card, &cardWhy);
    options.saveDirectory = folder;
    options.playValue = playValue;
    options.rearMirror = rearMirror;
    options.speedInMiles = speedInMiles;
    const bool optionsDone =
        WriteViewerOptions(optionPath, options) && WriteExtraOptions(ExtraOptionFilePath(optionPath), options);
    if (!cardDone) {
        if (why)
            *why = cardWhy;
        return Saved::CardNotWritten;
    }
    if (!optionsDone) {
        if (why)
            *why = optionPath;
        return Saved::OptionsNotWritten;
    }
    return Saved::Done;
}

} // namespace drivora
