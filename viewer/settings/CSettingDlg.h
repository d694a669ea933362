// The settings dialog: the camera's settings on a chosen card (with the
// card's format), the card's clock, and the viewer's own options.
#pragma once

#include "SettingsForm.h"
#include "app/MessageBox.h"

#include <QDialog>
#include <QMap>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;

namespace drivora {

class CSettingDlg : public QDialog {
    Q_OBJECT
public:
    struct Services {
        IVolumeSource *volumes = nullptr;
        ICardFormatter *formatter = nullptr;
        IMessageBox *messages = nullptr;
        // The folder picker: false when cancelled.
        std::function<bool(QString &folder)> pickFolder;
        std::function<QDateTime()> now;
    };
    CSettingDlg(const Services &services, QWidget *parent = nullptr);

    // A control by its id (ids::Setting...), for the tests and the gallery.
    QWidget *control(int id) const { return m_controls.value(id); }
    const SettingsForm &form() const { return m_form; }

    void chooseDrive(int index);
    // Chooses the drive mounted at `root` (the one chosen last time) when the
    // list offers it; false when it does not.
    bool chooseDriveAt(const QString &root);
    // Where the chosen drive is mounted; empty when none is chosen.
    QString chosenDriveRoot() const { return m_form.chosenDrive() ? m_form.chosenDrive()->root : QString(); }
    void save();
    void restoreDefaults();
    void formatDrive();
    void changeFolder();

private:
    void build();
    void toWidgets();   // the form into the widgets
    void fromWidgets(); // the widgets into the form
    QComboBox *combo(int id);

    Services m_services;
    SettingsForm m_form;
    QMap<int, QWidget *> m_controls;
    QMap<int, ChoiceList *> m_lists;
    bool m_updating = true; // until the widgets show the form
};

} // namespace drivora
