#include "app/UiStringLibrary.h"
#include "catalogue/RecordingCatalogue.h"
#include "controls/CDvListCtrl.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace drivora;

namespace {

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly);
}

QColor centreOfRow(CDvListCtrl &list, const QImage &shot, int row)
{
    const QRect r = list.visualRect(list.rows()->index(row, 0));
    const QPoint p = list.viewport()->mapTo(&list, r.center()) + QPoint(-r.width() / 2 + 2, 0);
    return shot.pixelColor(p);
}

} // namespace

TEST(RecordingList, RowColoursAndDrops)
{
    UiStringLibrary::setSearchDirectory({});
    QTemporaryDir card;
    for (const char *n : {"a/REC_20240315_081500_0.AVI", "a/REC_20240315_081600_0.AVI",
                          "b/EVT_20240315_081700_0.AVI", "b/PRK_20240315_081800_0.AVI", "notes.txt"})
        touch(card.filePath(QString::fromUtf8(n)));

    CDvListCtrl list;
    list.setup();
    list.resize(400, 600);
    QSignalSpy dropped(&list, &CDvListCtrl::recordingsDropped);

    // A folder dropped with several trailing separators is scanned once.
    list.takeDroppedPaths({card.path() + QStringLiteral("///")});
    EXPECT_EQ(dropped.count(), 1);
    ASSERT_EQ(list.rows()->rowCount(), 4);
    EXPECT_EQ(list.rowPath(0), card.path() + QStringLiteral("/a/REC_20240315_081500_0.AVI"));
    EXPECT_EQ(list.rows()->columnCount(), 7) << "headers from the interface texts";
    EXPECT_FALSE(list.verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff);

    list.setCurrentRow(1);
    list.selectRow(1); // the playing row keeps its colours while selected
    list.clearSelection();
    list.QTableView::selectRow(2);
    list.show();
    const QImage shot = list.grab().toImage();
    EXPECT_EQ(centreOfRow(list, shot, 1), QColor(0, 100, 100)) << "current";
    EXPECT_EQ(centreOfRow(list, shot, 2), QColor(140, 140, 0)) << "selected";
    EXPECT_EQ(centreOfRow(list, shot, 0), QColor(70, 70, 70)) << "even";
    EXPECT_EQ(centreOfRow(list, shot, 3), QColor(50, 50, 50)) << "odd";

    // A second drop replaces the catalogue.
    list.takeDroppedPaths({card.filePath(QStringLiteral("b/EVT_20240315_081700_0.AVI")),
                           card.filePath(QStringLiteral("notes.txt"))});
    ASSERT_EQ(list.rows()->rowCount(), 1);
    EXPECT_EQ(list.currentFileName(), QStringLiteral("EVT_20240315_081700_0.AVI"));
    EXPECT_EQ(RecordingCatalogue::instance().count(), 1);
    ClearCatalogue();
}
