// Reads a file as the report does for its SHA-256 line (chunks, progress,
// cancel check) and prints the digest and the time taken in milliseconds.
#include "catalogue/NativePath.h"
#include "report/ReportFiles.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    int calls = 0;
    const drivora::FileDigest d = drivora::DigestFile(drivora::PathFromNative(argv[1]), [&calls](qint64, qint64) {
        ++calls;
        return true;
    });
    if (!d.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(d.error));
        return 1;
    }
    std::printf("%s %.1f %d\n", qPrintable(d.hex()), double(timer.nsecsElapsed()) / 1e6, calls);
    return 0;
}
