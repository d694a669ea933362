// Lists a card's recordings as the window does and waits for their lengths:
// prints the rows, the time until the rows are there (what the window waits
// for), the time until every length has come (read on the worker) and the
// number of lengths known, in milliseconds.
#include "catalogue/RecordingCatalogue.h"
#include "catalogue/RecordingListModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    QString folder = QString::fromLocal8Bit(argv[1]);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    QElapsedTimer timer;
    timer.start();
    drivora::ClearCatalogue();
    drivora::AddRecordingPath(folder);
    drivora::RecordingListModel list;
    list.setHeaders({"", "", "", "", "", "", ""});
    drivora::FillRecordingList(list, drivora::KindAll);
    const double rowsMs = double(timer.nsecsElapsed()) / 1e6;
    int known = 0;
    double allMs = -1;
    QObject::connect(&list, &QAbstractItemModel::dataChanged, [&] {
        if (++known == list.rowCount()) {
            allMs = double(timer.nsecsElapsed()) / 1e6;
            app.quit();
        }
    });
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    if (list.rowCount() > 0)
        app.exec();
    int lengths = 0;
    for (int row = 0; row < list.rowCount(); ++row)
        lengths += list.length(row) > 0;
    std::printf("%d %.2f %.2f %d\n", list.rowCount(), rowsMs, allMs, lengths);
    return 0;
}
