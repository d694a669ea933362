// DrivoraViewer: lists the recordings of a memory card and plays them.
//
//   DrivoraViewer [PATH...]   folders and files to open, as a drop on the list
// Options for automation:
//   --open FOLDER             the same as a PATH (kept for scripts)
//   --screenshot FILE         save a picture of the window to FILE and quit
//   --size WxH, --maximized   the window's size at start (for screenshots)
//   --view front|rear|all     the channels shown once a recording plays
//   --exit-at-first-picture   quit as soon as the first picture is shown (start-up benchmark)
//   --at X,Y                  the window's place at start
//   --map-window              float the map in its own window once it is up
//   --zoom-at X,Y             show the magnifier with the pointer at X,Y
//   --screenshot-screen FILE  like --screenshot, of the whole screen
//   --settings                open the settings dialog once the window is up
//   --trip-view               show the whole trip of the recording playing
//   --print-to FILE           print the report of the moment 4 s in to a PDF file, and quit
//   --export-list FILE        export the whole list from its menu into FILE (.gpx, or .csv),
//                             and quit; with --screenshot-screen, the picture shows the
//                             progress halfway
//   --export clip PATH... --output FILE_OR_FOLDER [--channel front|rear|both]
//                             copy a channel of each recording into an MP4 (or .3gp) file
//                             without re-encoding, with its GPX beside it
//   --export gpx|csv PATH... --output FILE
//                             write the telemetry of the recordings (folders are searched like
//                             a card) to one GPX or CSV file, without a window; status 0 when
//                             written, 1 with a message on failure, 2 for a wrong command line
// DRIVORA_NETWORK=online|offline overrides the system's answer to whether the
// map's tiles can be reached.

#include "CDrivoraViewerDlg.h"
#include "InstanceGuard.h"
#include "UiStringLibrary.h"
#include "ViewerIds.h"
#include "catalogue/RecordingCatalogue.h"
#include "export/ClipExport.h"
#include "export/TelemetryExport.h"
#include "map/Connectivity.h"
#include "map/WebMapArea.h"
#include "settings/ViewerOptions.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QProgressDialog>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <tuple>
#include <cstdlib>
#include <unistd.h>

using namespace drivora;

namespace {

// The export without a window, for scripts and fleets.
int RunExport(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString kind, output, channel = QStringLiteral("front");
    QStringList paths;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--export") && i + 1 < args.size())
            kind = args[++i];
        else if (args[i] == QLatin1String("--output") && i + 1 < args.size())
            output = args[++i];
        else if (args[i] == QLatin1String("--channel") && i + 1 < args.size())
            channel = args[++i];
        else if (args[i].startsWith(QLatin1String("--"))) {
            std::fprintf(stderr, "DrivoraViewer: unknown option %s\n", qPrintable(args[i]));
            return 2;
        } else
            paths << args[i];
    }
    const bool clip = kind == QLatin1String("clip");
    const QStringList channels = {QStringLiteral("front"), QStringLiteral("rear"), QStringLiteral("both")};
    if ((kind != QLatin1String("gpx") && kind != QLatin1String("csv") && !clip) || output.isEmpty() || paths.isEmpty() ||
        !channels.contains(channel)) {
        std::fprintf(stderr, "usage: DrivoraViewer --export gpx|csv PATH... --output FILE\n"
                             "       DrivoraViewer --export clip PATH... --output FILE_OR_FOLDER [--channel front|rear|both]\n");
        return 2;
    }
    // Folders are read like a card: every recording in them, in time order.
    ClearCatalogue();
    for (const QString &p : paths)
        if (!AddRecordingPath(p))
            std::fprintf(stderr, "DrivoraViewer: %s: no recording there\n", qPrintable(p));
    std::vector<RecordingEntry> entries = RecordingCatalogue::instance().entries();
    std::stable_sort(entries.begin(), entries.end(), [](const RecordingEntry &a, const RecordingEntry &b) {
        return std::tie(a.dateText, a.timeText, a.fileName) < std::tie(b.dateText, b.timeText, b.fileName);
    });
    QStringList files;
    for (const RecordingEntry &e : entries)
        files << e.fullPath;
    if (files.isEmpty()) {
        std::fprintf(stderr, "DrivoraViewer: no recordings to export\n");
        return 1;
    }
    if (clip) {
        // One clip a recording and channel: into the folder, or the file named.
        const bool folder = QFileInfo(output).isDir() || files.size() > 1;
        if (folder && !QFileInfo(output).isDir()) {
            std::fprintf(stderr, "DrivoraViewer: %s: give a folder for the clips of several recordings\n", qPrintable(output));
            return 2;
        }
        int failed = 0;
        for (const QString &file : files) {
            for (int ch : channel == QLatin1String("both") ? QList<int>{0, 1} : QList<int>{channel == QLatin1String("rear") ? 1 : 0}) {
                const QString suffix = channel == QLatin1String("both") ? (ch == 0 ? QStringLiteral("-front") : QStringLiteral("-rear")) : QString();
                QString target = folder ? QDir(output).filePath(QFileInfo(file).completeBaseName() + suffix + QStringLiteral(".mp4"))
                                        : output;
                if (!folder && !suffix.isEmpty())
                    target = QFileInfo(output).path() + QLatin1Char('/') + QFileInfo(output).completeBaseName() + suffix +
                             QLatin1Char('.') + QFileInfo(output).suffix();
                const ClipResult r = ExportClip(file, ch, target, ClipFormatFor(target));
                for (const QString &w : r.warnings)
                    std::fprintf(stderr, "DrivoraViewer: %s\n", qPrintable(w));
                if (!r.ok) {
                    std::fprintf(stderr, "DrivoraViewer: %s: %s\n", qPrintable(QFileInfo(file).fileName()), qPrintable(r.message));
                    ++failed;
                    continue;
                }
                std::printf("%s: %d pictures%s\n", qPrintable(r.written), r.frames,
                            r.gpx.isEmpty() ? "" : qPrintable(QStringLiteral(", telemetry in ") + r.gpx));
            }
        }
        return failed ? 1 : 0;
    }
    if (QFileInfo(output).isDir())
        output = QDir(output).filePath(QFileInfo(files.first()).completeBaseName() + QLatin1Char('.') + kind);
    // The viewer's speed unit, where its settings are beside it.
    ViewerOptions options;
    if (BuildOptionFilePath())
        ReadExtraOptions(ExtraOptionFilePath(OptionFilePath()), options);
    const ExportResult r = ExportTelemetry(files, kind == QLatin1String("gpx") ? ExportKind::Gpx : ExportKind::Csv,
                                           output, [](int done, int total) {
                                               if (isatty(STDERR_FILENO)) { // progress for a person watching
                                                   std::fprintf(stderr, "\rreading recordings: %d of %d", done, total);
                                                   if (done == total)
                                                       std::fputc('\n', stderr);
                                               }
                                               return true;
                                           }, options.speedInMiles);
    for (const QString &w : r.warnings)
        std::fprintf(stderr, "DrivoraViewer: %s\n", qPrintable(w));
    if (!r.ok) {
        std::fprintf(stderr, "DrivoraViewer: %s\n", qPrintable(r.message));
        return 1;
    }
    std::printf("%s: %d %s from %d recordings\n", qPrintable(r.written), r.points,
                kind == QLatin1String("gpx") ? "track points" : "rows", int(files.size()));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--export") == 0)
            return RunExport(argc, argv);

    // One copy at a time: a second start ends at once, silently.
    InstanceGuard guard;
    if (!guard.take())
        return 0;
    // The web map's engine: shared graphics contexts, and no sandbox for root
    // (the engine refuses to start one).
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DrivoraViewer"));
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK KR"), 9));

    QCommandLineParser parser;
    QCommandLineOption openOption(QStringLiteral("open"), QStringLiteral("Folder to open at start."),
                                  QStringLiteral("folder"));
    QCommandLineOption shotOption(QStringLiteral("screenshot"),
                                  QStringLiteral("Save a picture of the window to the file and quit."),
                                  QStringLiteral("file"));
    QCommandLineOption sizeOption(QStringLiteral("size"), QStringLiteral("Window size at start."),
                                  QStringLiteral("WxH"));
    QCommandLineOption maximizedOption(QStringLiteral("maximized"), QStringLiteral("Start maximised."));
    QCommandLineOption viewOption(QStringLiteral("view"), QStringLiteral("Channels shown: front, rear or all."),
                                  QStringLiteral("channels"));
    QCommandLineOption firstPictureOption(QStringLiteral("exit-at-first-picture"),
                                          QStringLiteral("Quit as soon as the first picture is shown."));
    QCommandLineOption atOption(QStringLiteral("at"), QStringLiteral("Window place at start."), QStringLiteral("X,Y"));
    QCommandLineOption mapWindowOption(QStringLiteral("map-window"),
                                       QStringLiteral("Float the map in its own window once it is up."));
    QCommandLineOption zoomOption(QStringLiteral("zoom-at"),
                                  QStringLiteral("Show the magnifier with the pointer at X,Y."), QStringLiteral("X,Y"));
    QCommandLineOption screenShotOption(QStringLiteral("screenshot-screen"),
                                        QStringLiteral("Save a picture of the whole screen to the file and quit."),
                                        QStringLiteral("file"));
    QCommandLineOption settingsOption(QStringLiteral("settings"),
                                      QStringLiteral("Open the settings dialog once the window is up."));
    QCommandLineOption printOption(QStringLiteral("print-to"),
                                   QStringLiteral("Print the report of the moment 4 s in to a PDF file, and quit."),
                                   QStringLiteral("file"));
    QCommandLineOption tripOption(QStringLiteral("trip-view"), QStringLiteral("Show the whole trip of the recording playing."));
    QCommandLineOption exportListOption(QStringLiteral("export-list"),
                                        QStringLiteral("Export the whole list into the file (.gpx or .csv) from the "
                                                       "list's menu, and quit."),
                                        QStringLiteral("file"));
    parser.addOptions({openOption, shotOption, sizeOption, maximizedOption, viewOption, firstPictureOption, atOption,
                       mapWindowOption, zoomOption, screenShotOption, settingsOption, printOption, tripOption,
                       exportListOption});
    parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("Folders and files to open."),
                                 QStringLiteral("[PATH...]"));
    parser.addHelpOption();
    parser.process(app);

    // Qt's own dialogs and buttons speak Korean like the rest of the window
    // (the command line's help above stays in English, like its options).
    InstallQtKoreanTexts();

    // A platform service the viewer cannot run without: say so and end.
    if (!InitialiseMedia()) {
        QMessageBox::warning(nullptr, QStringLiteral("DrivoraViewer"), QString::fromUtf8(ids::kProgramStartupFailure));
        return 0;
    }
    BuildOptionFilePath();
    CDrivoraViewerDlg window;
    SystemConnectivity connectivity;
    WebMapArea map(window.mapHost(), connectivity);
    window.setMapArea(&map);
    if (parser.isSet(sizeOption)) {
        const QStringList wh = parser.value(sizeOption).split(QLatin1Char('x'));
        if (wh.size() == 2)
            window.resize(wh[0].toInt(), wh[1].toInt());
    }
    auto point = [](const QString &text) {
        const QStringList xy = text.split(QLatin1Char(','));
        return xy.size() == 2 ? QPoint(xy[0].toInt(), xy[1].toInt()) : QPoint();
    };
    if (parser.isSet(atOption))
        window.move(point(parser.value(atOption)));
    if (parser.isSet(maximizedOption)) {
        // Also where no window manager maximises for us (a bare X server).
        if (QScreen *screen = QGuiApplication::primaryScreen())
            window.setGeometry(screen->availableGeometry());
        window.showMaximized();
    }
    else
        window.show();
    QStringList paths = parser.positionalArguments();
    if (parser.isSet(openOption))
        paths.prepend(parser.value(openOption));
    if (!paths.isEmpty())
        window.openPaths(paths);
    if (parser.isSet(viewOption)) {
        const QString view = parser.value(viewOption);
        window.command(view == QLatin1String("rear") ? ids::ViewRearButton
                       : view == QLatin1String("all") ? ids::ViewAllButton
                                                      : ids::ViewFrontButton);
    }

    // The web engine takes a good part of a second to start: the map comes
    // once the window has shown itself and its first picture.
    const bool floatMap = parser.isSet(mapWindowOption);
    QTimer::singleShot(0, &window, [&map, floatMap] {
        map.start();
        if (floatMap)
            map.undock();
    });
    if (parser.isSet(zoomOption)) {
        QCursor::setPos(point(parser.value(zoomOption)));
        window.command(ids::Zoom);
    }

    if (parser.isSet(firstPictureOption)) {
        auto *poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, &window, [&window] {
            QImage picture;
            PlaybackEngine *engine = window.player().engine();
            if (engine && engine->GrabFrame(0, picture)) {
                QApplication::processEvents(); // the window shows it
                std::_Exit(0);
            }
        });
        poll->start(1);
    }

    if (parser.isSet(tripOption))
        QTimer::singleShot(200, &window, [&window] { window.setTripView(true); });
    if (parser.isSet(settingsOption))
        QTimer::singleShot(300, &window, [&window] { window.command(ids::Setting); });

    // The report to a file, without dialogs: status 0 only when it was written.
    int status = -1;
    if (parser.isSet(printOption)) {
        const QString file = QFileInfo(parser.value(printOption)).absoluteFilePath();
        QTimer::singleShot(4000, &window, [&window, &status, file] {
            const CommandOutcome outcome = window.printReportTo(file);
            if (!outcome.message.isEmpty())
                std::fprintf(outcome.ok ? stdout : stderr, "%s%s\n", outcome.ok ? "" : "DrivoraViewer: ",
                             qPrintable(outcome.message));
            status = outcome.ok ? 0 : 1;
            window.close();
        });
    }

    // The list menu's export of every recording, answered without dialogs.
    // Its closing message ends the run.
    const bool exportList = parser.isSet(exportListOption);
    if (exportList) {
        const QString file = QFileInfo(parser.value(exportListOption)).absoluteFilePath();
        const bool gpx = !file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
        window.setExportFileChooser([file](const QString &) { return file; });
        auto *closer = new QTimer(&window);
        QObject::connect(closer, &QTimer::timeout, &window, [] { QApplication::closeAllWindows(); });
        QTimer::singleShot(1500, &window, [&window, gpx, closer] {
            closer->start(1000); // also the message that ends the export
            window.command(gpx ? ids::MenuExportGpxAll : ids::MenuExportCsvAll);
        });
        if (parser.isSet(screenShotOption)) {
            const QString shotFile = parser.value(screenShotOption);
            QObject::connect(&window, &CDrivoraViewerDlg::exportProgressed, &window,
                             [shotFile, taken = false](int done, int total) mutable {
                if (taken || done * 2 < total)
                    return;
                taken = true;
                for (QWidget *w : QApplication::topLevelWidgets())
                    if (qobject_cast<QProgressDialog *>(w))
                        w->show(); // without waiting for its delay
                QApplication::processEvents();
                QScreen *screen = QGuiApplication::primaryScreen();
                if (!screen || !screen->grabWindow(0).save(shotFile))
                    std::fprintf(stderr, "DrivoraViewer: cannot save %s\n", qPrintable(shotFile));
            });
        }
    }

    if (!exportList && (parser.isSet(shotOption) || parser.isSet(screenShotOption))) {
        const bool wholeScreen = parser.isSet(screenShotOption);
        const QString file = parser.value(wholeScreen ? screenShotOption : shotOption);
        // Long enough for the first pictures, the map and a few ticks of the timeline.
        QTimer::singleShot(2500, &window, [&window, file, wholeScreen] {
            QScreen *screen = QGuiApplication::primaryScreen();
            const QPixmap shot = wholeScreen && screen ? screen->grabWindow(0) : window.grab();
            if (!shot.save(file))
                std::fprintf(stderr, "DrivoraViewer: cannot save %s\n", qPrintable(file));
            QApplication::closeAllWindows(); // a dialog that is open too
            window.close();
        });
    }
    const int ran = app.exec();
    return status >= 0 ? status : ran;
}
