#include "RecordingCatalogue.h"

#include "app/UiStringLibrary.h"

#include <QFile>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace drivora {
namespace {

constexpr QChar kSeparator = QLatin1Char('/');

bool upperEquals(QByteArrayView piece, const char *expected)
{
    return piece.toByteArray().toUpper() == expected;
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

void scanFolder(const std::filesystem::path &folder, const QString &folderText)
{
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::filesystem::directory_entry &item = *it;
        const QString name = QFile::decodeName(item.path().filename().c_str());
        std::error_code typeError;
        // Linked folders are not followed: a link back up the tree would never end.
        if (item.is_directory(typeError) && !item.is_symlink(typeError)) {
            scanFolder(item.path(), folderText + name + kSeparator);
        } else if (IsRecordingFileName(name)) {
            AddRecording(folderText, name);
        }
    }
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
    if (m_paths.contains(entry.fullPath))
        return false;
    m_paths.insert(entry.fullPath);
    m_entries.push_back(std::move(entry));
    return true;
}

void RecordingCatalogue::clear()
{
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_paths.clear();
}

bool IsRecordingFileName(const QString &name)
{
    // Lengths and positions count the bytes of the 8-bit name.
    const QByteArray bytes = name.toUtf8();
    const qsizetype n = bytes.size();
    if (n != 25) {
        if (n < 32)
            return false;
        if (!upperEquals(QByteArrayView(bytes).last(11), "_LPSTOP.AVI") &&
            !upperEquals(QByteArrayView(bytes).last(12), "_LPSTART.AVI"))
            return false;
    }
    const QByteArray prefix = bytes.first(4).toUpper();
    if (prefix != "REC_" && prefix != "EVT_" && prefix != "PRK_" && prefix != "MDI_")
        return false;
    return upperEquals(QByteArrayView(bytes).last(4), ".AVI");
}

NameDateTime SplitNameDateTime(const QString &name)
{
    const QString s = name.leftJustified(19, QLatin1Char(' '));
    NameDateTime result;
    result.dateText = s.mid(4, 4) + QLatin1Char('-') + s.mid(8, 2) + QLatin1Char('-') + s.mid(10, 2);
    result.timeText = s.mid(13, 2) + QLatin1Char(':') + s.mid(15, 2) + QLatin1Char(':') + s.mid(17, 2);
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

bool AddRecording(const QString &folder, const QString &name)
{
    if (!IsRecordingFileName(name))
        return false;
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

bool AddRecordingFile(const QString &path)
{
    const qsizetype cut = path.lastIndexOf(kSeparator);
    if (cut <= 0)
        return true;
    return AddRecording(path.left(cut + 1), path.mid(cut + 1));
}

bool AddRecordingPath(const QString &path)
{
    const std::filesystem::path native(QFile::encodeName(path).toStdString());
    std::error_code ec;
    if (std::filesystem::is_directory(native, ec)) {
        QString folder = path;
        if (!folder.endsWith(kSeparator))
            folder += kSeparator;
        // Hold the interface texts for the whole scan, so that every entry's
        // load only counts a reference instead of reading the catalogue again.
        UiStringLibrary held;
        held.load();
        scanFolder(native, folder);
        return true;
    }
    const qsizetype cut = path.lastIndexOf(kSeparator);
    if (cut <= 0)
        return true;
    const QString name = path.mid(cut + 1);
    if (IsRecordingFileName(name))
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
    std::vector<RecordingEntry> rows;
    for (const RecordingEntry &e : RecordingCatalogue::instance().entries())
        if (filterKind == KindAll || e.kind == filterKind)
            rows.push_back(e);
    std::stable_sort(rows.begin(), rows.end(), [](const RecordingEntry &a, const RecordingEntry &b) {
        const int byDate = QString::compare(a.dateText, b.dateText, Qt::CaseInsensitive);
        if (byDate != 0)
            return byDate < 0;
        return QString::compare(a.timeText, b.timeText, Qt::CaseInsensitive) < 0;
    });
    return rows;
}

} // namespace drivora
