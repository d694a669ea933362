#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace drivora {

// Kind codes of recordings. KindAll is only ever a filter value.
enum RecordingKind : int32_t {
    KindUnclassified = -1,
    KindAll = 1,
    KindNormal = 2,
    KindEvent = 3,
    KindParking = 4,
};

// Ids of the interface texts that label recordings.
inline constexpr int kStringNormalLabel = 133;
inline constexpr int kStringMotionLabel = 210;

struct RecordingEntry {
    QString fileName;  // the bare name as found on disk, case kept
    QString fullPath;  // folder (ending in a separator) followed by fileName
    QString dateText;  // "YYYY-MM-DD" cut from the name
    QString timeText;  // "hh:mm:ss" cut from the name
    QString kindLabel; // text of the list's kind column
    int32_t kind = KindUnclassified;

    bool operator==(const RecordingEntry &) const = default;
};

// Every recording found by the last folder-open or drop, in the order they
// were found. No two entries share a full path.
class RecordingCatalogue {
public:
    static RecordingCatalogue &instance();

    int count() const { return int(m_entries.size()); }
    const RecordingEntry &at(int index) const { return m_entries.at(size_t(index)); }
    const std::vector<RecordingEntry> &entries() const { return m_entries; }
    bool contains(const QString &fullPath) const { return m_paths.count(fullPath) != 0; }
    int countKind(int kind) const;

    // Appends the entry unless its full path is catalogued already.
    bool append(RecordingEntry entry);
    void clear();

private:
    struct PathHash {
        size_t operator()(const QString &s) const
        {
            return std::hash<std::u16string_view>()(
                std::u16string_view(reinterpret_cast<const char16_t *>(s.constData()), size_t(s.size())));
        }
    };
    std::vector<RecordingEntry> m_entries;
    std::unordered_set<QString, PathHash> m_paths; // keeps the duplicate test linear in the scan
};

// A start time as the camera wrote it into a name. Day of week and
// milliseconds are left as the caller set them.
struct CalendarTime {
    uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
    uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

// The file-name grammar on a bare name.
bool IsRecordingFileName(const QString &name);
bool IsRecordingFileName(QByteArrayView name); // the name's 8-bit bytes

// folder ends with a separator. True if an entry was appended.
bool AddRecording(const QString &folder, const QString &name);
// A full file path: split at its last separator and catalogued.
bool AddRecordingFile(const QString &path);
// A folder (scanned recursively) or a single file. Callers ignore the result.
bool AddRecordingPath(const QString &path);

void ClearCatalogue();
int CountKind(int kind);

struct NameDateTime {
    QString dateText;
    QString timeText;
};
NameDateTime SplitNameDateTime(const QString &name);
void ParseNameStartTime(const QString &name, CalendarTime &time);
// The camera's clock at a place in a recording: the start its name gives
// plus the position (days and months roll over); invalid when the name
// gives no date and time.
QDateTime RecordingClockAt(const QString &name, int64_t positionMs);

// The entries of filterKind (every entry for KindAll), sorted by date, then
// time; entries with equal date and time keep their catalogue order.
std::vector<RecordingEntry> FilteredSortedEntries(int filterKind);

} // namespace drivora
