#pragma once

#include "RecordingCatalogue.h"

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
// by date and time. Columns: number, date, time, kind label, and two hidden
// keys, the full path and the file name.
class RecordingListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NumberColumn, DateColumn, TimeColumn, KindColumn, PathColumn, FileNameColumn, ColumnCount };
    // Rows a list shows without scrolling, in a normal and a maximised window.
    static constexpr int kVisibleRows = 20;
    static constexpr int kVisibleRowsMaximised = 30;

    explicit RecordingListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Replaces all rows; row j is numbered j + 1.
    void setRows(std::vector<RecordingEntry> rows);
    QString cell(int row, int column) const;

    // Column headers; an empty list means no columns (no interface texts).
    void setHeaders(QStringList headers);
    QStringList headers() const { return m_headers; }

    int currentRow() const { return m_currentRow; }
    void setCurrentRow(int row);
    int filterKind() const { return m_filterKind; }
    void setFilterKind(int kind) { m_filterKind = kind; }

    QString rowPath(int row) const;
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
    QStringList m_headers;
    int m_currentRow = -1;
    int m_filterKind = KindAll;
    bool m_parentMaximised = false;
    bool m_scrollEnabled = false;
};

// Rebuilds the list's rows from the catalogue under filterKind.
bool FillRecordingList(RecordingListModel &list, int filterKind);

} // namespace drivora
