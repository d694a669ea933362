#include "RecordingCatalogue.h"

#include "FolderScan.h"
#include "NativePath.h"

#include "app/UiStringLibrary.h"

#include <QFile>

#include <algorithm>
#include <array>

namespace drivora {
namespace {

constexpr QChar kSeparator = QLatin1Char('/');

// Compares the end or start of a name with an upper-case ASCII text, ignoring case.
bool equalsUpper(QByteArrayView piece, QByteArrayView upper)
{
    if (piece.size() != upper.size())
        return false;
    for (qsizetype i = 0; i < piece.size(); ++i) {
        char c = piece[i];
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
        if (c != upper[i])
            return false;
    }
    return true;
}

// Leading decimal digits of a piece, 0 when there are none.
uint16_t leadingNumber(QStringView piece)
{
    unsigned value = 0;
    for (QChar c : piece) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = value * 10 + unsigned(c.unicode() - '0');
    }
    return uint16_t(value);
}

bool AddCheckedRecording(const QString &folder, const QString &name);

void scanFolder(const QByteArray &folder, const QString &folderText)
{
    ForEachFolderItem(folder, [&](QByteArrayView name, FolderItemKind kind) {
        if (kind == FolderItemKind::Folder) {
            QByteArray sub = folder;
            sub.append(name).append('/');
            scanFolder(sub, folderText + PathFromNative(name) + kSeparator);
        } else if (kind == FolderItemKind::RegularFile && IsRecordingFileName(name)) {
            AddCheckedRecording(folderText, PathFromNative(name));
        }
    });
}

} // namespace

RecordingCatalogue &RecordingCatalogue::instance()
{
    static RecordingCatalogue catalogue;
    return catalogue;
}

int RecordingCatalogue::countKind(int kind) const
{
    return int(std::count_if(m_entries.begin(), m_entries.end(),
                             [kind](const RecordingEntry &e) { return e.kind == kind; }));
}

bool RecordingCatalogue::append(RecordingEntry entry)
{
    if (!m_paths.insert(entry.fullPath).second)
        return false;
    m_entries.push_back(std::move(entry));
    return true;
}

void RecordingCatalogue::clear()
{
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_paths.clear();
}

bool IsRecordingFileName(QByteArrayView name)
{
    // Lengths and positions count the bytes of the 8-bit name.
    const qsizetype n = name.size();
    if (n != 25) {
        if (n < 32)
            return false;
        if (!equalsUpper(name.last(11), "_LPSTOP.AVI") && !equalsUpper(name.last(12), "_LPSTART.AVI"))
            return false;
    }
    const QByteArrayView prefix = name.first(4);
    if (!equalsUpper(prefix, "REC_") && !equalsUpper(prefix, "EVT_") && !equalsUpper(prefix, "PRK_") &&
        !equalsUpper(prefix, "MDI_"))
        return false;
    return equalsUpper(name.last(4), ".AVI");
}

bool IsRecordingFileName(const QString &name)
{
    return IsRecordingFileName(QByteArrayView(NativeFromPath(name)));
}

NameDateTime SplitNameDateTime(const QString &name)
{
    const QStringView s(name);
    auto piece = [&s](qsizetype from, qsizetype length) {
        return from < s.size() ? s.sliced(from, std::min(length, s.size() - from)) : QStringView();
    };
    NameDateTime result;
    result.dateText.reserve(10);
    result.dateText.append(piece(4, 4)).append(QLatin1Char('-')).append(piece(8, 2)).append(QLatin1Char('-'))
        .append(piece(10, 2));
    result.timeText.reserve(8);
    result.timeText.append(piece(13, 2)).append(QLatin1Char(':')).append(piece(15, 2)).append(QLatin1Char(':'))
        .append(piece(17, 2));
    return result;
}

void ParseNameStartTime(const QString &name, CalendarTime &time)
{
    const QStringView s(name);
    auto piece = [&s](qsizetype from, qsizetype length) {
        return from < s.size() ? s.sliced(from, std::min(length, s.size() - from)) : QStringView();
    };
    time.year = leadingNumber(piece(4, 4));
    time.month = leadingNumber(piece(8, 2));
    time.day = leadingNumber(piece(10, 2));
    time.hour = leadingNumber(piece(13, 2));
    time.minute = leadingNumber(piece(15, 2));
    time.second = leadingNumber(piece(17, 2));
}

QDateTime RecordingClockAt(const QString &name, int64_t positionMs)
{
    CalendarTime t;
    ParseNameStartTime(name, t);
    const QDate date(t.year, t.month, t.day);
    const QTime time(t.hour, t.minute, t.second);
    if (!date.isValid() || !time.isValid())
        return {};
    // The camera's own clock, which knows no zone: as it reads, no shifts.
    return QDateTime(date, time, Qt::UTC).addMSecs(std::max<int64_t>(positionMs, 0));
}

bool AddRecording(const QString &folder, const QString &name)
{
    if (!IsRecordingFileName(name))
        return false;
    return AddCheckedRecording(folder, name);
}

namespace {

bool AddCheckedRecording(const QString &folder, const QString &name)
{
    RecordingCatalogue &catalogue = RecordingCatalogue::instance();
    RecordingEntry entry;
    entry.fileName = name;
    entry.fullPath = folder + name;
    if (catalogue.contains(entry.fullPath))
        return false;
    const NameDateTime dt = SplitNameDateTime(name);
    entry.dateText = dt.dateText;
    entry.timeText = dt.timeText;

    // Kind labels come from the interface texts; without them nothing is catalogued.
    UiStringLibrary strings;
    if (!strings.load())
        return false;
    const QStringView head = QStringView(name).first(3);
    if (head == u"REC") {
        entry.kind = KindNormal;
        entry.kindLabel = strings.text(kStringNormalLabel);
    } else if (head == u"EVT") {
        entry.kind = KindEvent;
        entry.kindLabel = QStringLiteral("이벤트");
    } else if (head == u"PRK") {
        entry.kind = KindParking;
        entry.kindLabel = QStringLiteral("주차상시");
    } else if (head == u"MDI") {
        entry.kind = KindParking;
        entry.kindLabel = strings.text(kStringMotionLabel);
    }
    strings.release();

    if (entry.kind == KindUnclassified)
        return false;
    return catalogue.append(std::move(entry));
}

} // namespace

bool AddRecordingFile(const QString &path)
{
    const qsizetype cut = path.lastIndexOf(kSeparator);
    if (cut <= 0)
        return true;
    if (IsSomethingElseThanAFile(path))
        return false; // a FIFO or device named like a recording is never read
    return AddRecording(path.left(cut + 1), path.mid(cut + 1));
}

bool AddRecordingPath(const QString &path)
{
    if (IsFolder(path)) {
        QString folder = path;
        if (!folder.endsWith(kSeparator))
            folder += kSeparator;
        // Hold the interface texts for the whole scan, so that every entry's
        // load only counts a reference instead of reading the catalogue again.
        UiStringLibrary held;
        held.load();
        scanFolder(NativeFromPath(folder), folder);
        return true;
    }
    const qsizetype cut = path.lastIndexOf(kSeparator);
    if (cut <= 0)
        return true;
    const QString name = path.mid(cut + 1);
    if (IsRecordingFileName(name) && !IsSomethingElseThanAFile(path))
        return AddRecording(path.left(cut + 1), name);
    return true;
}

void ClearCatalogue()
{
    RecordingCatalogue::instance().clear();
}

int CountKind(int kind)
{
    return RecordingCatalogue::instance().countKind(kind);
}

std::vector<RecordingEntry> FilteredSortedEntries(int filterKind)
{
    // Sort by date, then time, both without regard to case. The date and time
    // texts have fixed lengths (10 and 8), so one case-folded key of both
    // orders the same way.
    struct Keyed {
        std::array<char16_t, 18> key;
        const RecordingEntry *entry;
    };
    auto fold = [](QStringView text, char16_t *out, qsizetype length) {
        for (qsizetype i = 0; i < length; ++i)
            out[i] = i < text.size() ? text[i].toCaseFolded().unicode() : u'\0';
    };
    std::vector<Keyed> keyed;
    for (const RecordingEntry &e : RecordingCatalogue::instance().entries()) {
        if (filterKind != KindAll && e.kind != filterKind)
            continue;
        Keyed k;
        fold(e.dateText, k.key.data(), 10);
        fold(e.timeText, k.key.data() + 10, 8);
        k.entry = &e;
        keyed.push_back(k);
    }
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) { return a.key < b.key; });
    std::vector<RecordingEntry> rows;
    rows.reserve(keyed.size());
    for (const Keyed &k : keyed)
        rows.push_back(*k.entry);
    return rows;
}

} // namespace drivora
