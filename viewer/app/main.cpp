// DrivoraViewer: lists the recordings of a memory card and plays them.
//
// Options for automation (the viewer itself takes no command line):
//   --open FOLDER       list the recordings under FOLDER at start
//   --screenshot FILE   save a picture of the window to FILE and quit

#include "InstanceGuard.h"
#include "ViewerIds.h"
#include "UiStringLibrary.h"
#include "catalogue/FolderPicker.h"
#include "catalogue/RecordingCatalogue.h"
#include "catalogue/RecordingListModel.h"
#include "catalogue/Telemetry.h"
#include "controls/CDvGsensorCtrl.h"
#include "controls/CDvListCtrl.h"
#include "controls/CDvScreenCtrl.h"
#include "controls/SkinnedControls.h"
#include "playback/PlayerFront.h"

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

#include <functional>

using namespace drivora;

int main(int argc, char *argv[])
{
    // One copy at a time: a second start ends at once, silently.
    InstanceGuard guard;
    if (!guard.take())
        return 0;
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
    auto *graph = new CDvGsensorCtrl(&window);
    graph->setFixedHeight(100);
    auto *timeline = new CDvSliderCtrl(&window);
    timeline->setFixedHeight(40);
    timeline->setRange(0, 1000);
    timeline->setEnabled(false);

    // Transport, rate and brightness, the speed gauge and the volume.
    auto *bar = new QHBoxLayout;
    auto makeButton = [&](int id) {
        const ids::ButtonSpec &spec = ids::MainButton(id);
        auto *button = new CDvButtonCtrl(&window);
        button->setImages(spec.images[0], spec.images[1], spec.images[2], spec.images[3]);
        button->setFixedSize(spec.size);
        bar->addWidget(button);
        return button;
    };
    CDvButtonCtrl *prev = makeButton(ids::Previous);
    CDvButtonCtrl *rewind = makeButton(ids::Rewind);
    CDvButtonCtrl *playButton = makeButton(ids::Play);
    CDvButtonCtrl *pauseButton = makeButton(ids::Pause);
    CDvButtonCtrl *forward = makeButton(ids::Forward);
    CDvButtonCtrl *next = makeButton(ids::Next);
    pauseButton->hide();
    auto *timeText = new CDvTextCtrl(1, &window);
    timeText->setFixedSize(330, 20);
    bar->addSpacing(12);
    bar->addWidget(timeText);
    bar->addStretch(1);
    auto *gauge = new CDvSpeedCtrl(&window);
    gauge->setFixedSize(124, 38);
    bar->addWidget(gauge);
    auto *volume = new CDvVolumeCtrl(&window);
    volume->setFixedSize(70, 21);
    bar->addWidget(volume);
    auto *gText = new CDvTextCtrl(2, &window);
    gText->setFixedHeight(20);
    auto *positionText = new CDvTextCtrl(4, &window);
    positionText->setFixedHeight(20);

    videoSide->addWidget(front, 2);
    videoSide->addWidget(rear, 1);
    videoSide->addWidget(timeline);
    videoSide->addWidget(graph);
    videoSide->addLayout(bar);
    videoSide->addWidget(gText);
    videoSide->addWidget(positionText);
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
    std::function<void(int)> playRow;
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
        player.setVolume(std::clamp(volume->level() * 10 - 1, 0, 99));
        model->setCurrentRow(row);
        timeline->setEnabled(true);
        playButton->hide();
        pauseButton->show();
        rear->setVisible(player.engine()->videoCount() > 1);
        DrainTelemetry(player.engine()->streamParser());
        graph->setPlotSpanMs(uint32_t(player.durationMs()));
        // A recording that breaks while playing ends like one that reached
        // its end: the next row plays (after the signal's engine is left).
        QObject::connect(player.engine()->events(), &BusWatcher::errorOccurred, &window, [&, row](const QString &) {
            QTimer::singleShot(0, &window, [&, row] {
                if (model->currentRow() != row)
                    return;
                if (row + 1 < model->rowCount())
                    playRow(row + 1);
                else if (PlaybackEngine *engine = player.engine())
                    engine->pause();
            });
        });
    };
    playRow = play;
    QObject::connect(view, &QTableView::doubleClicked, &window, [&](const QModelIndex &index) { play(index.row()); });
    QObject::connect(view, &CDvListCtrl::recordingsDropped, &window, [&] { play(0); });
    QObject::connect(view, &CDvListCtrl::kindCommand, &window, [&](int command) {
        const int kind = command - kCommandShowAll + KindAll;
        view->setFilterKind(kind);
        view->fill(kind);
    });

    auto running = [&] {
        PlaybackEngine *engine = player.engine();
        return engine && engine->state() != EngineNoGraph ? engine : nullptr;
    };
    QObject::connect(playButton, &QAbstractButton::clicked, &window, [&] {
        if (PlaybackEngine *engine = running(); engine && engine->run() == 0) {
            playButton->hide();
            pauseButton->show();
        }
    });
    QObject::connect(pauseButton, &QAbstractButton::clicked, &window, [&] {
        if (PlaybackEngine *engine = running()) {
            engine->pause();
            pauseButton->hide();
            playButton->show();
        }
    });
    auto skip = [&](int64_t byMs) {
        if (PlaybackEngine *engine = running()) {
            const int64_t target = std::clamp<int64_t>(engine->position() / 10000 + byMs, 0, player.durationMs());
            player.seek(target);
        }
    };
    QObject::connect(rewind, &QAbstractButton::clicked, &window, [&] { skip(-5000); });
    QObject::connect(forward, &QAbstractButton::clicked, &window, [&] { skip(5000); });
    QObject::connect(prev, &QAbstractButton::clicked, &window, [&] { play(std::max(0, model->currentRow() - 1)); });
    QObject::connect(next, &QAbstractButton::clicked, &window,
                     [&] { play(std::min(model->rowCount() - 1, model->currentRow() + 1)); });
    QObject::connect(timeline, &QSlider::sliderReleased, &window, [&] {
        player.seek(int64_t(timeline->value()) * player.durationMs() / 1000);
    });
    QObject::connect(volume, &CDvVolumeCtrl::levelChosen, &window,
                     [&](int level) { player.setVolume(std::clamp(level * 10 - 1, 0, 99)); });

    // Follows playback: the timeline, time, speed, G-sensor values and position.
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &window, [&] {
        PlaybackEngine *engine = running();
        if (!engine)
            return;
        const uint32_t ms = uint32_t(engine->position() / 10000);
        const int64_t duration = player.durationMs();
        if (!timeline->isSliderDown() && duration > 0)
            timeline->setValue(int(int64_t(ms) * 1000 / duration));
        double speed = 0;
        float lat = 0, lon = 0;
        GetSpeedAt(ms, speed);
        if (GetPositionAt(ms, lat, lon)) {
            positionText->latitude = lat;
            positionText->longitude = lon;
        }
        gText->gValid = GetAccelAt(ms, gText->gx, gText->gy, gText->gz);
        gauge->setSpeed(speed);
        timeText->positionMs = ms;
        timeText->durationMs = duration;
        timeText->rate = engine->rate();
        for (QWidget *w : {static_cast<QWidget *>(timeText), static_cast<QWidget *>(gText),
                           static_cast<QWidget *>(positionText)})
            w->update();
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
