#pragma once

#include "app/ViewerIds.h"

#include "catalogue/RecordingListModel.h"

#include <QHeaderView>
#include <QTableView>

namespace drivora {

// Menu commands of the list's right-click menu (the kind filters).
inline constexpr int kCommandShowAll = ids::MenuShowAll;
inline constexpr int kCommandShowNormal = ids::MenuShowNormal;
inline constexpr int kCommandShowEvent = ids::MenuShowEvent;
inline constexpr int kCommandShowParking = ids::MenuShowParking;

// The list's header, drawn dark: column 0 and 3 captions left-aligned, the
// others centred, 3 pixels below the top.
class CSkinHeaderCtrl : public QHeaderView {
    Q_OBJECT
public:
    explicit CSkinHeaderCtrl(QWidget *parent = nullptr);

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override;
};

// The recording list: the catalogue's rows under the kind filter, the
// playing row marked, files and folders taken by drag and drop.
class CDvListCtrl : public QTableView {
    Q_OBJECT
public:
    explicit CDvListCtrl(QWidget *parent = nullptr);

    // One-time preparation: columns (from the interface texts), colours,
    // header, drops, scroll bars.
    void setup();

    RecordingListModel *rows() const { return m_model; }
    int currentRow() const { return m_model->currentRow(); }
    int filterKind() const { return m_model->filterKind(); }
    void setFilterKind(int kind) { m_model->setFilterKind(kind); }
    void setCurrentRow(int row) { m_model->setCurrentRow(row); }
    void selectRow(int row);
    QString rowPath(int row) const { return m_model->rowPath(row); }
    QString rowFileName(int row) const { return m_model->rowFileName(row); }
    QString currentFileName() const { return m_model->currentFileName(); }
    int findRow(const QString &fileName) const { return m_model->findRow(fileName); }
    void updateScrollBar(bool parentMaximised);
    bool fill(int filterKind);
    // The rows read again from the catalogue after its folders changed, the
    // marker and the selection kept on their recordings (RefreshRecordingList):
    // true when the playing row was kept though its file has gone.
    bool refresh(int filterKind, bool currentPlays);
    // The paths of the last drop on the list.
    QStringList takenPaths() const { return m_takenPaths; }

    // Takes a list of dropped paths as a drop would (tests and the drop
    // handler): replaces the catalogue and refills the list.
    void takeDroppedPaths(const QStringList &paths);

    // What the empty list says (after a folder without recordings); empty:
    // nothing.
    void setEmptyText(const QString &text);
    QString emptyText() const { return m_emptyText; }

signals:
    void kindCommand(int commandId); // a filter chosen from the right-click menu
    void exportCommand(int commandId); // an export chosen from the right-click menu
    void recordingsDropped();        // the owner plays row 0 and refreshes the kind buttons
    void refreshCommand();           // "refresh" chosen from the right-click menu

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    RecordingListModel *m_model;
    QString m_emptyText;
    QStringList m_takenPaths;
};

} // namespace drivora
