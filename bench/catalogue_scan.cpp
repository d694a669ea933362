// Scans a folder tree into the recording catalogue and builds the list rows,
// printing the number of rows and the time taken in milliseconds.
#include "catalogue/RecordingCatalogue.h"
#include "catalogue/RecordingListModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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
    const double scanMs = double(timer.nsecsElapsed()) / 1e6;
    drivora::RecordingListModel list;
    list.setHeaders({"", "", "", "", "", ""});
    drivora::FillRecordingList(list, drivora::KindAll);
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    std::printf("%d %.2f %.2f\n", list.rowCount(), ms, scanMs);
    return 0;
}
