#include "RecordingListModel.h"

#include <QFont>

#include <algorithm>
#include <optional>
#include <tuple>

namespace drivora {

RowColours ListRowColours(int row, int currentRow, bool selected)
{
    // The playing row in white on teal, the selected one in black on olive:
    // told apart at a glance, each readable at 4.5:1 or better.
    if (row == currentRow)
        return {QColor(255, 255, 255), QColor(0, 100, 100)};
    if (selected)
        return {QColor(0, 0, 0), QColor(140, 140, 0)};
    return {QColor(180, 180, 180), row % 2 == 0 ? QColor(70, 70, 70) : QColor(50, 50, 50)};
}

RecordingListModel::RecordingListModel(QObject *parent) : QAbstractTableModel(parent)
{
    connect(&m_lengthReader, &RecordingLengths::lengthRead, this, &RecordingListModel::setLength);
}

int RecordingListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int RecordingListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || m_headers.isEmpty() ? 0 : ColumnCount;
}

QVariant RecordingListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cell(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return index.column() == KindColumn ? int(Qt::AlignLeft | Qt::AlignVCenter) : int(Qt::AlignCenter);
    case Qt::ForegroundRole:
        return ListRowColours(index.row(), m_currentRow, false).text;
    case Qt::BackgroundRole:
        return ListRowColours(index.row(), m_currentRow, false).background;
    case Qt::FontRole:
        if (index.row() == m_currentRow) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

QVariant RecordingListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= m_headers.size())
        return {};
    return m_headers.at(section);
}

void RecordingListModel::setRows(std::vector<RecordingEntry> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_rowOfPath.clear();
    QStringList unknown;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        m_rowOfPath.insert(m_rows[i].fullPath, int(i));
        unknown << m_rows[i].fullPath; // again: a file still being written grows
    }
    endResetModel();
    m_lengthReader.request(unknown);
}

void RecordingListModel::setLength(const QString &fullPath, qint64 ms)
{
    const auto known = m_lengths.constFind(fullPath);
    if (known != m_lengths.cend() && *known == ms)
        return;
    m_lengths.insert(fullPath, ms);
    const int row = m_rowOfPath.value(fullPath, -1);
    if (row >= 0)
        emit dataChanged(index(row, LengthColumn), index(row, LengthColumn));
}

qint64 RecordingListModel::length(int row) const
{
    if (row < 0 || row >= int(m_rows.size()))
        return -1;
    return m_lengths.value(m_rows[size_t(row)].fullPath, -1);
}

QString RecordingListModel::cell(int row, int column) const
{
    if (row < 0 || row >= int(m_rows.size()))
        return {};
    const RecordingEntry &e = m_rows[size_t(row)];
    switch (column) {
    case NumberColumn:
        return QString::number(row + 1);
    case DateColumn:
        return e.dateText;
    case TimeColumn:
        return e.timeText;
    case KindColumn:
        return e.kindLabel;
    case LengthColumn:
        return LengthText(m_lengths.value(e.fullPath, -1));
    case PathColumn:
        return e.fullPath;
    case FileNameColumn:
        return e.fileName;
    default:
        return {};
    }
}

void RecordingListModel::setHeaders(QStringList headers)
{
    beginResetModel();
    m_headers = std::move(headers);
    endResetModel();
}

void RecordingListModel::setCurrentRow(int row)
{
    if (row == m_currentRow)
        return;
    if (m_currentRow >= 0) {
        const int old = m_currentRow;
        m_currentRow = -1; // also when the rows it marked are gone
        if (old < rowCount()) {
            emit dataChanged(index(old, 0), index(old, ColumnCount - 1));
            emit rowChanged(old);
        }
    }
    if (row >= 0 && row < rowCount()) {
        m_currentRow = row;
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
        emit rowChanged(row);
    }
}

QString RecordingListModel::rowPath(int row) const
{
    const QString text = cell(row, PathColumn);
    return text.size() < 4 ? QString() : text;
}

QString RecordingListModel::rowFileName(int row) const
{
    const QString text = cell(row, FileNameColumn);
    return text.size() < 4 ? QString() : text;
}

QString RecordingListModel::currentFileName() const
{
    if (rowCount() > 0 && m_currentRow >= 0 && m_currentRow < rowCount())
        return rowFileName(m_currentRow);
    return {};
}

int RecordingListModel::findRow(const QString &fileName) const
{
    for (int row = 0; row < rowCount(); ++row)
        if (cell(row, FileNameColumn).compare(fileName, Qt::CaseInsensitive) == 0)
            return row;
    return -1;
}

void RecordingListModel::updateScrollBar(bool parentMaximised)
{
    const int rows = rowCount();
    const bool enabled = parentMaximised ? rows > kVisibleRowsMaximised : rows >= kVisibleRows;
    if (enabled != m_scrollEnabled) {
        m_scrollEnabled = enabled;
        emit scrollBarChanged(enabled);
    }
}

bool FillRecordingList(RecordingListModel &list, int filterKind)
{
    list.setRows(FilteredSortedEntries(filterKind));
    // The marker moves to the first row unless it is there already; with no
    // rows left it marks nothing.
    if (list.currentRow() != 0 || list.rowCount() == 0) {
        list.setCurrentRow(-1);
        if (list.rowCount() > 0)
            list.setCurrentRow(0);
    }
    list.updateScrollBar(list.parentMaximised());
    return true;
}

} // namespace drivora

namespace drivora {

ListRefresh RefreshedRows(std::vector<RecordingEntry> fresh, const RecordingEntry *marked, bool markedPlays)
{
    ListRefresh r;
    r.rows = std::move(fresh);
    if (!marked)
        return r;
    for (size_t i = 0; i < r.rows.size(); ++i)
        if (r.rows[i].fullPath == marked->fullPath) {
            r.currentRow = int(i);
            return r;
        }
    if (!markedPlays)
        return r;
    // After the rows of the same or an earlier start, as a fill sorts them.
    const auto at = std::upper_bound(r.rows.begin(), r.rows.end(), *marked,
                                     [](const RecordingEntry &a, const RecordingEntry &b) {
                                         return std::tie(a.dateText, a.timeText) < std::tie(b.dateText, b.timeText);
                                     });
    r.currentRow = int(at - r.rows.begin());
    r.rows.insert(at, *marked);
    r.keptVanished = true;
    return r;
}

bool RefreshRecordingList(RecordingListModel &list, int filterKind, bool markedPlays)
{
    std::optional<RecordingEntry> marked;
    const int current = list.currentRow();
    if (current >= 0 && current < list.rowCount())
        marked = list.entry(current);
    ListRefresh r = RefreshedRows(FilteredSortedEntries(filterKind), marked ? &*marked : nullptr, markedPlays);
    list.setCurrentRow(-1);
    list.setRows(std::move(r.rows));
    list.setCurrentRow(r.currentRow);
    list.updateScrollBar(list.parentMaximised());
    return r.keptVanished;
}

} // namespace drivora
