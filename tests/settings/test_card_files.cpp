// The camera's files on a card folder that holds hostile entries in their
// places: links out of the card and within it, FIFOs, devices and folders,
// names in capitals; and a card that went away after it was chosen.
#include "settings/CardFiles.h"
#include "settings/DeviceConfig.h"
#include "app/ViewerIds.h"
#include "settings/SettingsForm.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <functional>

using namespace drivora;

namespace {

QString Text(int id)
{
    return QStringLiteral("text %1").arg(id);
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

QByteArray SetupWithSensitivity(int v)
{
    QByteArray out;
    for (size_t i = 0; i < kSetupLabels.size(); ++i)
        out += QByteArray(kSetupLabels[i]) + (i == 3 ? QByteArray::number(v) : QByteArray("1")) + "\r\n";
    return out;
}

CardSettings Filled()
{
    CardSettings s;
    s.fillLists(Text);
    s.chooseDefaults(QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));
    s.applyTime = true;
    return s;
}

// Everything in a folder but the entries a case made on purpose.
QStringList Entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

// Each case puts something in setup.cfg's place on a card folder that sits
// in a parent folder holding "notes.txt" (what a link out would reach).
TEST(CardFiles, HostileEntriesAreRefusedAtOnceAndNothingOutsideChanges)
{
    struct Case {
        const char *what;
        std::function<bool(const QString &card, const QString &outside)> make; // false: cannot here
        CardFileProblem problem;
    };
    const Case cases[] = {
        {"a relative link out of the card",
         [](const QString &card, const QString &) {
             return ::symlink("../notes.txt", QFile::encodeName(card + "/setup.cfg").constData()) == 0;
         },
         CardFileProblem::LeadsOut},
        {"an absolute link out of the card",
         [](const QString &card, const QString &outside) {
             return QFile::link(outside + "/notes.txt", card + "/setup.cfg");
         },
         CardFileProblem::LeadsOut},
        {"a link to a device node",
         [](const QString &card, const QString &) { return QFile::link("/dev/null", card + "/setup.cfg"); },
         CardFileProblem::LeadsOut},
        {"a link out that does not lead anywhere yet",
         [](const QString &card, const QString &) {
             return ::symlink("../new.txt", QFile::encodeName(card + "/setup.cfg").constData()) == 0;
         },
         CardFileProblem::LeadsOut},
        {"a FIFO",
         [](const QString &card, const QString &) {
             return ::mkfifo(QFile::encodeName(card + "/setup.cfg").constData(), 0644) == 0;
         },
         CardFileProblem::NotAFile},
        {"a character device",
         [](const QString &card, const QString &) {
             return ::mknod(QFile::encodeName(card + "/setup.cfg").constData(), S_IFCHR | 0644, makedev(1, 3)) == 0;
         },
         CardFileProblem::NotAFile},
        {"a folder",
         [](const QString &card, const QString &) { return QDir(card).mkdir("SETUP.CFG"); },
         CardFileProblem::NotAFile},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir parent;
        const QString outside = parent.path();
        const QString card = parent.filePath("card");
        ASSERT_TRUE(QDir().mkpath(card));
        Write(outside + "/notes.txt", "the user's own notes\n");
        Write(card + "/time.cfg", "20/01/01\r\n00/00/00\r\n");
        if (!c.make(card, outside)) {
            ADD_FAILURE() << "could not make the entry (device nodes need root)";
            continue;
        }
        const QStringList before = Entries(card);

        CardSettings s = Filled();
        CardFileError error;
        EXPECT_FALSE(ReadDeviceFiles(card, s, nullptr, &error));
        EXPECT_EQ(error.problem, c.problem);
        EXPECT_EQ(s.sensitivity.chosen, -1) << "cleared, as for a card without setup.cfg";

        s = Filled();
        error = {};
        EXPECT_FALSE(WriteDeviceFiles(card, s, nullptr, &error));
        EXPECT_EQ(error.problem, c.problem);
        EXPECT_FALSE(CardErrorText(error).isEmpty());
        EXPECT_EQ(Read(outside + "/notes.txt"), QByteArray("the user's own notes\n"));
        EXPECT_FALSE(QFile::exists(outside + "/new.txt"));
        EXPECT_EQ(Read(card + "/time.cfg"), QByteArray("20/01/01\r\n00/00/00\r\n")) << "neither file is written";
        EXPECT_EQ(Entries(card), before) << "the entry stays and nothing is left aside";
    }
}

TEST(CardFiles, LinksWithinTheCardAndNamesInCapitalsAreTheCardsOwnFiles)
{
    QTemporaryDir card;
    // The camera's FAT card keeps its names in capitals; a copy on a folder
    // that tells cases apart keeps them too.
    Write(card.filePath("SETUP.CFG"), SetupWithSensitivity(5));
    ASSERT_TRUE(QDir(card.path()).mkdir("backup"));
    Write(card.filePath("backup/clock.cfg"), "21/02/03\r\n04/05/06\r\n");
    ASSERT_EQ(::symlink("backup/clock.cfg", QFile::encodeName(card.filePath("time.cfg")).constData()), 0);

    CardSettings s = Filled();
    ASSERT_TRUE(ReadDeviceFiles(card.path(), s));
    EXPECT_EQ(s.sensitivity.chosen, 5);
    EXPECT_EQ(s.year.chosenText(), QStringLiteral("2021")) << "through the link that stays on the card";

    s.sensitivity.choose(1);
    s.applyTime = true;
    s.setDateTime(QDateTime(QDate(2025, 7, 8), QTime(9, 10, 11)));
    ASSERT_TRUE(WriteDeviceFiles(card.path(), s));
    EXPECT_EQ(Entries(card.path()), QStringList({"SETUP.CFG", "backup", "time.cfg"})) << "replaced, not written beside";
    EXPECT_TRUE(Read(card.filePath("SETUP.CFG")).contains(QByteArray(kSetupLabels[3]) + "1\r\n"));
    EXPECT_TRUE(QFileInfo(card.filePath("time.cfg")).isSymLink()) << "the link stays";
    EXPECT_EQ(Read(card.filePath("backup/clock.cfg")), QByteArray("25/07/08\r\n09/10/11\r\n"));
    EXPECT_EQ(CardFileName(card.path(), kSetupFileName), QStringLiteral("SETUP.CFG"));
    EXPECT_EQ(CardFileName(card.path(), kTimeFileName), QStringLiteral("time.cfg"));
}

namespace {

class FakeVolumes : public IVolumeSource {
public:
    QList<CardVolume> volumes() override { return list; }
    QList<CardVolume> list;
};

} // namespace

// The card is mounted when chosen, then pulled out: its mount folder is the
// computer's own disk, and nothing may land there.
TEST(CardFiles, ACardThatWentAwayAfterItWasChosenIsNotWrittenToTheComputersDisk)
{
    auto disk = std::make_unique<testsupport::SmallDisk>("64k");
    ASSERT_TRUE(disk);
    if (!disk->available())
        GTEST_SKIP() << "mounting a small disk needs root";
    const QString root = QString::fromStdString(disk->path());
    Write(root + "/setup.cfg", SetupWithSensitivity(2));
    QTemporaryDir config;
    FakeVolumes volumes;
    CardVolume card{QStringLiteral("KVR-2650"), root, QStringLiteral("/dev/sdz1"), QStringLiteral("vfat"), true};
    card.mountPoint = true;
    volumes.list = {card};

    for (bool chooseAfter : {false, true}) {
        SCOPED_TRACE(chooseAfter ? "pulled out before it was chosen" : "pulled out after it was chosen");
        ASSERT_TRUE(disk->mount());
        Write(root + "/setup.cfg", SetupWithSensitivity(2));
        SettingsForm form(volumes);
        form.open(Text, nullptr, QStringLiteral("/pictures"));
        ASSERT_EQ(form.drives.size(), 1);
        if (!chooseAfter) {
            EXPECT_EQ(form.chooseDrive(0).problem, CardFileProblem::None);
            EXPECT_EQ(form.card.sensitivity.chosen, 2);
        }
        ASSERT_TRUE(disk->unmount());
        if (chooseAfter) {
            EXPECT_EQ(form.chooseDrive(0).problem, CardFileProblem::CardGone);
        }
        ViewerOptions record;
        QString why;
        EXPECT_EQ(form.save(config.filePath("option.ini"), record, &why), SettingsForm::Saved::CardNotWritten);
        EXPECT_TRUE(why.startsWith(QString::fromUtf8(ids::kCardGone).left(10))) << why.toStdString();
        EXPECT_TRUE(Entries(root).isEmpty()) << "the mount folder stays empty";
        EXPECT_TRUE(QFile::exists(config.filePath("option.ini"))) << "the viewer's own options are saved";
    }

    // Mounted again after it was chosen: another mount, so chosen again first.
    ASSERT_TRUE(disk->mount());
    SettingsForm form(volumes);
    form.open(Text, nullptr, QString());
    form.chooseDrive(0);
    const CardRootId first = IdentifyCardRoot(root);
    ASSERT_TRUE(disk->unmount());
    ASSERT_TRUE(disk->mount());
    ViewerOptions record;
    if (!IdentifyCardRoot(root).sameFolder(first)) { // older kernels may give the same mount id again
        EXPECT_EQ(form.save(config.filePath("option.ini"), record, nullptr), SettingsForm::Saved::CardNotWritten);
    }
    form.chooseDrive(0);
    EXPECT_EQ(form.save(config.filePath("option.ini"), record, nullptr), SettingsForm::Saved::Done);
    EXPECT_TRUE(QFile::exists(root + "/setup.cfg"));
}
