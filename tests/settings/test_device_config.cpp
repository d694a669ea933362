// The camera's setup files: reading rules, exact bytes written, and a card
// that cannot be written keeping its old files.
#include "settings/DeviceConfig.h"
#include "support/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace drivora;

namespace {

QString Text(int id)
{
    return QStringLiteral("text %1").arg(id);
}

CardSettings Filled()
{
    CardSettings s;
    s.fillLists(Text);
    return s;
}

// setup.cfg lines from values (a label and its value per line).
QByteArray SetupLines(std::initializer_list<const char *> values, const char *end = "\r\n")
{
    QByteArray out;
    size_t i = 0;
    for (const char *v : values)
        out += QByteArray(kSetupLabels[i++]) + v + end;
    return out;
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray Read(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

} // namespace

TEST(DeviceConfig, TheWrittenPairOfFilesByteForByte)
{
    QTemporaryDir card;
    CardSettings s = Filled();
    s.chooseDefaults(QDateTime(QDate(2013, 5, 7), QTime(9, 5, 0)));
    s.applyTime = true;
    ASSERT_TRUE(WriteDeviceFiles(card.path(), s));
    EXPECT_EQ(Read(card.filePath("setup.cfg")), QByteArray("Product Name            : KVR2650\r\n"
                                                           "H/W Version             : V1.0.0\r\n"
                                                           "S/W Version             : V0.0.6\r\n"
                                                           "Acc Trigger Level       : 3\r\n"
                                                           "REC Video Qulity        : 3\r\n"
                                                           "REC Audio Enable        : 1\r\n"
                                                           "SPK Vol                 : 3\r\n"
                                                           "Video Channles          : 2\r\n"
                                                           "Parking Mode Select     : 1\r\n"
                                                           "Parking Mode Time       : 0\r\n"
                                                           "Car Battery Volt        : 0\r\n"
                                                           "Battery CutOff Volt     : 3\r\n"
                                                           "Power Off Timer         : 2\r\n"
                                                           "LCD Off Time            : 1\r\n"));
    EXPECT_EQ(Read(card.filePath("time.cfg")), QByteArray("13/05/07\r\n09/05/00\r\n"));
    EXPECT_EQ(QDir(card.path()).entryList(QDir::Files), QStringList({"setup.cfg", "time.cfg"})) << "nothing left aside";

    // Read back into a fresh form: the same choices.
    CardSettings back = Filled();
    ASSERT_TRUE(ReadDeviceFiles(card.path(), back));
    EXPECT_EQ(SetupFileBytes(back), SetupFileBytes(s));
    back.applyTime = true;
    EXPECT_EQ(TimeFileBytes(back), TimeFileBytes(s));

    // Nothing chosen: -1 on the lines counted from 0, 0 on those from 1.
    CardSettings empty = Filled();
    const QList<QByteArray> lines = SetupFileBytes(empty).split('\n');
    EXPECT_EQ(lines[3], QByteArray(kSetupLabels[3]) + "-1\r");
    EXPECT_EQ(lines[4], QByteArray(kSetupLabels[4]) + "0\r");
    EXPECT_EQ(lines[12], QByteArray(kSetupLabels[12]) + "0\r");
    EXPECT_EQ(lines[13], QByteArray(kSetupLabels[13]) + "-1\r");
}

TEST(DeviceConfig, ReadingRules)
{
    struct Case {
        const char *name;
        QByteArray setup;
        std::function<void(CardSettings &)> check;
    } cases[] = {
        {"only six lines set sensitivity, quality and sound, and stop",
         SetupLines({"KVR2650", "V1.0.0", "V0.0.6", "5", "2", "1"}),
         [](CardSettings &s) {
             EXPECT_EQ(s.sensitivity.chosen, 5);
             EXPECT_EQ(s.quality.chosen, 1);
             EXPECT_TRUE(s.sound);
             EXPECT_EQ(s.volume.chosen, -1);
             EXPECT_EQ(s.powerOff.chosen, -1);
         }},
        {"a label-only line is read as 0",
         SetupLines({"KVR2650", "V1.0.0", "V0.0.6", "", "", "", "", "", "", "", "", "", "", ""}, "\n"),
         [](CardSettings &s) {
             EXPECT_EQ(s.sensitivity.chosen, 0);
             EXPECT_EQ(s.quality.chosen, -1) << "0 is out of 1..3";
             EXPECT_FALSE(s.sound);
             EXPECT_EQ(s.volume.chosen, 0);
             EXPECT_EQ(s.parkingTime.chosen, 0);
             EXPECT_EQ(s.cutOff.chosen, 0);
             EXPECT_EQ(s.lcdOff.chosen, 0);
         }},
        {"a line of 26 characters or less ends the reading",
         SetupLines({"KVR2650", "V1.0.0", "V0.0.6", "2"}) + "short\r\n" + SetupLines({"", "", "", "4"}),
         [](CardSettings &s) {
             EXPECT_EQ(s.sensitivity.chosen, 2);
             EXPECT_EQ(s.volume.chosen, -1);
         }},
        {"truck battery then cut-off 2 is 23.4V; out-of-range values change nothing",
         SetupLines({"x", "x", "x", "7", "4", "0", "6", "3", "0", "4", "1", "2", "5", "5"}),
         [](CardSettings &s) {
             EXPECT_TRUE(s.truck);
             EXPECT_EQ(s.cutOff.chosenText(), QStringLiteral("23.4V"));
             EXPECT_EQ(s.cutOff.entries, CardSettings::CutOffEntries(true));
             for (ChoiceList *l : {&s.sensitivity, &s.quality, &s.volume, &s.channels, &s.parkingSelect,
                                   &s.parkingTime, &s.powerOff, &s.lcdOff})
                 EXPECT_EQ(l->chosen, -1);
         }},
        {"values are leading integers after tabs and CRs; signs and junk",
         SetupLines({"x", "x", "x", "\t 4xyz", "+2", "-1", "abc", "2\t", "1", "3", "0", "-1", "4 ", "99999999999"}),
         [](CardSettings &s) {
             EXPECT_EQ(s.sensitivity.chosen, 4);
             EXPECT_EQ(s.quality.chosen, 1);
             EXPECT_TRUE(s.sound) << "-1 is not 0";
             EXPECT_EQ(s.volume.chosen, 0) << "no digits: 0";
             EXPECT_EQ(s.channels.chosen, 1);
             EXPECT_EQ(s.parkingSelect.chosen, 0);
             EXPECT_EQ(s.parkingTime.chosen, 3);
             EXPECT_EQ(s.cutOff.chosen, -1);
             EXPECT_EQ(s.powerOff.chosen, 3);
             EXPECT_EQ(s.lcdOff.chosen, -1);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir card;
        Write(card.filePath("setup.cfg"), c.setup);
        CardSettings s = Filled();
        ASSERT_TRUE(ReadDeviceFiles(card.path(), s));
        c.check(s);
    }
}

TEST(DeviceConfig, TimeAndDrivesOneAfterAnother)
{
    QTemporaryDir truckCard, carCard, noCard;
    Write(truckCard.filePath("setup.cfg"), SetupLines({"x", "x", "x", "1", "1", "1", "1", "1", "1", "1", "1", "4", "1", "1"}));
    Write(truckCard.filePath("time.cfg"), "13/05/07\r\n09/05/00\r\n");
    Write(carCard.filePath("setup.cfg"), SetupLines({"x", "x", "x", "1", "1", "1", "1", "1", "1", "1", "0", "1", "1", "1"}));
    Write(carCard.filePath("time.cfg"), "99/13/3\r\n7");

    CardSettings s = Filled();
    ASSERT_TRUE(ReadDeviceFiles(truckCard.path(), s));
    EXPECT_EQ(s.cutOff.chosenText(), QStringLiteral("24.2V"));
    EXPECT_EQ(s.year.chosenText() + s.month.chosenText() + s.day.chosenText(), QStringLiteral("20130507"));
    EXPECT_EQ(s.hour.chosenText() + s.minute.chosenText() + s.second.chosenText(), QStringLiteral("090500"));

    // The other battery type: the cut-off list holds only its own entries.
    ASSERT_TRUE(ReadDeviceFiles(carCard.path(), s));
    EXPECT_EQ(s.cutOff.entries, CardSettings::CutOffEntries(false));
    EXPECT_EQ(s.cutOff.chosenText(), QStringLiteral("11.5V"));
    EXPECT_EQ(s.year.chosenText(), QStringLiteral("2013")) << "year 99 (2099) is no entry: kept";
    EXPECT_EQ(s.month.chosenText(), QStringLiteral("05")) << "month 13 is no entry: kept";
    EXPECT_EQ(s.day.chosenText(), QStringLiteral("30")) << "\"3\" begins 30 first";
    EXPECT_EQ(s.hour.chosenText(), QStringLiteral("09")) << "\"7\" begins no hour: kept";

    // A card without setup.cfg: the choices are cleared, but channels and
    // parking time keep theirs; time.cfg is not read.
    s.applyTime = true;
    Write(noCard.filePath("time.cfg"), "24/01/01\r\n01/01/01\r\n");
    EXPECT_FALSE(ReadDeviceFiles(noCard.path(), s));
    EXPECT_EQ(s.sensitivity.chosen, -1);
    EXPECT_EQ(s.year.chosen, -1);
    EXPECT_FALSE(s.applyTime);
    EXPECT_FALSE(s.sound);
    EXPECT_EQ(s.channels.chosen, 0);
    EXPECT_EQ(s.parkingTime.chosen, 1);

    // Changing the battery type keeps the cut-off position.
    s.changeBattery(false);
    EXPECT_EQ(s.cutOff.chosenText(), QStringLiteral("사용안함")) << "nothing chosen: position 0";
    s.cutOff.choose(2);
    s.changeBattery(true);
    EXPECT_EQ(s.cutOff.chosenText(), QStringLiteral("23.4V"));
}

TEST(DeviceConfig, ACardThatCannotBeWrittenKeepsItsOldFilesAndSaysWhy)
{
    testsupport::SmallDisk disk("64k");
    if (!disk.available())
        GTEST_SKIP() << "mounting a small disk needs root";
    const QString root = QString::fromStdString(disk.path());
    const QString setup = QString::fromStdString(disk.file("setup.cfg"));
    const QString time = QString::fromStdString(disk.file("time.cfg"));
    const QByteArray oldSetup = SetupLines({"KVR2650", "V1.0.0", "V0.0.6", "1"});
    Write(setup, oldSetup);
    Write(time, "12/01/01\r\n00/00/00\r\n");
    CardSettings s = Filled();
    s.chooseDefaults(QDateTime(QDate(2020, 1, 1), QTime(1, 2, 3)));

    // Apply time off: time.cfg stays as it was.
    ASSERT_TRUE(WriteDeviceFiles(root, s));
    EXPECT_EQ(Read(time), QByteArray("12/01/01\r\n00/00/00\r\n"));
    Write(setup, oldSetup);

    s.applyTime = true;
    CardFileError error;
    disk.fill();
    EXPECT_FALSE(WriteDeviceFiles(root, s, nullptr, &error));
    EXPECT_EQ(error.problem, CardFileProblem::Full) << error.detail.toStdString();
    disk.unfill();
    ASSERT_TRUE(disk.setReadOnly(true));
    EXPECT_FALSE(WriteDeviceFiles(root, s, nullptr, &error));
    EXPECT_EQ(error.problem, CardFileProblem::ReadOnly);
    EXPECT_TRUE(error.path.endsWith(QStringLiteral("setup.cfg"))) << error.path.toStdString();
    ASSERT_TRUE(disk.setReadOnly(false));
    EXPECT_EQ(Read(setup), oldSetup);
    EXPECT_EQ(Read(time), QByteArray("12/01/01\r\n00/00/00\r\n"));
    EXPECT_EQ(QDir(root).entryList(QDir::Files | QDir::Hidden), QStringList({"setup.cfg", "time.cfg"}))
        << "nothing left aside";
}

TEST(DeviceConfig, TheYearListRunsTenYearsAhead)
{
    CardSettings s;
    s.fillLists(Text, QDate(2031, 6, 1));
    EXPECT_EQ(s.year.entries.first(), QStringLiteral("2011"));
    EXPECT_EQ(s.year.entries.last(), QStringLiteral("2041"));
    s.setDateTime(QDateTime(QDate(2031, 6, 1), QTime(12, 0, 0)));
    s.applyTime = true;
    EXPECT_TRUE(TimeFileBytes(s).startsWith("31/06/01\r\n")) << "not an empty year";

    QTemporaryDir card;
    Write(card.filePath("setup.cfg"), SetupLines({"KVR2650", "V1.0.0", "V0.0.6", "1"}));
    Write(card.filePath("time.cfg"), "33/01/02\r\n03/04/05\r\n");
    ASSERT_TRUE(ReadDeviceFiles(card.path(), s));
    EXPECT_EQ(s.year.chosenText(), QStringLiteral("2033"));
}
