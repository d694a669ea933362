// The camera's setup files on its memory card: setup.cfg (fourteen lines,
// each a 26-character label and a value) and time.cfg (a date and a time to
// set the clock to), and the settings form's choices they are read into and
// written from.
#pragma once

#include "CardFiles.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>

namespace drivora {

// A drop-down list of the form: its entries and the chosen one (-1: none).
struct ChoiceList {
    QStringList entries;
    int chosen = -1;

    void fill(const QStringList &texts)
    {
        entries = texts;
        chosen = -1;
    }
    // Chooses position i when it is an entry; false (and unchanged) otherwise.
    bool choose(int i);
    // Chooses the first entry that begins with `prefix`, in any case; false
    // (and unchanged) when none does or the prefix is empty.
    bool choosePrefix(const QString &prefix);
    QString chosenText() const { return chosen >= 0 && chosen < entries.size() ? entries[chosen] : QString(); }
};

inline constexpr int kSetupLabelLength = 26;
// The labels of setup.cfg's fourteen lines, spelled as the camera reads them.
extern const std::array<const char *, 14> kSetupLabels;
inline constexpr const char *kSetupFileName = "setup.cfg";
inline constexpr const char *kTimeFileName = "time.cfg";
inline constexpr const char *kCardVolumeLabel = "KVR-2650";

struct CardSettings {
    ChoiceList sensitivity;   // line 4, from 0
    ChoiceList quality;       // line 5, from 1
    bool sound = false;       // line 6
    ChoiceList volume;        // line 7, from 0
    ChoiceList channels;      // line 8, from 1
    ChoiceList parkingSelect; // line 9, from 1
    ChoiceList parkingTime;   // line 10, from 0
    bool truck = false;       // line 11: 24 V
    ChoiceList cutOff;        // line 12, from 0; its entries follow the battery type
    ChoiceList powerOff;      // line 13, from 1
    ChoiceList lcdOff;        // line 14, from 0
    bool applyTime = false;   // write time.cfg too
    ChoiceList year, month, day, hour, minute, second;

    // Fills every list (the cut-off list stays empty); `text` gives the
    // interface texts by id. The years run from 2011 to ten years after
    // `today`, and at least to 2030.
    void fillLists(const std::function<QString(int)> &text, const QDate &today = QDate::currentDate());
    // "사용안함" and the four voltages of a battery type.
    static QStringList CutOffEntries(bool truck);
    // Refills the cut-off list for a battery type, keeping the position
    // (position 0 when nothing was chosen).
    void changeBattery(bool truck);
    void setDateTime(const QDateTime &local);
    // The defaults button (the apply-time box is left as it is).
    void chooseDefaults(const QDateTime &now);
    // What an unreadable card leaves: nothing chosen, sound off, 12 V, apply
    // time off; the channel and parking-time lists keep their choice.
    void clearChoices();
};

// The two files' bytes for the form's choices (CR LF line ends).
QByteArray SetupFileBytes(const CardSettings &s);
QByteArray TimeFileBytes(const CardSettings &s);

// Sets the form from the files in the card's root folder; false when
// setup.cfg cannot be read (the choices are then cleared and time.cfg is not
// read). `expected`, when given, is the root's identity when it was chosen.
bool ReadDeviceFiles(const QString &root, CardSettings &s, const CardRootId *expected = nullptr,
                     CardFileError *error = nullptr);

// Writes setup.cfg, and time.cfg when the apply-time box is checked, into the
// card's root folder. Both are written beside their places and renamed over
// them only when whole, so a card pulled out or full keeps its old files.
bool WriteDeviceFiles(const QString &root, const CardSettings &s, const CardRootId *expected = nullptr,
                      CardFileError *error = nullptr);

} // namespace drivora
