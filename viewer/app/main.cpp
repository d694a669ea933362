// DrivoraViewer: lists the recordings of a memory card and plays them.
//
// Options for automation (the viewer itself takes no command line):
//   --open FOLDER       list the recordings under FOLDER at start
//   --screenshot FILE   save a picture of the window to FILE and quit

#include "UiStringLibrary.h"
#include "catalogue/FolderPicker.h"
#include "catalogue/RecordingCatalogue.h"
#include "catalogue/RecordingListModel.h"
#include "catalogue/Telemetry.h"
#include "controls/CDvGsensorCtrl.h"
#include "controls/CDvListCtrl.h"
#include "controls/CDvScreenCtrl.h"
#include "playback/PlaybackEngine.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

using namespace drivora;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("DrivoraViewer"));
    QApplication::setFont(QFont(QStringLiteral("Noto Sans CJK KR"), 10));

    QCommandLineParser parser;
    QCommandLineOption openOption(QStringLiteral("open"), QStringLiteral("Folder to list at start."),
                                  QStringLiteral("folder"));
    QCommandLineOption shotOption(QStringLiteral("screenshot"), QStringLiteral("Save a screenshot and quit."),
                                  QStringLiteral("file"));
    parser.addOptions({openOption, shotOption});
    parser.addHelpOption();
    parser.process(app);

    QWidget window;
    window.setWindowTitle(QStringLiteral("KVR-2650 Viewer"));
    window.setStyleSheet(QStringLiteral("background: #0a0a0a; color: #b4b4b4;"));
    auto *columns = new QHBoxLayout(&window);
    auto *listSide = new QWidget(&window);
    listSide->setFixedWidth(400);
    auto *layout = new QVBoxLayout(listSide);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *videoSide = new QVBoxLayout;
    auto *front = new CDvScreenCtrl(&window);
    auto *rear = new CDvScreenCtrl(&window);
    auto *status = new QLabel(&window);
    auto *graph = new CDvGsensorCtrl(&window);
    graph->setFixedHeight(100);
    videoSide->addWidget(front, 2);
    videoSide->addWidget(rear, 1);
    videoSide->addWidget(graph);
    videoSide->addWidget(status);
    columns->addWidget(listSide);
    columns->addLayout(videoSide, 1);

    WriteDecoderSettings();
    PlayerFront player;
    player.init(front, rear);
    auto *caption = new QLabel(LoadUiString(130), &window);
    auto *open = new QPushButton(LoadUiString(101).isEmpty() ? QStringLiteral("Open") : LoadUiString(101), &window);
    auto *view = new CDvListCtrl(&window);
    view->setup();
    RecordingListModel *model = view->rows();
    layout->addWidget(caption);
    layout->addWidget(open);
    layout->addWidget(view);

    auto fill = [&](const QString &folder) {
        ClearCatalogue();
        AddRecordingPath(folder);
        view->setFilterKind(KindAll);
        view->fill(KindAll);
    };
    // Plays one row: opens its file, runs it and reads its telemetry.
    auto play = [&](int row) {
        const QString path = model->rowPath(row);
        if (path.isEmpty())
            return;
        player.setParserFlag(false);
        if (!player.open(path)) {
            QMessageBox::warning(&window, QStringLiteral("KVR-2650 Viewer"),
                                 QStringLiteral("동영상을 플레이 할 수 없습니다.(002)"));
            return;
        }
        if (player.engine()->run() < 0) {
            QMessageBox::warning(&window, QStringLiteral("KVR-2650 Viewer"),
                                 QStringLiteral("동영상을 플레이 할 수 없습니다.(001)"));
            return;
        }
        player.setVolume(49);
        model->setCurrentRow(row);
        rear->setVisible(player.engine()->videoCount() > 1);
        DrainTelemetry(player.engine()->streamParser());
        graph->setPlotSpanMs(uint32_t(player.durationMs()));
    };
    QObject::connect(view, &QTableView::doubleClicked, &window, [&](const QModelIndex &index) { play(index.row()); });
    QObject::connect(view, &CDvListCtrl::recordingsDropped, &window, [&] { play(0); });
    QObject::connect(view, &CDvListCtrl::kindCommand, &window, [&](int command) {
        const int kind = command - kCommandShowAll + KindAll;
        view->setFilterKind(kind);
        view->fill(kind);
    });

    // Follows playback: position, speed and position from the telemetry.
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &window, [&] {
        PlaybackEngine *engine = player.engine();
        if (!engine || engine->state() == EngineNoGraph)
            return;
        const uint32_t ms = uint32_t(engine->position() / 10000);
        double speed = 0;
        float lat = 0, lon = 0, x = 0, y = 0, z = 0;
        GetSpeedAt(ms, speed);
        GetPositionAt(ms, lat, lon);
        GetAccelAt(ms, x, y, z);
        status->setText(QStringLiteral("%1 / %2 s   %3 km/h   %4, %5   G %6 %7 %8")
                            .arg(ms / 1000.0, 0, 'f', 1)
                            .arg(double(player.durationMs()) / 1000.0, 0, 'f', 1)
                            .arg(speed, 0, 'f', 1)
                            .arg(double(lat), 0, 'f', 5)
                            .arg(double(lon), 0, 'f', 5)
                            .arg(double(x), 0, 'f', 3)
                            .arg(double(y), 0, 'f', 3)
                            .arg(double(z), 0, 'f', 3));
        if (engine->state() == EngineRunning && engine->position() >= engine->duration()) {
            const int next = model->currentRow() + 1;
            if (next < model->rowCount())
                play(next);
            else
                engine->pause();
        }
    });
    tick.start(200);

    QObject::connect(open, &QPushButton::clicked, &window, [&] {
        QString folder;
        if (BrowseForFolder(QString(), &window, folder))
            fill(folder);
    });

    if (parser.isSet(openOption)) {
        QString folder = QFileInfo(parser.value(openOption)).absoluteFilePath();
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        fill(folder);
        if (model->rowCount() > 0)
            QTimer::singleShot(0, &window, [&] { play(0); });
    }

    window.resize(1180, 742);
    window.show();

    if (parser.isSet(shotOption)) {
        const QString file = parser.value(shotOption);
        QTimer::singleShot(2500, &window, [&window, file] {
            window.grab().save(file);
            QApplication::quit();
        });
    }
    return app.exec();
}
