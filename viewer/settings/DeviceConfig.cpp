#include "DeviceConfig.h"

#include "ConfigText.h"

#include <QFile>

#include <algorithm>

namespace drivora {

const std::array<const char *, 14> kSetupLabels = {
    "Product Name            : ", "H/W Version             : ", "S/W Version             : ",
    "Acc Trigger Level       : ", "REC Video Qulity        : ", "REC Audio Enable        : ",
    "SPK Vol                 : ", "Video Channles          : ", "Parking Mode Select     : ",
    "Parking Mode Time       : ", "Car Battery Volt        : ", "Battery CutOff Volt     : ",
    "Power Off Timer         : ", "LCD Off Time            : ",
};

bool ChoiceList::choose(int i)
{
    if (i < 0 || i >= entries.size())
        return false;
    chosen = i;
    return true;
}

bool ChoiceList::choosePrefix(const QString &prefix)
{
    if (prefix.isEmpty())
        return false;
    for (int i = 0; i < entries.size(); ++i)
        if (entries[i].startsWith(prefix, Qt::CaseInsensitive)) {
            chosen = i;
            return true;
        }
    return false;
}

namespace {

QStringList Numbers(int from, int to, int width)
{
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << QStringLiteral("%1").arg(i, width, 10, QLatin1Char('0'));
    return out;
}

QStringList Texts(const std::function<QString(int)> &text, std::initializer_list<int> ids)
{
    QStringList out;
    for (int id : ids)
        out << text(id);
    return out;
}

// setup.cfg read as the camera's files are: pieces of at most 255
// characters, each ending at a line feed (CR LF counts as one).
QList<QByteArray> Lines(const QByteArray &data)
{
    QByteArray text = data;
    text.replace("\r\n", "\n");
    QList<QByteArray> lines;
    qsizetype at = 0;
    while (at < text.size()) {
        const qsizetype end = text.indexOf('\n', at);
        const qsizetype length = std::min<qsizetype>((end < 0 ? text.size() : end + 1) - at, 255);
        lines << text.mid(at, length);
        at += length;
    }
    return lines;
}

} // namespace

void CardSettings::fillLists(const std::function<QString(int)> &text, const QDate &today)
{
    sensitivity.fill(Texts(text, {155, 161, 160, 159, 158, 157, 156}));
    powerOff.fill({QStringLiteral("6H"), QStringLiteral("12H"), QStringLiteral("24H"), QStringLiteral("48H")});
    lcdOff.fill({QStringLiteral("항상 켬"), QStringLiteral("30초"), QStringLiteral("1분"), QStringLiteral("5분"),
                 QStringLiteral("시계")});
    parkingSelect.fill(Texts(text, {165, 166}));
    parkingTime.fill({QStringLiteral("5분"), QStringLiteral("15분"), QStringLiteral("30분"), QStringLiteral("사용안함")});
    quality.fill(Texts(text, {172, 171, 170}));
    channels.fill(Texts(text, {175, 174}));
    volume.fill({QStringLiteral("뮤트"), QStringLiteral("Level 1"), QStringLiteral("Level 2"), QStringLiteral("Level 3"),
                 QStringLiteral("Level 4"), QStringLiteral("Level 5")});
    cutOff.fill({});
    year.fill(Numbers(2011, std::max(2030, today.isValid() ? today.year() + 10 : 2030), 4));
    month.fill(Numbers(1, 12, 2));
    day.fill(Numbers(1, 31, 2));
    hour.fill(Numbers(0, 23, 2));
    minute.fill(Numbers(0, 59, 2));
    second.fill(Numbers(0, 59, 2));
}

QStringList CardSettings::CutOffEntries(bool truck)
{
    if (truck)
        return {QStringLiteral("사용안함"), QStringLiteral("23.0V"), QStringLiteral("23.4V"), QStringLiteral("23.8V"),
                QStringLiteral("24.2V")};
    return {QStringLiteral("사용안함"), QStringLiteral("11.5V"), QStringLiteral("11.7V"), QStringLiteral("11.9V"),
            QStringLiteral("12.1V")};
}

void CardSettings::changeBattery(bool toTruck)
{
    const int kept = cutOff.chosen;
    truck = toTruck;
    cutOff.fill(CutOffEntries(toTruck));
    cutOff.choose(kept < 0 ? 0 : kept);
}

void CardSettings::setDateTime(const QDateTime &local)
{
    const QDate d = local.date();
    const QTime t = local.time();
    year.choosePrefix(QString::asprintf("%04d", d.year()));
    month.choosePrefix(QString::asprintf("%02d", d.month()));
    day.choosePrefix(QString::asprintf("%02d", d.day()));
    hour.choosePrefix(QString::asprintf("%02d", t.hour()));
    minute.choosePrefix(QString::asprintf("%02d", t.minute()));
    second.choosePrefix(QString::asprintf("%02d", t.second()));
}

void CardSettings::chooseDefaults(const QDateTime &now)
{
    cutOff.fill(CutOffEntries(false));
    sensitivity.choose(3);
    powerOff.choose(1);
    lcdOff.choose(1);
    parkingSelect.choose(0);
    parkingTime.choose(0);
    quality.choose(2);
    channels.choose(1);
    volume.choose(3);
    cutOff.choose(3);
    sound = true;
    truck = false;
    setDateTime(now);
}

void CardSettings::clearChoices()
{
    for (ChoiceList *l : {&sensitivity, &quality, &volume, &parkingSelect, &cutOff, &powerOff, &lcdOff, &year, &month,
                          &day, &hour, &minute, &second})
        l->chosen = -1;
    sound = false;
    truck = false;
    applyTime = false;
}

QByteArray SetupFileBytes(const CardSettings &s)
{
    QByteArray out;
    auto line = [&](int index, const QByteArray &value) {
        out += kSetupLabels[size_t(index)];
        out += value;
        out += "\r\n";
    };
    auto from0 = [](const ChoiceList &l) { return QByteArray::number(l.chosen); };     // none: -1
    auto from1 = [](const ChoiceList &l) { return QByteArray::number(l.chosen + 1); }; // none: 0
    line(0, "KVR2650");
    line(1, "V1.0.0");
    line(2, "V0.0.6");
    line(3, from0(s.sensitivity));
    line(4, from1(s.quality));
    line(5, s.sound ? "1" : "0");
    line(6, from0(s.volume));
    line(7, from1(s.channels));
    line(8, from1(s.parkingSelect));
    line(9, from0(s.parkingTime));
    line(10, s.truck ? "1" : "0");
    line(11, from0(s.cutOff));
    line(12, from1(s.powerOff));
    line(13, from0(s.lcdOff));
    return out;
}

QByteArray TimeFileBytes(const CardSettings &s)
{
    const QString year = s.year.chosenText().right(2);
    return (year + QLatin1Char('/') + s.month.chosenText() + QLatin1Char('/') + s.day.chosenText() +
            QStringLiteral("\r\n") + s.hour.chosenText() + QLatin1Char('/') + s.minute.chosenText() +
            QLatin1Char('/') + s.second.chosenText() + QStringLiteral("\r\n"))
        .toLatin1();
}

bool ReadDeviceFiles(const QString &root, CardSettings &s, const CardRootId *expected, CardFileError *error)
{
    QByteArray setup;
    if (!ReadCardFile(root, kSetupFileName, setup, expected, error)) {
        s.clearChoices();
        return false;
    }
    int number = 0;
    for (const QByteArray &text : Lines(setup)) {
        if (text.size() <= kSetupLabelLength)
            break;
        ++number;
        const int v = LeadingInteger(StripLineEnds(text.mid(kSetupLabelLength)));
        switch (number) {
        case 4:
            s.sensitivity.choose(v);
            break;
        case 5:
            if (v >= 1 && v <= 3)
                s.quality.choose(v - 1);
            break;
        case 6:
            s.sound = v != 0;
            break;
        case 7:
            s.volume.choose(v);
            break;
        case 8:
            if (v == 1 || v == 2)
                s.channels.choose(v - 1);
            break;
        case 9:
            if (v == 1 || v == 2)
                s.parkingSelect.choose(v - 1);
            break;
        case 10:
            if (v >= 0 && v <= 3)
                s.parkingTime.choose(v);
            break;
        case 11:
            s.truck = v != 0;
            s.cutOff.fill(CardSettings::CutOffEntries(s.truck));
            break;
        case 12:
            s.cutOff.choose(v);
            break;
        case 13:
            if (v >= 1 && v <= 4)
                s.powerOff.choose(v - 1);
            break;
        case 14:
            s.lcdOff.choose(v);
            break;
        default:
            break; // the constants, and anything after line 14
        }
    }
    QByteArray time;
    if (ReadCardFile(root, kTimeFileName, time, expected, nullptr)) {
        const QList<QByteArray> lines = Lines(time);
        auto field = [](const QByteArray &line, int at) { return QString::fromLatin1(line.mid(at, 2)).remove(QLatin1Char('\n')); };
        if (!lines.isEmpty()) {
            s.year.choosePrefix(QStringLiteral("20") + field(lines[0], 0));
            s.month.choosePrefix(field(lines[0], 3));
            s.day.choosePrefix(field(lines[0], 6));
        }
        if (lines.size() > 1) {
            s.hour.choosePrefix(field(lines[1], 0));
            s.minute.choosePrefix(field(lines[1], 3));
            s.second.choosePrefix(field(lines[1], 6));
        }
    }
    return true;
}

bool WriteDeviceFiles(const QString &root, const CardSettings &s, const CardRootId *expected, CardFileError *error)
{
    std::vector<std::pair<const char *, QByteArray>> files = {{kSetupFileName, SetupFileBytes(s)}};
    if (s.applyTime)
        files.emplace_back(kTimeFileName, TimeFileBytes(s));
    return WriteCardFiles(root, files, expected, error);
}

} // namespace drivora
