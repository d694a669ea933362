// The settings dialog's rules on a folder standing in for a card, and which
// volumes may be formatted; formatting a disk image with the camera's label.
#include "settings/SettingsForm.h"
#include "support/Files.h"
#include "support/Process.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace drivora;

namespace {

class FakeVolumes : public IVolumeSource {
public:
    QList<CardVolume> volumes() override { return list; }
    QList<CardVolume> list;
};

QString Text(int id)
{
    return QStringLiteral("text %1").arg(id);
}

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(SettingsForm, ReadChangeSaveReadBack)
{
    QTemporaryDir card, config;
    FakeVolumes volumes;
    volumes.list = {{QStringLiteral("SYSTEM"), QStringLiteral("/"), QStringLiteral("/dev/sda1"), QStringLiteral("ext4"), false},
                    {QStringLiteral("KVR-2650"), card.path(), QStringLiteral("/dev/sdb1"), QStringLiteral("vfat"), true}};
    const QString options = config.filePath(QStringLiteral("config/option.ini"));
    ViewerOptions stored;
    stored.saveDirectory = QStringLiteral("/somewhere/else");
    stored.playValue = 7;
    stored.rearMirror = true;

    SettingsForm form(volumes);
    form.open(Text, &stored, QStringLiteral("/home/u/Documents/CAM_CAPTURE"));
    ASSERT_EQ(form.drives.size(), 1) << "the system's volume is no card";
    EXPECT_EQ(form.drives[0].entryText(), QStringLiteral("KVR-2650(") + card.path() + QLatin1Char(')'));
    EXPECT_EQ(form.folder, QStringLiteral("/home/u/Documents/CAM_CAPTURE")) << "the default folder, not the stored one";
    EXPECT_EQ(form.playValue, 7);
    EXPECT_TRUE(form.rearMirror);
    EXPECT_EQ(form.drive, -1) << "no drive chosen at opening";

    ViewerOptions record;
    EXPECT_EQ(form.save(options, record, nullptr), SettingsForm::Saved::NoDrive);
    EXPECT_FALSE(QFile::exists(options)) << "nothing written without a drive";

    // A card without setup.cfg: choosing it clears; saving writes -1 or 0
    // for every empty list.
    form.chooseDrive(0);
    EXPECT_EQ(form.card.sensitivity.chosen, -1);
    form.playValue = 8; // the trackbar moved to 8
    ASSERT_EQ(form.save(options, record, nullptr), SettingsForm::Saved::Done);
    const QList<QByteArray> lines = Read(card.filePath("setup.cfg")).split('\n');
    ASSERT_EQ(lines.size(), 15);
    EXPECT_TRUE(lines[3].endsWith(": -1\r"));
    EXPECT_TRUE(lines[12].endsWith(": 0\r"));
    EXPECT_FALSE(QFile::exists(card.filePath("time.cfg"))) << "apply time off";
    ViewerOptions back;
    ASSERT_TRUE(ReadViewerOptions(options, back));
    EXPECT_EQ(back.playValue, 8);
    EXPECT_EQ(back.saveDirectory, QStringLiteral("/home/u/Documents/CAM_CAPTURE"));
    EXPECT_TRUE(back.rearMirror);

    // Defaults, apply time, save, and a fresh form reads the card back.
    const QDateTime now(QDate(2024, 3, 15), QTime(8, 15, 0));
    form.defaults(now, QStringLiteral("/home/u/Documents/CAM_CAPTURE"));
    EXPECT_EQ(form.playValue, 5);
    form.setApplyTime(true, now);
    form.card.changeBattery(true);
    ASSERT_EQ(form.save(options, record, nullptr), SettingsForm::Saved::Done);
    EXPECT_EQ(Read(card.filePath("time.cfg")), QByteArray("24/03/15\r\n08/15/00\r\n"));
    SettingsForm again(volumes);
    again.open(Text, nullptr, QString());
    again.chooseDrive(0);
    EXPECT_EQ(again.card.cutOff.chosenText(), QStringLiteral("23.8V"));
    EXPECT_EQ(again.card.sensitivity.chosen, 3);
    EXPECT_EQ(again.card.year.chosenText(), QStringLiteral("2024"));

    // Without the interface texts nothing is listed.
    SettingsForm bare(volumes);
    bare.open(nullptr, nullptr, QString());
    EXPECT_TRUE(bare.drives.isEmpty());
    EXPECT_TRUE(bare.card.sensitivity.entries.isEmpty());
}

TEST(SettingsForm, AReadOnlyCardIsToldAndTheOptionsAreStillSaved)
{
    testsupport::SmallDisk disk("64k");
    if (!disk.available())
        GTEST_SKIP() << "mounting a small disk needs root";
    QTemporaryDir config;
    FakeVolumes volumes;
    volumes.list = {{QString(), QString::fromStdString(disk.path()), QStringLiteral("/dev/sdb1"), QStringLiteral("vfat"), true}};
    SettingsForm form(volumes);
    form.open(Text, nullptr, QStringLiteral("/pictures"));
    form.chooseDrive(0);
    ASSERT_TRUE(disk.setReadOnly(true));
    ViewerOptions record;
    QString why;
    EXPECT_EQ(form.save(config.filePath("option.ini"), record, &why), SettingsForm::Saved::CardNotWritten);
    EXPECT_TRUE(why.contains(QStringLiteral("setup.cfg"))) << why.toStdString();
    disk.setReadOnly(false);
    EXPECT_TRUE(QDir(QString::fromStdString(disk.path())).entryList(QDir::Files).isEmpty());
    ViewerOptions back;
    ASSERT_TRUE(ReadViewerOptions(config.filePath("option.ini"), back));
    EXPECT_EQ(back.saveDirectory, QStringLiteral("/pictures"));
}

TEST(CardVolumes, OnlyARemovableFatCardAwayFromTheSystemIsFormatted)
{
    struct Case {
        const char *root, *fs;
        bool removable;
        FormatRefusal refusal;
    } cases[] = {
        {"/media/u/CARD", "vfat", true, FormatRefusal::None},
        {"/media/u/CARD", "exfat", true, FormatRefusal::None},
        {"/media/u/CARD", "ntfs", true, FormatRefusal::NotFat},
        {"/media/u/DISK", "vfat", false, FormatRefusal::NotRemovable},
        {"/", "vfat", true, FormatRefusal::SystemVolume},
        {"/home", "vfat", true, FormatRefusal::SystemVolume},   // holds the home folder
        {"/home/u", "vfat", true, FormatRefusal::SystemVolume},
        {"/boot/efi", "vfat", false, FormatRefusal::NotRemovable},
        {"/home/u2", "vfat", true, FormatRefusal::None},        // beside the home folder, not holding it
        {"", "vfat", true, FormatRefusal::SystemVolume},
    };
    for (const Case &c : cases) {
        CardVolume v;
        v.root = QString::fromLatin1(c.root);
        v.fileSystem = QString::fromLatin1(c.fs);
        v.removable = c.removable;
        EXPECT_EQ(CheckFormat(v, QStringLiteral("/home/u")), c.refusal) << c.root << " " << c.fs;
    }
}

TEST(CardVolumes, TheDriveListOffersOnlyWhatCanBeTheCamerasCard)
{
    struct Case {
        const char *root, *fs;
        bool removable, offered;
    } cases[] = {
        {"/media/u/KVR-2650", "vfat", true, true},
        {"/media/u/KVR-2650", "exfat", false, true}, // a card reader that says it is fixed
        {"/media/u/STICK", "ext4", true, true},      // a copied card on a USB stick
        {"/mnt/data", "ext4", false, false},
        {"/", "ext4", false, false},
        {"/", "vfat", true, false},
        {"/home", "ext4", false, false},
        {"/home/u", "vfat", true, false},
        {"/boot/efi", "vfat", false, true}, // FAT, though no card: formatting still refuses it
    };
    FakeVolumes volumes;
    for (const Case &c : cases)
        volumes.list << CardVolume{QString(), QString::fromLatin1(c.root), QStringLiteral("/dev/sdz1"),
                                   QString::fromLatin1(c.fs), c.removable};
    SettingsForm form(volumes, QStringLiteral("/home/u"));
    form.open(Text, nullptr, QString());
    QStringList offered, expected;
    for (const CardVolume &v : form.drives)
        offered << v.root + QLatin1Char(' ') + v.fileSystem;
    for (const Case &c : cases)
        if (c.offered)
            expected << QString::fromLatin1(c.root) + QLatin1Char(' ') + QString::fromLatin1(c.fs);
    EXPECT_EQ(offered, expected);

    // No card at all: the viewer's options are saved, nothing else.
    QTemporaryDir config;
    FakeVolumes none;
    none.list = {{QString(), QStringLiteral("/"), QStringLiteral("/dev/sda1"), QStringLiteral("ext4"), false}};
    SettingsForm alone(none, QStringLiteral("/home/u"));
    alone.open(Text, nullptr, QStringLiteral("/pictures"));
    alone.playValue = 4;
    ViewerOptions record;
    EXPECT_EQ(alone.save(config.filePath("option.ini"), record, nullptr), SettingsForm::Saved::Done);
    ViewerOptions back;
    ASSERT_TRUE(ReadViewerOptions(config.filePath("option.ini"), back));
    EXPECT_EQ(back.playValue, 4);
    EXPECT_FALSE(QFile::exists(QStringLiteral("/setup.cfg")));
}

TEST(CardVolumes, FormattingADiskImageWritesTheCamerasLabel)
{
    QTemporaryDir dir;
    const QString image = dir.filePath("card.img");
    {
        QFile f(image);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(32 * 1024 * 1024));
    }
    const FormatOutcome out = MakeFatFileSystem(image, QString::fromLatin1(kCardVolumeLabel));
    ASSERT_TRUE(out.done) << out.detail.toStdString();
    const testsupport::Result label = testsupport::Shell("blkid -o value -s LABEL " + testsupport::Quote(image.toStdString()));
    EXPECT_EQ(label.output, "KVR-2650\n");
    const testsupport::Result type = testsupport::Shell("blkid -o value -s TYPE " + testsupport::Quote(image.toStdString()));
    EXPECT_EQ(type.output, "vfat\n");

    const FormatOutcome missing = MakeFatFileSystem(dir.filePath("no-such-device"), QStringLiteral("KVR-2650"));
    EXPECT_FALSE(missing.done);
    EXPECT_FALSE(missing.detail.isEmpty());
}

TEST(CardVolumes, TheSystemsListHoldsOnlyBlockDevicesAndNoOpticalMedia)
{
    for (const CardVolume &v : SystemVolumes().volumes()) {
        EXPECT_TRUE(v.device.startsWith(QLatin1String("/dev/"))) << v.device.toStdString();
        EXPECT_FALSE(v.device.startsWith(QLatin1String("/dev/sr"))) << v.device.toStdString();
        EXPECT_NE(v.fileSystem, QLatin1String("iso9660"));
        EXPECT_FALSE(v.root.isEmpty());
    }
}
