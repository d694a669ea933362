#include "CDvListCtrl.h"

#include "app/UiStringLibrary.h"
#include "catalogue/RecordingCatalogue.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace drivora {
namespace {

// Row colours come from the list's rule, not from the style.
class RowDelegate : public QStyledItemDelegate {
public:
    RowDelegate(const CDvListCtrl *list) : QStyledItemDelegate(const_cast<CDvListCtrl *>(list)), m_list(list) {}
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        const RowColours colours = ListRowColours(index.row(), m_list->currentRow(), selected);
        painter->fillRect(option.rect, colours.background);
        painter->setPen(colours.text);
        painter->setFont(option.font);
        const int alignment = index.data(Qt::TextAlignmentRole).toInt();
        painter->drawText(option.rect.adjusted(4, 0, -4, 0), alignment, index.data().toString());
    }

private:
    const CDvListCtrl *m_list;
};

} // namespace

CSkinHeaderCtrl::CSkinHeaderCtrl(QWidget *parent) : QHeaderView(Qt::Horizontal, parent) {}

void CSkinHeaderCtrl::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    painter->save();
    painter->fillRect(rect, QColor(30, 30, 30));
    QFont font(QStringLiteral("Noto Sans CJK KR"));
    font.setPointSize(10);
    painter->setFont(font);
    painter->setPen(Qt::white);
    const QRect text = rect.adjusted(0, 3, 0, 0);
    const Qt::Alignment alignment = (logicalIndex == 0 || logicalIndex == 3) ? Qt::AlignLeft | Qt::AlignVCenter
                                                                             : Qt::AlignCenter;
    painter->drawText(text, int(alignment), model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString()
                                                    : QString());
    painter->restore();
}

CDvListCtrl::CDvListCtrl(QWidget *parent) : QTableView(parent), m_model(new RecordingListModel(this))
{
    setObjectName(QStringLiteral("DvListCtrl"));
    setModel(m_model);
    setHorizontalHeader(new CSkinHeaderCtrl(this));
    setItemDelegate(new RowDelegate(this));
    connect(m_model, &RecordingListModel::rowChanged, this, [this](int) { viewport()->update(); });
    connect(m_model, &RecordingListModel::scrollBarChanged, this,
            [this](bool enabled) { verticalScrollBar()->setEnabled(enabled); });
}

void CDvListCtrl::setEmptyText(const QString &text)
{
    m_emptyText = text;
    viewport()->update();
}

void CDvListCtrl::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    if (m_model->rowCount() > 0 || m_emptyText.isEmpty())
        return;
    QPainter p(viewport());
    p.setPen(QColor(200, 200, 200));
    p.drawText(viewport()->rect().adjusted(12, 12, -12, -12), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
               m_emptyText);
}

void CDvListCtrl::setup()
{
    {
        UiStringLibrary strings;
        if (strings.load())
            m_model->setHeaders({strings.text(135), strings.text(136), strings.text(137), strings.text(138),
                                 QString::fromUtf8(ids::kListLengthHeader), QStringLiteral("    "), QString()});
    }
    // The list's width less its scroll bar.
    const int widths[] = {32, 74, 60, 50, 50, 0, 0};
    for (int c = 0; c < m_model->columnCount(); ++c)
        setColumnWidth(c, widths[c]);
    if (m_model->columnCount() == RecordingListModel::ColumnCount) {
        setColumnHidden(RecordingListModel::PathColumn, true);
        setColumnHidden(RecordingListModel::FileNameColumn, true);
    }
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalHeader()->hide();
    setShowGrid(false);
    setStyleSheet(QStringLiteral("QTableView { background: rgb(10,10,10); border: none; }"
                                 "QScrollBar:vertical { background: rgb(20,20,20); width: 14px; margin: 0; }"
                                 "QScrollBar::handle:vertical { background: rgb(70,70,70); min-height: 24px; }"
                                 "QScrollBar::handle:vertical:disabled { background: rgb(30,30,30); }"
                                 "QScrollBar::add-line, QScrollBar::sub-line { height: 0; }"));
    horizontalHeader()->setFixedHeight(22);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    verticalScrollBar()->setEnabled(false);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
}

void CDvListCtrl::selectRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    QTableView::selectRow(row);
    scrollTo(m_model->index(row, 0));
    viewport()->update();
    setCurrentRow(row);
}

void CDvListCtrl::updateScrollBar(bool parentMaximised)
{
    m_model->setParentMaximised(parentMaximised);
    m_model->updateScrollBar(parentMaximised);
    verticalScrollBar()->setEnabled(m_model->verticalScrollEnabled());
}

bool CDvListCtrl::refresh(int filterKind, bool currentPlays)
{
    // The selection and the scroll place stay with their recordings.
    const QModelIndexList chosen = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    const QString selected = chosen.isEmpty() ? QString() : m_model->rowPath(chosen.first().row());
    const int scrolled = verticalScrollBar()->value();
    const QWidget *top = window();
    m_model->setParentMaximised(top && top->isMaximized());
    const bool kept = RefreshRecordingList(*m_model, filterKind, currentPlays);
    for (int row = 0; !selected.isEmpty() && row < m_model->rowCount(); ++row)
        if (m_model->rowPath(row) == selected) {
            QTableView::selectRow(row);
            break;
        }
    verticalScrollBar()->setEnabled(m_model->verticalScrollEnabled());
    verticalScrollBar()->setValue(scrolled);
    viewport()->update();
    return kept;
}

bool CDvListCtrl::fill(int filterKind)
{
    const QWidget *top = window();
    m_model->setParentMaximised(top && top->isMaximized());
    const bool ok = FillRecordingList(*m_model, filterKind);
    verticalScrollBar()->setEnabled(m_model->verticalScrollEnabled());
    viewport()->update();
    return ok;
}

void CDvListCtrl::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    const std::pair<const char *, int> items[] = {{"전체", kCommandShowAll},
                                                  {"상시", kCommandShowNormal},
                                                  {"이벤트", kCommandShowEvent},
                                                  {"주차", kCommandShowParking}};
    for (const auto &[caption, id] : items) {
        QAction *action = menu.addAction(QString::fromUtf8(caption));
        connect(action, &QAction::triggered, this, [this, id = id] { emit kindCommand(id); });
    }
    menu.addAction(QString::fromUtf8(ids::kListRefreshItem), this, [this] { emit refreshCommand(); });
    menu.addSeparator();
    const std::pair<const char *, int> exports[] = {{ids::kExportGpxSelected, ids::MenuExportGpxSelected},
                                                    {ids::kExportGpxAll, ids::MenuExportGpxAll},
                                                    {ids::kExportCsvSelected, ids::MenuExportCsvSelected},
                                                    {ids::kExportCsvAll, ids::MenuExportCsvAll}};
    for (const auto &[caption, id] : exports) {
        QAction *action = menu.addAction(QString::fromUtf8(caption));
        action->setEnabled(m_model->rowCount() > 0);
        connect(action, &QAction::triggered, this, [this, id = id] { emit exportCommand(id); });
    }
    menu.exec(event->globalPos());
}

void CDvListCtrl::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CDvListCtrl::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CDvListCtrl::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    event->acceptProposedAction();
    takeDroppedPaths(paths);
}

void CDvListCtrl::takeDroppedPaths(const QStringList &paths)
{
    m_takenPaths = paths;
    m_model->setRows({});
    ClearCatalogue();
    for (QString path : paths) {
        if (QFileInfo(path).isDir()) {
            while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
                path.chop(1);
            AddRecordingPath(path + QLatin1Char('/'));
        } else {
            AddRecordingFile(path);
        }
    }
    fill(filterKind());
    emit recordingsDropped();
}

} // namespace drivora
