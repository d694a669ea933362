#include "SettingsForm.h"

#include "app/ViewerIds.h"

namespace drivora {

void SettingsForm::open(const std::function<QString(int)> &text, const ViewerOptions *read, const QString &captureFolder,
                        const QDate &today)
{
    if (text) {
        drives.clear();
        for (const CardVolume &v : m_volumes.volumes())
            if (MayHoldCard(v, m_home))
                drives << v;
        card.fillLists(text, today);
    }
    if (read) {
        folder = read->saveDirectory;
        playValue = read->playValue;
        rearMirror = read->rearMirror;
        speedInMiles = read->speedInMiles;
    }
    folder = captureFolder; // the folder box always opens with the default folder
}

CardFileError SettingsForm::chooseDrive(int index)
{
    if (index < 0 || index >= drives.size())
        return {};
    drive = index;
    const CardVolume &v = drives[index];
    m_root = IdentifyCardRoot(v.root);
    CardFileError error;
    if (!m_root.valid || (v.mountPoint && !m_root.mountRoot)) {
        // The card went out after the list was made: its mount folder is
        // the computer's own.
        m_root.valid = false;
        card.clearChoices();
        error.problem = CardFileProblem::CardGone;
        error.path = v.root;
        return error;
    }
    ReadDeviceFiles(v.root, card, &m_root, &error);
    if (error.problem == CardFileProblem::Missing)
        error = {};
    return error;
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
    if (!v && !drives.isEmpty())
        return Saved::NoDrive;
    // No card offered at all: the viewer's own options are saved alone.
    CardFileError cardError;
    const bool cardDone = !v || WriteDeviceFiles(v->root, card, &m_root, &cardError);
    options.saveDirectory = folder;
    options.playValue = playValue;
    options.rearMirror = rearMirror;
    options.speedInMiles = speedInMiles;
    const bool optionsDone =
        WriteViewerOptions(optionPath, options) && WriteExtraOptions(ExtraOptionFilePath(optionPath), options);
    if (!cardDone) {
        if (why)
            *why = CardErrorText(cardError);
        return Saved::CardNotWritten;
    }
    if (!optionsDone) {
        if (why)
            *why = optionPath;
        return Saved::OptionsNotWritten;
    }
    return Saved::Done;
}

QString CardErrorText(const CardFileError &error)
{
    const QString where = error.detail.isEmpty() ? error.path : error.path + QStringLiteral(": ") + error.detail;
    auto text = [&](const char *message) { return QString::fromUtf8(message).arg(where); };
    switch (error.problem) {
    case CardFileProblem::Full:
        return text(ids::kCardFull);
    case CardFileProblem::ReadOnly:
        return text(ids::kCardReadOnly);
    case CardFileProblem::CardGone:
        return text(ids::kCardGone);
    case CardFileProblem::NotAFile:
        return text(ids::kCardNotAFile);
    case CardFileProblem::LeadsOut:
        return text(ids::kCardLinkLeadsOut);
    case CardFileProblem::Denied:
        return text(ids::kCardDenied);
    case CardFileProblem::None:
    case CardFileProblem::Missing:
    case CardFileProblem::Failed:
        break;
    }
    return text(ids::kSettingCardNotWritten);
}

} // namespace drivora
