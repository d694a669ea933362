#include "RecordingListModel.h"

#include <QFont>

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

RecordingListModel::RecordingListModel(QObject *parent) : QAbstractTableModel(parent) {}

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
    endResetModel();
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
