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
//   --print-to FILE           print the report of the moment 4 s in to a PDF file, and quit;
//                             with --screenshot-screen, the picture shows the reading of the
//                             recording halfway
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
// One viewer runs at a time. A second start hands its paths and its --print-to
// or --export-list over to the viewer that runs and ends with that viewer's
// answer: status 0 when done, 1 with the message when not (or when one of the
// window's other options is given, which only a new window could follow).
// --export needs no window and runs beside a viewer.
// DRIVORA_NETWORK=online|offline overrides the system's answer to whether the
// map's tiles can be reached.

#include "CDrivoraViewerDlg.h"
#include "InstanceChannel.h"
#include "InstanceGuard.h"
#include "UiStringLibrary.h"
#include "ViewerIds.h"
#include "catalogue/FolderScan.h"
#include "catalogue/NativePath.h"
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
#include <QLocalSocket>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <deque>
#include <optional>
#include <cstring>
#include <tuple>
#include <utility>
#include <cstdlib>
#include <unistd.h>

using namespace drivora;

namespace {

// The export without a window, for scripts and fleets.
int RunExport(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The arguments keep their bytes: a folder named in another system's
    // encoding (an EUC-KR card) is still found.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << PathFromNative(argv[i]);
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
        const bool folder = IsFolder(output) || files.size() > 1;
        if (folder && !IsFolder(output)) {
            std::fprintf(stderr, "DrivoraViewer: %s: give a folder for the clips of several recordings\n", qPrintable(output));
            return 2;
        }
        int failed = 0;
        ClipNames names; // recordings of the same name give clips of their own
        for (const QString &file : files) {
            for (int ch : channel == QLatin1String("both") ? QList<int>{0, 1} : QList<int>{channel == QLatin1String("rear") ? 1 : 0}) {
                const QString suffix = channel == QLatin1String("both") ? (ch == 0 ? QStringLiteral("-front") : QStringLiteral("-rear")) : QString();
                QString target = folder ? QDir(output).filePath(QFileInfo(file).completeBaseName() + suffix + QStringLiteral(".mp4"))
                                        : output;
                if (!folder && !suffix.isEmpty())
                    target = QFileInfo(output).path() + QLatin1Char('/') + QFileInfo(output).completeBaseName() + suffix +
                             QLatin1Char('.') + QFileInfo(output).suffix();
                target = names.take(target);
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
    if (IsFolder(output))
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

// The window's options (a second start reads them too, to hand them over).
struct WindowOptions {
    QCommandLineOption open{QStringLiteral("open"), QStringLiteral("Folder to open at start."), QStringLiteral("folder")};
    QCommandLineOption shot{QStringLiteral("screenshot"), QStringLiteral("Save a picture of the window to the file and quit."),
                            QStringLiteral("file")};
    QCommandLineOption size{QStringLiteral("size"), QStringLiteral("Window size at start."), QStringLiteral("WxH")};
    QCommandLineOption maximized{QStringLiteral("maximized"), QStringLiteral("Start maximised.")};
    QCommandLineOption view{QStringLiteral("view"), QStringLiteral("Channels shown: front, rear or all."),
                            QStringLiteral("channels")};
    QCommandLineOption firstPicture{QStringLiteral("exit-at-first-picture"),
                                    QStringLiteral("Quit as soon as the first picture is shown.")};
    QCommandLineOption at{QStringLiteral("at"), QStringLiteral("Window place at start."), QStringLiteral("X,Y")};
    QCommandLineOption mapWindow{QStringLiteral("map-window"), QStringLiteral("Float the map in its own window once it is up.")};
    QCommandLineOption zoom{QStringLiteral("zoom-at"), QStringLiteral("Show the magnifier with the pointer at X,Y."),
                            QStringLiteral("X,Y")};
    QCommandLineOption screenShot{QStringLiteral("screenshot-screen"),
                                  QStringLiteral("Save a picture of the whole screen to the file and quit."),
                                  QStringLiteral("file")};
    QCommandLineOption settings{QStringLiteral("settings"), QStringLiteral("Open the settings dialog once the window is up.")};
    QCommandLineOption print{QStringLiteral("print-to"),
                             QStringLiteral("Print the report of the moment 4 s in to a PDF file, and quit."),
                             QStringLiteral("file")};
    QCommandLineOption trip{QStringLiteral("trip-view"), QStringLiteral("Show the whole trip of the recording playing.")};
    QCommandLineOption exportList{QStringLiteral("export-list"),
                                  QStringLiteral("Export the whole list into the file (.gpx or .csv) from the "
                                                 "list's menu, and quit."),
                                  QStringLiteral("file")};

    void addTo(QCommandLineParser &parser) const
    {
        parser.addOptions({open, shot, size, maximized, view, firstPicture, at, mapWindow, zoom, screenShot, settings,
                           print, trip, exportList});
        parser.addPositionalArgument(QStringLiteral("path"), QStringLiteral("Folders and files to open."),
                                     QStringLiteral("[PATH...]"));
        parser.addHelpOption();
    }
    // Those only a new window follows.
    QList<const QCommandLineOption *> windowOnly() const
    {
        return {&shot, &size, &maximized, &view, &firstPicture, &at, &mapWindow, &zoom, &screenShot, &settings, &trip};
    }
};

// An argument as the file system's bytes, made absolute: a folder name that
// is not UTF-8 (a card written by another system) keeps its bytes.
QString AbsolutePath(const QString &argument, int argc, char *argv[])
{
    QString path = argument;
    for (int i = 1; i < argc; ++i)
        if (QString::fromLocal8Bit(argv[i]) == argument) {
            path = PathFromNative(argv[i]);
            break;
        }
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')))
        return path;
    char here[PATH_MAX];
    const QString current = ::getcwd(here, sizeof here) ? PathFromNative(here) : QDir::currentPath();
    return current + QLatin1Char('/') + path;
}

// The paths and commands of a command line: the paths with the first.
std::deque<HandOverRequest> Requests(const QCommandLineParser &parser, const WindowOptions &o, int argc, char *argv[])
{
    QStringList paths;
    if (parser.isSet(o.open))
        paths << AbsolutePath(parser.value(o.open), argc, argv);
    for (const QString &p : parser.positionalArguments())
        paths << AbsolutePath(p, argc, argv);
    std::deque<HandOverRequest> requests;
    if (parser.isSet(o.print))
        requests.push_back({HandOverRequest::PrintReport, {}, AbsolutePath(parser.value(o.print), argc, argv)});
    if (parser.isSet(o.exportList))
        requests.push_back({HandOverRequest::ExportList, {}, AbsolutePath(parser.value(o.exportList), argc, argv)});
    if (requests.empty())
        requests.push_back({HandOverRequest::Open, {}, {}});
    requests.front().paths = paths;
    return requests;
}

// A second start: its paths and commands go to the viewer that runs, one at
// a time, and its status is that viewer's answer. Empty when the viewer
// ended before taking the first (this start is then the viewer).
std::optional<int> HandOverToRunningViewer(int argc, char *argv[], InstanceGuard &guard)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    WindowOptions options;
    options.addTo(parser);
    parser.process(app);
    // The lock's holder may still be starting (it listens once its window is
    // made), or may have been killed and not be quite gone yet: whichever
    // comes first, a viewer that answers or the lock.
    const QString socket = InstanceSocketPath();
    bool answers = false;
    for (int tries = 0; tries < 150 && !answers; ++tries) {
        if (guard.take())
            return std::nullopt;
        QLocalSocket probe;
        probe.connectToServer(socket);
        answers = probe.waitForConnected(200);
        if (!answers)
            QThread::msleep(100);
    }
    if (!answers) {
        std::fprintf(stderr, "DrivoraViewer: %s\n", qPrintable(QString::fromUtf8(ids::kInstanceNoAnswer)));
        return 1;
    }
    for (const QCommandLineOption *o : options.windowOnly())
        if (parser.isSet(*o)) {
            std::fprintf(stderr, "DrivoraViewer: %s\n",
                         qPrintable(QString::fromUtf8(ids::kInstanceOptionRefused).arg(QStringLiteral("--") + o->names().first())));
            return 1;
        }
    for (const HandOverRequest &request : Requests(parser, options, argc, argv)) {
        // Opening is answered at once; a print or an export when done (the
        // running window shows its progress).
        const HandOverResult r =
            HandOver(socket, request, 5000, request.command == HandOverRequest::Open ? 30000 : -1);
        if (!r.connected) {
            std::fprintf(stderr, "DrivoraViewer: %s\n", qPrintable(QString::fromUtf8(ids::kInstanceNoAnswer)));
            return 1;
        }
        if (!r.reply.message.isEmpty())
            std::fprintf(r.reply.ok ? stdout : stderr, "%s%s\n", r.reply.ok ? "" : "DrivoraViewer: ",
                         qPrintable(r.reply.message));
        if (!r.reply.ok)
            return 1;
    }
    return 0;
}

// Runs the commands of the command line and of second starts in the window,
// each answered once done; one that comes while another runs (or while a
// dialog waits for the user) is answered that the viewer is busy.
class CommandRunner {
public:
    explicit CommandRunner(CDrivoraViewerDlg &window) : m_window(window) {}

    // settleMs: how long the window is given first (its first start).
    void run(const HandOverRequest &request, InstanceServer::Answer answer, int settleMs = 0)
    {
        if (m_busy || QApplication::activeModalWidget()) {
            answer({false, QString::fromUtf8(ids::kInstanceBusy)});
            return;
        }
        m_busy = true;
        if (!request.paths.isEmpty())
            m_window.openPaths(request.paths);
        int delay = settleMs;
        if (request.command == HandOverRequest::PrintReport && (!request.paths.isEmpty() || settleMs > 0))
            delay = 4000; // the moment 4 s into the recording
        QTimer::singleShot(delay, &m_window, [this, request, answer] {
            CommandOutcome outcome{true, {}};
            if (request.command == HandOverRequest::PrintReport)
                outcome = m_window.printReportTo(request.output);
            else if (request.command == HandOverRequest::ExportList)
                outcome = m_window.exportListTo(request.output);
            else
                m_window.bringToFront();
            m_busy = false;
            answer({outcome.ok, outcome.message});
        });
    }

private:
    CDrivoraViewerDlg &m_window;
    bool m_busy = false;
};

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--export") == 0)
            return RunExport(argc, argv);

    // One copy at a time: a second start hands its work over to the first.
    InstanceGuard guard;
    if (!guard.take())
        if (const std::optional<int> status = HandOverToRunningViewer(argc, argv, guard))
            return *status;
    // The web map's engine: shared graphics contexts, and no sandbox for root
    // (the engine refuses to start one).
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DrivoraViewer"));
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK KR"), 9));

    QCommandLineParser parser;
    const WindowOptions o;
    o.addTo(parser);
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
    // A run that makes a picture or a file and quits starts as a first run
    // would and leaves what the viewer remembers as it was.
    for (const QCommandLineOption *made : {&o.shot, &o.screenShot, &o.print, &o.exportList, &o.firstPicture})
        if (parser.isSet(*made))
            CDrivoraViewerDlg::setRememberAcrossRuns(false);
    CDrivoraViewerDlg window;
    SystemConnectivity connectivity;
    WebMapArea map(window.mapHost(), connectivity);
    window.setMapArea(&map);
    if (parser.isSet(o.size)) {
        const QStringList wh = parser.value(o.size).split(QLatin1Char('x'));
        if (wh.size() == 2)
            window.resize(wh[0].toInt(), wh[1].toInt());
    }
    auto point = [](const QString &text) {
        const QStringList xy = text.split(QLatin1Char(','));
        return xy.size() == 2 ? QPoint(xy[0].toInt(), xy[1].toInt()) : QPoint();
    };
    if (parser.isSet(o.at))
        window.move(point(parser.value(o.at)));
    if (parser.isSet(o.maximized)) {
        // Also where no window manager maximises for us (a bare X server).
        if (QScreen *screen = QGuiApplication::primaryScreen())
            window.setGeometry(screen->availableGeometry());
        window.showMaximized();
    }
    else
        window.show();
    std::deque<HandOverRequest> requests = Requests(parser, o, argc, argv);
    const QStringList paths = std::exchange(requests.front().paths, {});
    if (!paths.isEmpty())
        window.openPaths(paths);
    else
        window.reopenLastFolder(); // the card of last time, when it is still there
    if (parser.isSet(o.view)) {
        const QString view = parser.value(o.view);
        window.command(view == QLatin1String("rear") ? ids::ViewRearButton
                       : view == QLatin1String("all") ? ids::ViewAllButton
                                                      : ids::ViewFrontButton);
    }

    // The web engine takes a good part of a second to start: the map comes
    // once the window has shown itself and its first picture.
    const bool floatMap = parser.isSet(o.mapWindow);
    QTimer::singleShot(0, &window, [&map, floatMap] {
        map.start();
        if (floatMap)
            map.undock();
    });
    if (parser.isSet(o.zoom)) {
        QCursor::setPos(point(parser.value(o.zoom)));
        window.command(ids::Zoom);
    }

    if (parser.isSet(o.firstPicture)) {
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

    if (parser.isSet(o.trip))
        QTimer::singleShot(200, &window, [&window] { window.setTripView(true); });
    if (parser.isSet(o.settings))
        QTimer::singleShot(300, &window, [&window] { window.command(ids::Setting); });

    // Second starts hand their paths and commands over through the socket.
    CommandRunner commands(window);
    InstanceServer server([&commands](const HandOverRequest &request, InstanceServer::Answer answer) {
        commands.run(request, std::move(answer));
    });
    if (!server.listen(InstanceSocketPath()))
        std::fprintf(stderr, "DrivoraViewer: %s: %s\n", qPrintable(InstanceSocketPath()), qPrintable(server.errorString()));

    // --print-to and --export-list: done one after the other once the window
    // is up, without dialogs; the run ends with status 0 only when each file
    // was written.
    int status = -1;
    const bool exportList = parser.isSet(o.exportList);
    if (requests.front().command != HandOverRequest::Open) {
        auto next = std::make_shared<std::function<void()>>();
        *next = [&requests, &commands, &status, next] {
            if (requests.empty()) {
                status = 0;
                QApplication::closeAllWindows();
                return;
            }
            const HandOverRequest request = requests.front();
            requests.pop_front();
            commands.run(request, [&status, next](const HandOverReply &reply) {
                if (!reply.message.isEmpty())
                    std::fprintf(reply.ok ? stdout : stderr, "%s%s\n", reply.ok ? "" : "DrivoraViewer: ",
                                 qPrintable(reply.message));
                if (!reply.ok) {
                    status = 1;
                    QApplication::closeAllWindows();
                    return;
                }
                QTimer::singleShot(0, *next);
            }, request.command == HandOverRequest::ExportList ? 1500 : 4000);
        };
        QTimer::singleShot(0, &window, *next);
    }
    // With --screenshot-screen, the picture shows the progress halfway: the
    // export's, or the report's reading of its recording.
    const bool printTo = parser.isSet(o.print);
    if ((exportList || printTo) && parser.isSet(o.screenShot)) {
        const QString shotFile = parser.value(o.screenShot);
        auto halfway = [shotFile, taken = false](qint64 done, qint64 total) mutable {
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
        };
        if (exportList)
            QObject::connect(&window, &CDrivoraViewerDlg::exportProgressed, &window, halfway);
        else
            QObject::connect(&window, &CDrivoraViewerDlg::reportDigestProgressed, &window, halfway);
    }

    if (!exportList && !printTo && (parser.isSet(o.shot) || parser.isSet(o.screenShot))) {
        const bool wholeScreen = parser.isSet(o.screenShot);
        const QString file = parser.value(wholeScreen ? o.screenShot : o.shot);
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
