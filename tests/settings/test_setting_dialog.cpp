// The settings dialog driven like a user would, on folders standing in for
// cards, with a message box that records and answers.
#include "app/ViewerIds.h"
#include "catalogue/AppPaths.h"
#include "settings/CSettingDlg.h"
#include "support/Files.h"
#include "support/Messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace drivora;

namespace {

class FakeVolumes : public IVolumeSource {
public:
    QList<CardVolume> volumes() override { return list; }
    QList<CardVolume> list;
};

class FakeFormatter : public ICardFormatter {
public:
    FormatOutcome format(const CardVolume &v, const QString &label) override
    {
        formatted << v.root + QLatin1Char(' ') + label;
        return {true, {}};
    }
    QStringList formatted;
};

struct Messages : testsupport::RecordingMessages {
    Messages() { answer = true; }
};

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class SettingDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetOptionFilePathForTesting(m_config.filePath(QStringLiteral("config/option.ini")));
        SetDocumentsFolderForTesting(m_documents.path());
        ViewerOptions stored;
        stored.saveDirectory = QStringLiteral("/stored/folder");
        stored.playValue = 3;
        ASSERT_TRUE(WriteViewerOptions(OptionFilePath(), stored));
        services.volumes = &volumes;
        services.formatter = &formatter;
        services.messages = &messages;
        services.now = [] { return QDateTime(QDate(2024, 3, 15), QTime(8, 15, 30)); };
        services.pickFolder = [this](QString &folder) {
            folder = picked;
            return !picked.isEmpty();
        };
    }
    void TearDown() override { SetDocumentsFolderForTesting(QString()); }
    CardVolume card(const QString &root, const char *fs = "vfat", bool removable = true)
    {
        return {QStringLiteral("KVR-2650"), root, QStringLiteral("/dev/sdz1"), QString::fromLatin1(fs), removable};
    }
    template <typename T> T *at(CSettingDlg &d, int id) { return qobject_cast<T *>(d.control(id)); }
    QString capture() const { return m_documents.path() + QStringLiteral("/CAM_CAPTURE"); }

    QTemporaryDir m_config, m_documents;
    FakeVolumes volumes;
    FakeFormatter formatter;
    Messages messages;
    QString picked;
    CSettingDlg::Services services;
};

} // namespace

TEST_F(SettingDialog, ReadChangeSaveAndReadBack)
{
    QTemporaryDir sd;
    QByteArray setup;
    const char *values[] = {"KVR2650", "V1.0.0", "V0.0.6", "2", "1", "0", "5", "1", "2", "1", "1", "2", "4", "4"};
    for (size_t i = 0; i < kSetupLabels.size(); ++i)
        setup += QByteArray(kSetupLabels[i]) + values[i] + "\r\n";
    Write(sd.filePath("setup.cfg"), setup);
    Write(sd.filePath("time.cfg"), "13/05/07\r\n09/05/00\r\n");
    volumes.list = {card(QStringLiteral("/"), "ext4", false), card(sd.path())};

    CSettingDlg d(services);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("환경 설정"));
    EXPECT_EQ(at<QPushButton>(d, ids::SettingSave)->text(), QStringLiteral("저장"));
    EXPECT_EQ(at<QPushButton>(d, ids::SettingDefaults)->text(), QStringLiteral("기본값"));
    QComboBox *drive = at<QComboBox>(d, ids::SettingDrive);
    ASSERT_EQ(drive->count(), 1) << "the system's volume is no card";
    EXPECT_EQ(drive->itemText(0), QStringLiteral("KVR-2650(") + sd.path() + QLatin1Char(')'));
    EXPECT_EQ(drive->currentIndex(), -1);
    EXPECT_EQ(at<QLineEdit>(d, ids::SettingFolder)->text(), capture()) << "the default folder, not the stored one";
    EXPECT_EQ(at<QLabel>(d, ids::SettingSkipNumber)->text(), QStringLiteral("3"));
    EXPECT_EQ(at<QComboBox>(d, ids::SettingSensitivity)->count(), 7);
    EXPECT_FALSE(at<QComboBox>(d, ids::SettingYear)->isEnabled());

    d.chooseDrive(0);
    EXPECT_EQ(at<QComboBox>(d, ids::SettingSensitivity)->currentIndex(), 2);
    EXPECT_TRUE(at<QRadioButton>(d, ids::SettingTruckBattery)->isChecked());
    EXPECT_EQ(at<QComboBox>(d, ids::SettingCutOff)->currentText(), QStringLiteral("23.4V"));
    EXPECT_EQ(at<QComboBox>(d, ids::SettingVolume)->currentText(), QStringLiteral("Level 5"));
    EXPECT_EQ(at<QComboBox>(d, ids::SettingYear)->currentText(), QStringLiteral("2013"));

    at<QComboBox>(d, ids::SettingSensitivity)->setCurrentIndex(6);
    at<QRadioButton>(d, ids::SettingCarBattery)->click(); // the cut-off position stays
    EXPECT_EQ(at<QComboBox>(d, ids::SettingCutOff)->currentText(), QStringLiteral("11.7V"));
    at<QSlider>(d, ids::SettingSkipSlider)->setValue(8);
    EXPECT_EQ(at<QLabel>(d, ids::SettingSkipNumber)->text(), QStringLiteral("8"));
    at<QCheckBox>(d, ids::SettingRearMirror)->setChecked(true);
    at<QRadioButton>(d, ids::SettingSpeedMph)->setChecked(true);
    at<QPushButton>(d, ids::SettingSave)->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(messages.told.isEmpty()) << messages.told.join(" | ").toStdString();

    const QList<QByteArray> lines = Read(sd.filePath("setup.cfg")).split('\n');
    EXPECT_EQ(lines[3], QByteArray(kSetupLabels[3]) + "6\r");
    EXPECT_EQ(lines[10], QByteArray(kSetupLabels[10]) + "0\r");
    EXPECT_EQ(lines[11], QByteArray(kSetupLabels[11]) + "2\r");
    EXPECT_EQ(Read(sd.filePath("time.cfg")), QByteArray("13/05/07\r\n09/05/00\r\n")) << "apply time off: untouched";
    ViewerOptions back;
    ASSERT_TRUE(ReadViewerOptions(OptionFilePath(), back));
    EXPECT_EQ(back.playValue, 8);
    EXPECT_EQ(back.saveDirectory, capture());
    EXPECT_TRUE(back.rearMirror);
    EXPECT_EQ(ViewerOptions::instance().playValue, 8);
    EXPECT_TRUE(ViewerOptions::instance().speedInMiles);
    EXPECT_EQ(Read(ExtraOptionFilePath(OptionFilePath())), QByteArray("speed_unit=mph\n"));
    EXPECT_EQ(Read(OptionFilePath()).count('\n'), 11);
    // Opened again: mph is chosen.
    CSettingDlg again(services);
    EXPECT_TRUE(at<QRadioButton>(again, ids::SettingSpeedMph)->isChecked());
}

TEST_F(SettingDialog, SavesThatCannotBeDoneKeepTheDialogOpen)
{
    testsupport::SmallDisk locked("64k");
    QTemporaryDir other;
    volumes.list = {card(QString::fromStdString(locked.path())), card(other.path())};
    CSettingDlg d(services);
    at<QPushButton>(d, ids::SettingSave)->click();
    EXPECT_EQ(messages.told, QStringList({"오류: 드라이브를 선택해 주십시오."}));
    EXPECT_NE(d.result(), QDialog::Accepted);

    if (!locked.available() || !locked.setReadOnly(true))
        GTEST_SKIP() << "write-protecting a small disk needs root";
    messages.told.clear();
    d.chooseDrive(0);
    at<QSlider>(d, ids::SettingSkipSlider)->setValue(9);
    at<QPushButton>(d, ids::SettingSave)->click();
    ASSERT_EQ(messages.told.size(), 1);
    EXPECT_TRUE(messages.told[0].startsWith(QStringLiteral("오류: 메모리 카드가 쓰기 방지되어 있어"))) << messages.told[0].toStdString();
    EXPECT_NE(d.result(), QDialog::Accepted) << "stays open for another drive or cancel";
    ViewerOptions back;
    ASSERT_TRUE(ReadViewerOptions(OptionFilePath(), back));
    EXPECT_EQ(back.playValue, 9) << "the viewer's own options are saved all the same";
    locked.setReadOnly(false);

    // Another drive, and the save goes through.
    messages.told.clear();
    d.chooseDrive(1);
    at<QPushButton>(d, ids::SettingSave)->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(QFile::exists(other.filePath("setup.cfg")));
}

TEST_F(SettingDialog, DefaultsApplyTimeAndTheFolder)
{
    QTemporaryDir sd;
    volumes.list = {card(sd.path())};
    CSettingDlg d(services);
    d.chooseDrive(0);
    EXPECT_EQ(at<QComboBox>(d, ids::SettingSensitivity)->currentIndex(), -1) << "no setup.cfg: nothing chosen";
    at<QSlider>(d, ids::SettingSkipSlider)->setValue(9);
    at<QPushButton>(d, ids::SettingDefaults)->click();
    EXPECT_EQ(at<QComboBox>(d, ids::SettingSensitivity)->currentIndex(), 3);
    EXPECT_EQ(at<QComboBox>(d, ids::SettingCutOff)->currentText(), QStringLiteral("11.9V"));
    EXPECT_EQ(at<QComboBox>(d, ids::SettingPowerOff)->currentText(), QStringLiteral("12H"));
    EXPECT_EQ(at<QComboBox>(d, ids::SettingLcdOff)->currentText(), QStringLiteral("30초"));
    EXPECT_TRUE(at<QCheckBox>(d, ids::SettingSound)->isChecked());
    EXPECT_EQ(at<QLabel>(d, ids::SettingSkipNumber)->text(), QStringLiteral("5"));
    EXPECT_EQ(at<QComboBox>(d, ids::SettingHour)->currentText(), QStringLiteral("08"));
    EXPECT_FALSE(at<QCheckBox>(d, ids::SettingApplyTime)->isChecked()) << "left as it was";

    picked = QStringLiteral("/media/pictures");
    at<QPushButton>(d, ids::SettingFolderChange)->click();
    EXPECT_EQ(at<QLineEdit>(d, ids::SettingFolder)->text(), picked);
    picked.clear(); // cancelled: unchanged
    at<QPushButton>(d, ids::SettingFolderChange)->click();
    EXPECT_EQ(at<QLineEdit>(d, ids::SettingFolder)->text(), QStringLiteral("/media/pictures"));

    at<QCheckBox>(d, ids::SettingApplyTime)->setChecked(true);
    EXPECT_TRUE(at<QComboBox>(d, ids::SettingYear)->isEnabled());
    EXPECT_EQ(at<QComboBox>(d, ids::SettingYear)->currentText(), QStringLiteral("2024"));
    at<QPushButton>(d, ids::SettingSave)->click();
    EXPECT_EQ(Read(sd.filePath("time.cfg")), QByteArray("24/03/15\r\n08/15/30\r\n"));
    ViewerOptions back;
    ASSERT_TRUE(ReadViewerOptions(OptionFilePath(), back));
    EXPECT_EQ(back.saveDirectory, QStringLiteral("/media/pictures"));
    EXPECT_EQ(back.playValue, 5);
}

TEST_F(SettingDialog, FormatAsksOnlyForARemovableFatCardAndSaysHowItWent)
{
    QTemporaryDir a, b, c;
    volumes.list = {card(a.path(), "ext4"), card(b.path(), "vfat", false), card(c.path())};
    CSettingDlg d(services);
    QPushButton *format = at<QPushButton>(d, ids::SettingFormat);
    format->click();
    EXPECT_TRUE(messages.told.isEmpty()) << "no drive chosen: nothing";
    const char *refusals[] = {"포맷: FAT 형식의 메모리 카드만 포맷할 수 있습니다.",
                              "포맷: 이동식 디스크가 아닌 드라이브는 포맷할 수 없습니다."};
    for (int i = 0; i < 2; ++i) {
        messages.told.clear();
        d.chooseDrive(i);
        format->click();
        EXPECT_EQ(messages.told, QStringList({QString::fromUtf8(refusals[i])}));
    }
    EXPECT_TRUE(messages.asked.isEmpty());
    d.chooseDrive(2);
    messages.answer = false;
    messages.told.clear();
    format->click();
    EXPECT_EQ(messages.asked, QStringList({"포맷: 포맷 하시겠습니까?"}));
    EXPECT_TRUE(formatter.formatted.isEmpty());
    messages.answer = true;
    format->click();
    EXPECT_EQ(formatter.formatted, QStringList({c.path() + QStringLiteral(" KVR-2650")}));
    EXPECT_EQ(messages.told, QStringList({"포맷: 포맷을 마쳤습니다. 볼륨 레이블: KVR-2650"}));
}

TEST_F(SettingDialog, ClickingTheBatteryTypeAlreadyChosenFillsTheCutOffList)
{
    QTemporaryDir sd; // no setup.cfg: nothing chosen, 12 V, an empty cut-off list
    volumes.list = {card(sd.path())};
    CSettingDlg d(services);
    d.chooseDrive(0);
    QRadioButton *car = at<QRadioButton>(d, ids::SettingCarBattery);
    ASSERT_TRUE(car->isChecked());
    ASSERT_EQ(at<QComboBox>(d, ids::SettingCutOff)->count(), 0);
    car->click();
    EXPECT_EQ(at<QComboBox>(d, ids::SettingCutOff)->count(), 5);
    EXPECT_EQ(at<QComboBox>(d, ids::SettingCutOff)->currentText(), QStringLiteral("사용안함"));
    at<QPushButton>(d, ids::SettingSave)->click();
    EXPECT_EQ(Read(sd.filePath("setup.cfg")).split('\n').value(11), QByteArray(kSetupLabels[11]) + "0\r");
}

TEST_F(SettingDialog, WithoutACardTheViewersOwnOptionsAreSaved)
{
    volumes.list = {card(QStringLiteral("/"), "ext4", false), card(QDir::homePath(), "ext4", false)};
    CSettingDlg d(services);
    QComboBox *drive = at<QComboBox>(d, ids::SettingDrive);
    EXPECT_EQ(drive->count(), 0);
    EXPECT_EQ(drive->placeholderText(), QString::fromUtf8(ids::kCardNoneFound));
    EXPECT_FALSE(drive->isEnabled()) << "the card's part waits for a card";
    at<QSlider>(d, ids::SettingSkipSlider)->setValue(7);
    at<QPushButton>(d, ids::SettingSave)->click();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_TRUE(messages.told.isEmpty()) << messages.told.join(" | ").toStdString();
    EXPECT_FALSE(QFile::exists(QStringLiteral("/setup.cfg")));
    ViewerOptions back;
    ASSERT_TRUE(ReadViewerOptions(OptionFilePath(), back));
    EXPECT_EQ(back.playValue, 7);
}
