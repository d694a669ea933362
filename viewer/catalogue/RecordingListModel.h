#pragma once

#include "RecordingCatalogue.h"
#include "RecordingLength.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QStringList>

namespace drivora {

// Colours of one list row.
struct RowColours {
    QColor text;
    QColor background;
    bool operator==(const RowColours &) const = default;
};

// The playing row wins over the selection; other rows alternate.
RowColours ListRowColours(int row, int currentRow, bool selected);

// The rows the recording list shows: the catalogue under a kind filter, sorted
// by date and time. Columns: number, date, time, kind label, length (read
// from each recording's headers on a worker thread as the rows come), and two
// hidden keys, the full path and the file name.
class RecordingListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NumberColumn, DateColumn, TimeColumn, KindColumn, LengthColumn, PathColumn, FileNameColumn, ColumnCount };
    // Rows a list shows without scrolling, in a normal and a maximised window.
    static constexpr int kVisibleRows = 20;
    static constexpr int kVisibleRowsMaximised = 30;

    explicit RecordingListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Replaces all rows; row j is numbered j + 1. The lengths not known yet
    // are asked for.
    void setRows(std::vector<RecordingEntry> rows);
    // A recording's length in ms (-1: not known), as the reader found it.
    void setLength(const QString &fullPath, qint64 ms);
    qint64 length(int row) const;
    QString cell(int row, int column) const;

    // Column headers; an empty list means no columns (no interface texts).
    void setHeaders(QStringList headers);
    QStringList headers() const { return m_headers; }

    int currentRow() const { return m_currentRow; }
    void setCurrentRow(int row);
    int filterKind() const { return m_filterKind; }
    void setFilterKind(int kind) { m_filterKind = kind; }

    QString rowPath(int row) const;
    const RecordingEntry &entry(int row) const { return m_rows.at(size_t(row)); }
    QString rowFileName(int row) const;
    QString currentFileName() const;
    int findRow(const QString &fileName) const;

    // Vertical scroll bar: enabled only when the rows do not fit.
    void setParentMaximised(bool maximised) { m_parentMaximised = maximised; }
    bool parentMaximised() const { return m_parentMaximised; }
    void updateScrollBar(bool parentMaximised);
    bool verticalScrollEnabled() const { return m_scrollEnabled; }

signals:
    void rowChanged(int row); // a row must be redrawn
    void scrollBarChanged(bool enabled);

private:
    std::vector<RecordingEntry> m_rows;
    QHash<QString, int> m_rowOfPath;
    QHash<QString, qint64> m_lengths;
    RecordingLengths m_lengthReader;
    QStringList m_headers;
    int m_currentRow = -1;
    int m_filterKind = KindAll;
    bool m_parentMaximised = false;
    bool m_scrollEnabled = false;
};

// Rebuilds the list's rows from the catalogue under filterKind.
bool FillRecordingList(RecordingListModel &list, int filterKind);

// The rows after the folders changed: `fresh` (filtered and sorted) with the
// marker kept on the recording it marked (by full path). A marked recording
// that has vanished but still plays keeps its row, at its place in the
// order, until it is left; one that does not play is dropped and nothing is
// marked.
struct ListRefresh {
    std::vector<RecordingEntry> rows;
    int currentRow = -1;
    bool keptVanished = false; // the marked row is only there because it plays
};
ListRefresh RefreshedRows(std::vector<RecordingEntry> fresh, const RecordingEntry *marked, bool markedPlays);

// Refills the list from the catalogue under filterKind after its folders
// changed (RefreshedRows); true when the playing row was kept though its file
// has gone.
bool RefreshRecordingList(RecordingListModel &list, int filterKind, bool markedPlays);

} // namespace drivora
