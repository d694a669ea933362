#include "CDrivoraViewerDlg.h"

#include "CZoomDlg.h"
#include "Snapshot.h"
#include "UiStringLibrary.h"
#include "catalogue/AppPaths.h"
#include "catalogue/FolderPicker.h"
#include "catalogue/NativePath.h"
#include "catalogue/RecordingCatalogue.h"
#include "catalogue/RecordingFile.h"
#include "catalogue/Telemetry.h"
#include "export/TelemetryExport.h"
#include "report/ReportFiles.h"

#include <map>
#include "controls/CDvGsensorCtrl.h"
#include "controls/CDvListCtrl.h"
#include "controls/CDvScreenCtrl.h"
#include "controls/MainMenu.h"
#include "controls/Skin.h"
#include "controls/SkinnedControls.h"
#include "map/MapPanels.h"
#include "settings/ViewerOptions.h"

#include <QDir>
#include <QDateTime>
#include <QFileInfo>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QFileDialog>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPrinterInfo>
#include <QScreen>
#include <QToolTip>
#include <QMimeData>
#include <QUrl>
#include <QWindow>

#include <atomic>

namespace drivora {
namespace {

class QtMessageBox final : public IMessageBox {
public:
    void inform(QWidget *owner, const QString &caption, const QString &text) override
    {
        QMessageBox::information(owner, caption, text, QMessageBox::Ok);
    }
    bool askYesNo(QWidget *owner, const QString &caption, const QString &text) override
    {
        return QMessageBox::question(owner, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
};

// The player and its engine, in milliseconds.
class PlayerTransport final : public ITransport {
public:
    PlayerTransport(PlayerFront &player, std::function<void()> broke) : m_player(player), m_broke(std::move(broke)) {}
    int state() const override
    {
        PlaybackEngine *e = m_player.engine();
        return e ? int(e->state()) : int(NoGraph);
    }
    bool open(const QString &path) override
    {
        m_player.setParserFlag(false);
        if (!m_player.open(path))
            return false;
        // A recording that breaks while playing ends like one that reached
        // its end (after the engine that reports it is left).
        if (BusWatcher *events = m_player.engine()->events())
            QObject::connect(events, &BusWatcher::errorOccurred, events, [this](const QString &) { m_broke(); },
                             Qt::QueuedConnection);
        return true;
    }
    QString whyNotPlayed(const QString &path) const override
    {
        switch (WhyNotPlayable(path)) {
        case PlayProblem::FileGone:
            return QString::fromUtf8(ids::kWhyFileGone);
        case PlayProblem::NotARecording:
            return QString::fromUtf8(ids::kWhyNotARecording);
        case PlayProblem::Damaged:
            return QString::fromUtf8(ids::kWhyDamaged);
        case PlayProblem::NothingDecodable:
            break;
        }
        return QString::fromUtf8(ids::kWhyNothingDecodable);
    }
    int32_t run() override { return engine() ? engine()->run() : kNotInitialised; }
    int32_t pause() override { return engine() ? engine()->pause() : kNotInitialised; }
    int32_t stop() override { return engine() ? engine()->stop() : kNotInitialised; }
    bool seek(int64_t ms) override { return m_player.seek(ms); }
    int64_t positionMs() override { return engine() ? engine()->position() / 10000 : 0; }
    int64_t durationMs() override { return m_player.durationMs(); }
    void setRate(float rate) override { m_player.setRate(rate); }
    bool setVolume(int percent) override { return m_player.setVolume(percent); }
    void applyBrightness(int position) override
    {
        if (engine())
            engine()->applyBrightness(position);
    }
    void applyRearMirror(bool on) override
    {
        if (engine())
            engine()->applyRearMirror(on);
    }
    int videoCount() override { return engine() ? engine()->videoCount() : 0; }
    int32_t stepFrame(int direction) override { return engine() ? engine()->stepFrame(direction) : kNotInitialised; }

private:
    PlaybackEngine *engine() const { return m_player.engine(); }
    PlayerFront &m_player;
    std::function<void()> m_broke;
};

class ListPlaylist final : public IPlaylist {
public:
    explicit ListPlaylist(CDvListCtrl *list) : m_list(list) {}
    int rowCount() const override { return m_list->rows()->rowCount(); }
    int currentRow() const override { return m_list->currentRow(); }
    QString rowPath(int row) const override { return m_list->rowPath(row); }
    QString rowFileName(int row) const override { return m_list->rowFileName(row); }
    void setCurrentRow(int row) override { m_list->setCurrentRow(row); }
    void selectRow(int row) override
    {
        m_list->selectRow(row);
        m_list->setCurrentRow(row);
    }
    bool fileExists(const QString &path) const override { return FileExists(path); }

private:
    CDvListCtrl *m_list;
};

const QColor kFrameGrey(0x64, 0x64, 0x64);
const QColor kPanelDark(0x14, 0x14, 0x14);

} // namespace

CDrivoraViewerDlg::CDrivoraViewerDlg(QWidget *parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    ReadViewerOptions(OptionFilePath(), ViewerOptions::instance());
    ReadExtraOptions(ExtraOptionFilePath(OptionFilePath()), ViewerOptions::instance());
    setWindowTitle(QString::fromUtf8(kViewerCaption));
    setMinimumSize(kMainMinWidth, kMainMinHeight);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    m_defaultMessages = std::make_unique<QtMessageBox>();
    m_messages = m_defaultMessages.get();
    m_settingsServices.volumes = &m_systemVolumes;
    m_settingsServices.formatter = &m_systemFormatter;
    m_settingsServices.pickFolder = [](QString &folder) {
        folder = QFileDialog::getExistingDirectory(nullptr, QString::fromUtf8(ids::kSettingFolderTitle), QString(),
                                                   QFileDialog::ShowDirsOnly);
        return !folder.isEmpty();
    };
    m_runSettings = [](CSettingDlg &dialog) { return dialog.exec() == QDialog::Accepted; };
    m_defaultPrinterChoice = std::make_unique<PrinterDialogChoice>();
    m_chooseExportFile = [this](const QString &suggested) {
        const QString filter = suggested.endsWith(QLatin1String(".gpx")) ? QStringLiteral("GPX (*.gpx)") : QStringLiteral("CSV (*.csv)");
        return QFileDialog::getSaveFileName(this, QString::fromUtf8(ids::kExportCaption), suggested, filter);
    };
    m_printerChoice = m_defaultPrinterChoice.get();
    m_printersInstalled = [] { return !QPrinterInfo::availablePrinters().isEmpty(); };

    WriteDecoderSettings();
    // Tooltips: black text on white.
    QPalette tips = QToolTip::palette();
    tips.setColor(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xFF));
    tips.setColor(QPalette::ToolTipText, QColor(0x00, 0x00, 0x00));
    QToolTip::setPalette(tips);
    createChildren();
    m_player.init(m_front, m_rear);
    m_list->setup();
    m_playerTransport = std::make_unique<PlayerTransport>(m_player, [this] {
        QTimer::singleShot(0, this, [this] { m_transport->recordingBroke(); });
    });
    m_playlist = std::make_unique<ListPlaylist>(m_list);
    m_transport = std::make_unique<TransportController>(*m_playerTransport, *m_playlist, static_cast<ITransportView &>(*this));
    m_transport->setPlayValue(ViewerOptions::instance().playValue);
    m_transport->setRearMirror(ViewerOptions::instance().rearMirror);

    connect(&m_tick, &QTimer::timeout, this, [this] { m_transport->UpdateTimeline(); });
    m_tick.start(ids::kTimelineTimerMs);

    resize(kMainMinWidth, kMainMinHeight);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->availableGeometry();
        move(s.left() + (s.width() - kMainMinWidth) / 2, s.top() + (s.height() - kMainMinHeight) / 2);
    }
    setupRemembering();
    m_layoutReady = true;
    placeChildren();
}

CDrivoraViewerDlg::~CDrivoraViewerDlg()
{
    m_tick.stop();
    if (m_playerTransport->state() == ITransport::Running || m_playerTransport->state() == ITransport::Paused)
        m_transport->ResetTransport(false);
    m_player.close();
}

void CDrivoraViewerDlg::createChildren()
{
    for (const ids::ButtonRow &row : ids::kMainButtons) {
        auto *b = new CDvButtonCtrl(this);
        switch (row.kind) {
        case ids::ButtonRow::Channel:
            b->setImages(row.images[0], 0, 0, 0, row.images[1]);
            break;
        case ids::ButtonRow::KindFilter:
            b->setImages(row.images[0], 0, 0, row.images[2], row.images[1]);
            break;
        default:
            b->setImages(row.images[0], row.images[1], row.images[2], row.images[3]);
            break;
        }
        b->setFixedSize(row.size);
        if (row.tooltip)
            b->setToolTip(LoadUiString(row.tooltip));
        const bool enabled = row.start != ids::ButtonRow::Disabled && row.start != ids::ButtonRow::NeverShown;
        b->setEnabled(enabled);
        b->setEnabledState(enabled);
        b->setVisible(row.start != ids::ButtonRow::Hidden && row.start != ids::ButtonRow::HiddenChecked &&
                      row.start != ids::ButtonRow::NeverShown && row.start != ids::ButtonRow::OnlyOnline);
        if (row.start == ids::ButtonRow::HiddenChecked)
            b->setChecked(true);
        const int id = row.id;
        connect(b, &QAbstractButton::clicked, this, [this, id] { command(id); });
        m_buttons.insert(id, b);
    }
    m_front = new CDvScreenCtrl(this);
    m_rear = new CDvScreenCtrl(this);
    m_front->setObjectName(QStringLiteral("DvScreenWnd"));
    m_rear->setObjectName(QStringLiteral("DvScreenWnd"));
    m_front->hide();
    m_rear->hide();
    m_timeline = new CDvSliderCtrl(this);
    m_timeline->setRange(0, 0);
    m_timeline->setEnabled(false);
    connect(m_timeline, &QSlider::sliderReleased, this, [this] {
        m_dragTarget = -1;
        seekTimeline(m_timeline->value());
    });
    connect(m_timeline, &QSlider::sliderMoved, this, &CDrivoraViewerDlg::seekWhileDragging);
    connect(m_timeline, &QSlider::actionTriggered, this, [this](int action) {
        if (action == QAbstractSlider::SliderPageStepAdd || action == QAbstractSlider::SliderPageStepSub)
            QTimer::singleShot(0, this, [this] { seekTimeline(m_timeline->value()); });
    });
    m_speed = new CDvSimpleSliderCtrl(this);
    m_brightness = new CDvSimpleSliderCtrl(this);
    for (CDvSimpleSliderCtrl *s : {m_speed, m_brightness}) {
        s->setFixedSize(95, 30);
        s->setRange(0, 100);
        s->setValue(50);
        s->setPageStep(10);
    }
    m_speed->setToolTip(LoadUiString(ids::TextSpeedSlider));
    m_brightness->setToolTip(LoadUiString(ids::TextBrightnessSlider));
    connect(m_speed, &QSlider::valueChanged, this, [this](int v) { m_transport->speedSliderMoved(v); });
    connect(m_brightness, &QSlider::valueChanged, this, [this](int v) { m_transport->brightnessSliderMoved(v); });
    m_volume = new CDvVolumeCtrl(this);
    m_volume->setToolTip(LoadUiString(ids::TextVolume));
    connect(m_volume, &CDvVolumeCtrl::levelChosen, this, [this](int level) { m_transport->volumeChosen(level); });
    m_gauge = new CDvSpeedCtrl(this);
    m_gauge->setMiles(ViewerOptions::instance().speedInMiles);
    m_graph = new CDvGsensorCtrl(this);
    connect(m_graph, &CDvGsensorCtrl::command, this, &CDrivoraViewerDlg::command);
    m_list = new CDvListCtrl(this);
    connect(m_list, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { m_transport->rowActivated(index.row()); });
    connect(m_list, &CDvListCtrl::recordingsDropped, this, [this] { afterFill(true); });
    connect(m_list, &CDvListCtrl::exportCommand, this, &CDrivoraViewerDlg::exportTelemetry);
    connect(m_list, &CDvListCtrl::kindCommand, this, [this](int id) {
        selectCategory(id - ids::MenuShowAll + KindAll, m_transport->openFileName());
    });
    m_mapPanel = new CDvMapPanelCtrl(this);
    m_mapPanel->setProperty("controlId", int(ids::MapPanel));
    // Until a map is plugged in, the map area shows the no-connection panel.
    m_noConnection = new CMapNoConnectedWnd(this);
    m_noData = new CMapNoDataWnd(this);
    m_noConnection->show();
    m_timeText = new CDvTextCtrl(1, this);
    m_gText = new CDvTextCtrl(2, this);
    m_mapLabel = new CDvTextCtrl(3, this);
    m_positionText = new CDvTextCtrl(4, this);
    m_listLabel = new CDvTextCtrl(7, this);
    for (CDvTextCtrl *t : {m_mapLabel, m_positionText, m_listLabel})
        t->background = kPanelDark;
    // The video area on the whole screen: a black ground under the screens.
    m_fullScreenGround = new QWidget(this);
    m_fullScreenGround->setAutoFillBackground(true);
    QPalette black = m_fullScreenGround->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_fullScreenGround->setPalette(black);
    m_fullScreenGround->hide();
    for (CDvScreenCtrl *screen : {m_front, m_rear})
        connect(screen, &CDvScreenCtrl::doubleClicked, this, [this] { setVideoFullScreen(!m_videoFullScreen); });
    m_zoom = new CZoomDlg(this); // hidden until the Zoom button
    setAcceptDrops(true);
    keepInputWithTheWindow();
}

void CDrivoraViewerDlg::keepInputWithTheWindow()
{
    // No control takes the keyboard: Space, the arrows and the other keys
    // go to the window whatever was clicked last (a button that kept the
    // focus would take Space as a click of its own). Files dropped anywhere
    // open as on the list (the map's page would show a dropped file itself).
    for (QWidget *w : findChildren<QWidget *>()) {
        if (w->isWindow())
            continue;
        w->setFocusPolicy(Qt::NoFocus);
        if (w != m_list && !m_list->isAncestorOf(w))
            w->setAcceptDrops(false);
    }
}

void CDrivoraViewerDlg::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CDrivoraViewerDlg::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CDrivoraViewerDlg::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    openPaths(paths);
}

void CDrivoraViewerDlg::setVideoFullScreen(bool on)
{
    if (on == m_videoFullScreen)
        return;
    m_videoFullScreen = on;
    if (on) {
        m_wasMaximised = isMaximized();
        m_normalGeometry = geometry();
        showFullScreen();
        // Where no window manager takes the request, the window covers its
        // screen itself.
        QTimer::singleShot(300, this, [this] {
            QScreen *s = screen();
            if (m_videoFullScreen && s && geometry() != s->geometry())
                setGeometry(s->geometry());
        });
    } else if (m_wasMaximised) {
        showMaximized();
    } else {
        showNormal();
        setGeometry(m_normalGeometry);
    }
    placeChildren();
    setFocus();
}

void CDrivoraViewerDlg::settings()
{
    m_transport->aroundSettings(
        [this] {
            CSettingDlg::Services services = m_settingsServices;
            services.messages = m_messages;
            CSettingDlg dialog(services, this);
            dialog.chooseDriveAt(m_state.drive); // the drive chosen last time, when offered
            const bool saved = m_runSettings(dialog);
            if (!dialog.chosenDriveRoot().isEmpty() && dialog.chosenDriveRoot() != m_state.drive) {
                m_state.drive = dialog.chosenDriveRoot();
                saveRememberedState();
            }
            return saved;
        },
        [this] {
            m_gauge->setMiles(ViewerOptions::instance().speedInMiles);
            return std::pair<int, bool>(ViewerOptions::instance().playValue, ViewerOptions::instance().rearMirror);
        });
}

CommandOutcome CDrivoraViewerDlg::exportTelemetry(int commandId)
{
    const bool gpx = commandId == ids::MenuExportGpxSelected || commandId == ids::MenuExportGpxAll;
    const bool all = commandId == ids::MenuExportGpxAll || commandId == ids::MenuExportCsvAll;
    QStringList paths;
    if (all) {
        for (int row = 0; row < m_list->rows()->rowCount(); ++row)
            paths << m_list->rowPath(row);
    } else {
        if (m_list->selectionModel())
            for (const QModelIndex &index : m_list->selectionModel()->selectedRows())
                paths << m_list->rowPath(index.row());
        if (paths.isEmpty() && m_list->currentRow() >= 0)
            paths << m_list->rowPath(m_list->currentRow()); // the recording shown
    }
    paths.removeAll(QString());
    const QString caption = QString::fromUtf8(ids::kExportCaption);
    if (paths.isEmpty()) {
        m_messages->inform(this, caption, QString::fromUtf8(ids::kExportNothingSelected));
        return {false, QString::fromUtf8(ids::kExportNothingSelected)};
    }
    const QString suggested = GetCaptureFolder() + QLatin1Char('/') + QFileInfo(paths.first()).completeBaseName() +
                              (gpx ? QStringLiteral(".gpx") : QStringLiteral(".csv"));
    const QString output = m_chooseExportFile(suggested);
    if (output.isEmpty())
        return {}; // cancelled

    // The files are read on a worker thread; the window stays live and the
    // progress dialog can cancel.
    QProgressDialog progress(QString::fromUtf8(ids::kExportProgress).arg(paths.size()).arg(0),
                             QString::fromUtf8(ids::kExportCancel), 0, int(paths.size()), this);
    progress.setWindowTitle(caption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setValue(0);
    std::atomic<bool> cancel = false;
    ExportResult result;
    QEventLoop wait;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        result = ExportTelemetry(paths, gpx ? ExportKind::Gpx : ExportKind::Csv, output, [&](int done, int total) {
            QMetaObject::invokeMethod(&progress, [this, &progress, done, total] {
                progress.setLabelText(QString::fromUtf8(ids::kExportProgress).arg(total).arg(done));
                progress.setValue(done);
                emit exportProgressed(done, total);
            }, Qt::QueuedConnection);
            return !cancel.load();
        }, ViewerOptions::instance().speedInMiles);
    }));
    connect(&progress, &QProgressDialog::canceled, this, [&cancel] { cancel = true; });
    connect(worker.get(), &QThread::finished, &wait, &QEventLoop::quit);
    worker->start();
    wait.exec();
    worker->wait();
    progress.reset();
    QCoreApplication::removePostedEvents(&progress);
    if (result.cancelled)
        return {};
    QString text = result.ok ? QString::fromUtf8(ids::kExportDone).arg(paths.size()).arg(result.points).arg(result.written)
                             : QString::fromUtf8(ids::kExportFailed).arg(result.message);
    for (const QString &w : result.warnings)
        text += QLatin1Char('\n') + w;
    m_messages->inform(this, caption, text);
    return {result.ok, text};
}

CommandOutcome CDrivoraViewerDlg::report()
{
    const QString caption = QString::fromUtf8(ids::kReportCaption);
    auto failed = [&](const QString &why) {
        const QString text = QString::fromUtf8(ids::kReportFailed).arg(why);
        m_messages->inform(this, caption, text);
        return CommandOutcome{false, text};
    };
    if (!m_transport->pauseForReport())
        return {};
    ReportPrinter printer;
    // Where no printer is installed the dialog is preset to a file in the
    // picture folder; when that folder cannot take it the user hears why.
    if (m_printersInstalled && !m_printersInstalled()) {
        const ReportFilePreset preset = PresetReportFile(ViewerOptions::instance().saveDirectory, printer.printedAt);
        if (preset.problem.isEmpty())
            printer.printer().setOutputFileName(preset.file);
        else
            m_messages->inform(this, caption, QString::fromUtf8(ids::kReportPresetNotUsed).arg(preset.problem));
    }
    if (printer.ChoosePrinter(*m_printerChoice, this) != 0)
        return {}; // cancelled: stays paused
    PlaybackEngine *engine = m_player.engine();
    printer.channelCount = m_playerTransport->videoCount() >= 2 ? 2 : 1;
    if (engine) {
        engine->GrabFrame(0, printer.picture1);
        if (printer.channelCount == 2)
            engine->GrabFrame(1, printer.picture2);
    }
    const uint32_t at = uint32_t(std::max<int64_t>(m_playerTransport->positionMs(), 0));
    float lat = 0, lon = 0, x = 0, y = 0, z = 0;
    if (GetPositionAt(at, lat, lon)) {
        printer.latitude = lat;
        printer.longitude = lon;
    }
    if (GetAccelAt(at, x, y, z)) {
        printer.gx = x;
        printer.gy = y;
        printer.gz = z;
    }
    double speed = 0;
    if (GetSpeedAt(at, speed))
        printer.speedKmh = speed;
    printer.speedInMiles = ViewerOptions::instance().speedInMiles;

    // A PDF names the recording it comes from by its SHA-256, read on a
    // worker thread while a cancellable progress dialog shows.
    const bool toFile = printer.toFile();
    QString warning;
    if (toFile) {
        const QString source = m_list->rowPath(m_list->currentRow());
        const FileDigest digest = digestForReport(source);
        if (digest.cancelled) {
            const QString text = QString::fromUtf8(ids::kReportCancelled);
            return {false, text};
        }
        if (digest.ok)
            printer.evidence = ReportPrinter::EvidenceLine(source, digest, printer.printedAt);
        else
            warning = QString::fromUtf8(ids::kReportNoDigest).arg(digest.error);
    }
    if (!printer.StartDocument())
        return failed(printer.printer().outputFileName());
    printer.mapWindow = m_map->mapPicture();
    printer.PrintPage1();
    printer.PrintPage2();
    if (!printer.EndDocument())
        return failed(printer.printer().outputFileName());
    if (!toFile)
        return {true, {}};
    // Told where it went: a PDF in a folder nobody looks at is lost.
    QString text = QString::fromUtf8(ids::kReportSaved).arg(DisplayPath(printer.printer().outputFileName()));
    if (!warning.isEmpty())
        text += QLatin1Char('\n') + warning;
    m_messages->inform(this, caption, text);
    return {true, text};
}

FileDigest CDrivoraViewerDlg::digestForReport(const QString &source)
{
    DigestJob job(source);
    const QString caption = QString::fromUtf8(ids::kReportCaption);
    auto label = [](qint64 done, qint64 total) {
        return QString::fromUtf8(ids::kReportDigesting).arg(total >> 20).arg(done >> 20);
    };
    QProgressDialog progress(label(0, 0), QString::fromUtf8(ids::kReportDigestCancel), 0, 1000, this);
    progress.setWindowTitle(caption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setValue(0);
    QEventLoop wait;
    connect(&job, &DigestJob::progressed, &progress, [this, &job, &progress, label](qint64 done, qint64 total) {
        if (progress.wasCanceled()) {
            job.cancel();
            return;
        }
        progress.setLabelText(label(done, total));
        progress.setValue(total > 0 ? int(done * 1000 / total) : 1000);
        emit reportDigestProgressed(done, total);
    }, Qt::QueuedConnection);
    connect(&progress, &QProgressDialog::canceled, &job, &DigestJob::cancel);
    connect(&job, &DigestJob::finished, &wait, &QEventLoop::quit);
    job.start();
    wait.exec();
    progress.reset();
    QCoreApplication::removePostedEvents(&progress);
    return job.result();
}

namespace {

// What a command from the command line or a second start is told, kept for
// its answer instead of shown (no dialog may wait for a click there).
class KeptMessages final : public IMessageBox {
public:
    void inform(QWidget *, const QString &, const QString &text) override { told << text; }
    bool askYesNo(QWidget *, const QString &, const QString &) override { return false; }
    QStringList told;
};

// The report into a file, without the printer dialog.
class FileChoice final : public IPrinterChoice {
public:
    explicit FileChoice(QString path) : m_path(std::move(path)) {}
    bool choose(QPrinter &printer, QWidget *) override
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(m_path);
        return true;
    }

private:
    QString m_path;
};

} // namespace

CommandOutcome CDrivoraViewerDlg::printReportTo(const QString &file)
{
    KeptMessages kept;
    FileChoice choice(file);
    IMessageBox *const messages = m_messages;
    IPrinterChoice *const printerChoice = m_printerChoice;
    auto printersInstalled = std::move(m_printersInstalled);
    m_messages = &kept;
    m_printerChoice = &choice;
    m_printersInstalled = nullptr;
    CommandOutcome outcome = report();
    m_messages = messages;
    m_printerChoice = printerChoice;
    m_printersInstalled = std::move(printersInstalled);
    if (!outcome.ok && outcome.message.isEmpty())
        outcome.message = kept.told.isEmpty() ? QString::fromUtf8(ids::kReportNothingPlaying)
                                              : kept.told.join(QLatin1Char('\n'));
    return outcome;
}

CommandOutcome CDrivoraViewerDlg::exportListTo(const QString &file)
{
    KeptMessages kept;
    IMessageBox *const messages = m_messages;
    auto chooser = std::move(m_chooseExportFile);
    m_messages = &kept;
    m_chooseExportFile = [file](const QString &) { return file; };
    const bool csv = file.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    CommandOutcome outcome = exportTelemetry(csv ? ids::MenuExportCsvAll : ids::MenuExportGpxAll);
    m_messages = messages;
    m_chooseExportFile = std::move(chooser);
    return outcome;
}

void CDrivoraViewerDlg::bringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

MapHost CDrivoraViewerDlg::mapHost() const
{
    return {const_cast<CDrivoraViewerDlg *>(this), m_mapPanel, m_noConnection, m_noData,
            m_buttons.value(ids::Map), m_mapLabel, m_positionText};
}

void CDrivoraViewerDlg::placeChildren()
{
    if (!m_layoutReady)
        return;
    m_layout = ComputeMainLayout(size(), m_transport->viewMode());
    const MainLayout &l = m_layout;
    auto at = [this](int id, QPoint p) { m_buttons.value(id)->move(p); };
    at(ids::Open, l.open);
    at(ids::Capture, l.capture);
    at(ids::Print, l.print);
    at(ids::Setting, l.setting);
    at(ids::Zoom, l.zoom);
    at(ids::About, l.about);
    at(ids::Minimise, l.minimise);
    at(ids::Maximise, l.maximise);
    at(ids::Close, l.close);
    at(ids::ViewFrontButton, l.frontButton);
    at(ids::ViewRearButton, l.rearButton);
    at(ids::ViewAllButton, l.allChannelsButton);
    at(ids::Previous, l.prev);
    at(ids::Rewind, l.rewind);
    at(ids::Play, l.play);
    at(ids::Pause, l.play);
    at(ids::Forward, l.forward);
    at(ids::Next, l.next);
    at(ids::SpeedReset, l.speedButton);
    at(ids::BrightnessReset, l.brightButton);
    at(ids::Mute, l.mute);
    at(ids::Map, l.mapButton);
    at(ids::KindAllButton, l.allKindsButton);
    at(ids::KindEventButton, l.eventButton);
    at(ids::KindNormalButton, l.normalButton);
    at(ids::KindParkingButton, l.parkingButton);
    m_front->setGeometry(l.frontScreen.rect());
    m_rear->setGeometry(l.rearScreen.rect());
    m_timeText->setGeometry(l.timePanel.rect());
    m_gText->setGeometry(l.gsensorPanel.rect());
    m_graph->setGeometry(l.graph.rect());
    m_timeline->setGeometry(l.timeline.rect());
    m_speed->move(l.speedSlider);
    m_brightness->move(l.brightnessSlider);
    m_volume->move(l.volume);
    m_gauge->move(l.speedGauge);
    m_mapLabel->setGeometry(QRect(l.mapLabel, QSize(200, 20)));
    for (QWidget *panel : {static_cast<QWidget *>(m_mapPanel), m_noConnection, m_noData})
        panel->setGeometry(l.mapPanel.rect());
    m_positionText->setGeometry(l.positionPanel.rect());
    m_listLabel->setGeometry(l.listLabel.rect());
    if (m_folderName)
        m_folderName->setGeometry(l.listFolder.rect());
    m_list->setGeometry(l.list.rect());
    m_fullScreenGround->setVisible(m_videoFullScreen);
    if (m_videoFullScreen) {
        const FullScreenVideo video = ComputeFullScreenVideo(size(), m_transport->shownViewMode());
        m_fullScreenGround->setGeometry(rect());
        m_fullScreenGround->raise();
        m_front->setGeometry(video.front.rect());
        m_rear->setGeometry(video.rear.rect());
        m_front->raise();
        m_rear->raise();
    }
    update();
}

void CDrivoraViewerDlg::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeChildren();
    stateChanged();
    // A paused still picture is drawn again at its new size.
    if (m_playerTransport && m_playerTransport->state() == ITransport::Paused)
        m_playerTransport->seek(m_playerTransport->positionMs());
}

void CDrivoraViewerDlg::paintEvent(QPaintEvent *)
{
    QImage canvas(size(), QImage::Format_RGB32);
    canvas.fill(kSkinBackground);
    QPainter p(&canvas);
    const int W = width();
    for (int i = 0; i <= W / 100; ++i)
        DrawSkinBitmap(p, 1057, i * 100, 0, 100, 33);
    DrawSkinBitmap(p, 153, W - 313, 0, 163, 33);
    const Box &v = m_layout.videoArea;
    if (m_front->shown() || m_rear->shown()) {
        p.fillRect(QRect(v.left - 1, v.top - 1, v.width() + 2, v.height() + 2), kFrameGrey);
        p.fillRect(v.rect(), kSkinBackground);
    } else {
        DrawIdlePicture(p, v.left, v.top, v.width(), v.height());
    }
    // Control bar frame around the gauge's band.
    const QRect gauge(m_layout.speedGauge, m_gauge->size());
    const QRect band(m_layout.controlBar.left + 5, gauge.top() - 10, m_layout.controlBar.width() - 10,
                     gauge.height() + 20);
    p.fillRect(band, kFrameGrey);
    p.fillRect(band.adjusted(0, 1, 0, -1), kPanelDark);
    // Map and list frames.
    const Box &m = m_layout.mapArea;
    const QRect mapFrame(QPoint(m.left - 2, m.top), QPoint(m.right + 1, m.bottom - 4));
    p.fillRect(mapFrame, kFrameGrey);
    p.fillRect(mapFrame.adjusted(1, 1, -1, -1), kPanelDark);
    const Box &a = m_layout.listArea;
    const QRect listFrame(QPoint(a.left - 2, a.top), QPoint(a.right + 1, m_layout.list.bottom + 1));
    p.fillRect(listFrame, kFrameGrey);
    p.fillRect(listFrame.adjusted(1, 1, -1, -1), kPanelDark);
    p.end();
    QPainter(this).drawImage(0, 0, canvas);
}

bool CDrivoraViewerDlg::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Space:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            event->accept();
            return true;
        default:
            break;
        }
    }
    return QWidget::event(event);
}

void CDrivoraViewerDlg::findTrip(const QString &path)
{
    // The trip around the open recording: its neighbours in the list that
    // follow on in time (durations from their telemetry, read only as far
    // as the trip goes).
    m_trip = {-1, -1};
    m_tripTracks.clear();
    m_tripSpans.clear();
    const int rows = m_list->rows()->rowCount();
    int row = -1;
    for (int r = 0; r < rows && row < 0; ++r)
        if (m_list->rowPath(r) == path)
            row = r;
    if (row < 0)
        return;
    std::map<int, RecordingTelemetry> read;
    auto span = [&](int r) {
        CalendarTime t;
        ParseNameStartTime(m_list->rowFileName(r), t);
        const QDateTime start(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second), Qt::UTC);
        RecordingTelemetry &tel = read[r];
        if (tel.path.isEmpty())
            ReadRecordingTelemetry(m_list->rowPath(r), tel, nullptr);
        uint32_t last = 0;
        for (const CGSensorData &g : tel.samples)
            last = std::max(last, g.stampMs);
        for (const CGPSData &f : tel.fixes)
            last = std::max(last, f.stampMs);
        return RecordingSpan{start.toSecsSinceEpoch(), (tel.samples.empty() && tel.fixes.empty()) ? 0 : int64_t(last) + 100};
    };
    auto follows = [&](int a, int b) { return GroupTrips({span(a), span(b)}).size() == 1; };
    int first = row, last = row;
    while (first > 0 && follows(first - 1, first))
        --first;
    while (last + 1 < rows && follows(last, last + 1))
        ++last;
    m_trip = {first, last};
    std::vector<RecordingSpan> spans;
    for (int r = first; r <= last; ++r) {
        spans.push_back(span(r));
        TelemetryTrack<CGPSData> track;
        for (const CGPSData &f : read[r].fixes)
            track.append(f);
        m_tripTracks.push_back(std::move(track));
    }
    m_tripOffsetMs = TripOffsetMs(spans, {0, last - first}, row - first);
    m_tripLengthMs = TripLengthMs(spans, {0, last - first});
    m_tripSpans = spans;
    if (m_tripView)
        setTripView(true);
}

void CDrivoraViewerDlg::setTripView(bool on)
{
    m_tripView = on;
    std::vector<const TelemetryTrack<CGPSData> *> tracks;
    if (on && m_trip.last > m_trip.first)
        for (const TelemetryTrack<CGPSData> &t : m_tripTracks)
            tracks.push_back(&t);
    else
        tracks.push_back(&GpsTrack());
    m_map->showRoute(tracks);
    m_transport->UpdateTimeline();
    refreshTimelineSpan();
}

void CDrivoraViewerDlg::jumpToImpact(int direction)
{
    if (m_impacts.empty())
        return;
    const int64_t at = m_playerTransport->positionMs();
    auto target = [](const Impact &i) { return std::max<int64_t>(0, int64_t(i.stampMs) - 1000); };
    if (direction > 0) {
        for (const Impact &i : m_impacts)
            if (target(i) > at + 100) {
                m_transport->seekRequest(target(i));
                return;
            }
    } else {
        for (auto it = m_impacts.rbegin(); it != m_impacts.rend(); ++it)
            if (target(*it) < at - 500) {
                m_transport->seekRequest(target(*it));
                return;
            }
    }
}

void CDrivoraViewerDlg::keyPressEvent(QKeyEvent *event)
{
    if ((event->modifiers() & Qt::ControlModifier) && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        jumpToImpact(event->key() == Qt::Key_Right ? +1 : -1);
        event->accept();
        return;
    }
    if ((event->modifiers() & Qt::ControlModifier) && event->key() == Qt::Key_O) {
        command(ids::MenuOpen);
        event->accept();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space:
        m_transport->togglePlay();
        break;
    case Qt::Key_Period:
        command(ids::MenuFrameNext);
        break;
    case Qt::Key_Comma:
        command(ids::MenuFramePrevious);
        break;
    case Qt::Key_Home:
        command(ids::MenuToStart);
        break;
    case Qt::Key_End:
        command(ids::MenuToEnd);
        break;
    case Qt::Key_PageUp:
        command(ids::MenuPrevious);
        break;
    case Qt::Key_PageDown:
        command(ids::MenuNext);
        break;
    case Qt::Key_BracketRight:
        command(ids::MenuFaster);
        break;
    case Qt::Key_BracketLeft:
        command(ids::MenuSlower);
        break;
    case Qt::Key_M:
        command(ids::MenuMute);
        break;
    case Qt::Key_F11:
        command(ids::MenuFullScreen);
        break;
    case Qt::Key_F5:
        command(ids::MenuRefreshList);
        break;
    case Qt::Key_Escape:
        if (!m_videoFullScreen) {
            QWidget::keyPressEvent(event);
            return;
        }
        setVideoFullScreen(false);
        break;
    case Qt::Key_Left:
        m_transport->skipBack();
        break;
    case Qt::Key_Right:
        m_transport->skipForward();
        break;
    case Qt::Key_Up:
        m_transport->volumeUp();
        break;
    case Qt::Key_Down:
        m_transport->volumeDown();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept(); // consumed, also when it did nothing
}

void CDrivoraViewerDlg::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        if (event->position().x() < m_layout.listArea.left) {
            QMenu menu(this);
            FillMainContextMenu(menu, [this](int id) { command(id); }, m_tripView);
            // Where a desktop has no system menu on a frameless window, the
            // about item lives here.
            menu.addSeparator();
            connect(menu.addAction(QString::fromUtf8(ids::kProgramAboutItem)), &QAction::triggered, this,
                    [this] { command(ids::About); });
            menu.exec(event->globalPosition().toPoint());
        }
        return;
    }
    if (event->button() != Qt::LeftButton || isMaximized())
        return;
    m_frameDrag.press(event);
}

void CDrivoraViewerDlg::mouseMoveEvent(QMouseEvent *event)
{
    for (int id = ids::Open; id <= ids::Close; ++id)
        if (CDvButtonCtrl *b = m_buttons.value(id))
            b->clearHover();
    if (!m_frameDrag.follow(event) && !isMaximized())
        m_frameDrag.showCursor(event->position().toPoint());
}

void CDrivoraViewerDlg::mouseReleaseEvent(QMouseEvent *)
{
    m_frameDrag.release();
}

void CDrivoraViewerDlg::closeEvent(QCloseEvent *event)
{
    // The magnifier and the floating map go with the window.
    for (QWidget *w : findChildren<QWidget *>())
        if (w->isWindow())
            w->hide();
    saveRememberedState();
    QWidget::closeEvent(event);
}

void CDrivoraViewerDlg::toggleMaximised()
{
    if (isMaximized())
        showNormal();
    else
        showMaximized();
    m_list->updateScrollBar(isMaximized());
}

void CDrivoraViewerDlg::command(int id)
{
    TransportController &t = *m_transport;
    switch (id) {
    case ids::Open:
    case ids::MenuOpen:
        open();
        break;
    case ids::MenuFrameNext:
        t.frameStep(+1);
        break;
    case ids::MenuFramePrevious:
        t.frameStep(-1);
        break;
    case ids::MenuToStart:
        t.toStart();
        break;
    case ids::MenuToEnd:
        t.toEnd();
        break;
    case ids::MenuFullScreen:
        setVideoFullScreen(!m_videoFullScreen);
        break;
    case ids::MenuRefreshList:
        refreshList();
        break;
    case ids::Capture:
        capture();
        break;
    case ids::MenuExportGpxSelected:
    case ids::MenuExportGpxAll:
    case ids::MenuExportCsvSelected:
    case ids::MenuExportCsvAll:
        exportTelemetry(id);
        break;
    case ids::About: {
        CAboutDlg about(this);
        about.exec();
        break;
    }
    case ids::Minimise:
        showMinimized();
        break;
    case ids::Maximise:
        toggleMaximised();
        break;
    case ids::Close:
        close();
        break;
    case ids::Play:
        t.play();
        break;
    case ids::Pause:
        t.pause();
        break;
    case ids::MenuPlayPause:
        t.togglePlay();
        break;
    case ids::Previous:
    case ids::MenuPrevious:
        t.stepPrevious();
        break;
    case ids::Next:
    case ids::MenuNext:
        t.stepNext();
        break;
    case ids::Rewind:
        t.skipBack();
        break;
    case ids::Forward:
        t.skipForward();
        break;
    case ids::SpeedReset:
    case ids::MenuSpeedDefault:
        t.resetSpeed();
        break;
    case ids::BrightnessReset:
    case ids::MenuBrightnessDefault:
        t.resetBrightness();
        break;
    case ids::Mute:
    case ids::MenuMute:
        t.toggleMute();
        break;
    case ids::MenuFaster:
        t.speedStep(+10);
        break;
    case ids::MenuSlower:
        t.speedStep(-10);
        break;
    case ids::MenuDarker:
        t.brightnessStep(-10);
        break;
    case ids::MenuBrighter:
        t.brightnessStep(+10);
        break;
    case ids::MenuVolumeUp:
        t.volumeUp();
        break;
    case ids::MenuVolumeDown:
        t.volumeDown();
        break;
    case ids::ViewFrontButton:
        t.SetViewMode(TransportController::ViewFront);
        break;
    case ids::ViewRearButton:
        t.SetViewMode(TransportController::ViewRear);
        break;
    case ids::ViewAllButton:
        t.SetViewMode(TransportController::ViewAll);
        break;
    case ids::KindAllButton:
        selectCategory(KindAll, t.openFileName());
        break;
    case ids::KindNormalButton:
        selectCategory(KindNormal, t.openFileName());
        break;
    case ids::KindEventButton:
        selectCategory(KindEvent, t.openFileName());
        break;
    case ids::KindParkingButton:
        selectCategory(KindParking, t.openFileName());
        break;
    case ids::Map:
        m_map->undock();
        break;
    case ids::Setting:
        settings();
        break;
    case ids::MenuTripView:
        setTripView(!m_tripView);
        break;
    case ids::MenuNextImpact:
        jumpToImpact(+1);
        break;
    case ids::MenuPreviousImpact:
        jumpToImpact(-1);
        break;
    case ids::Print:
        report();
        break;
    case ids::Zoom:
        m_zoom->toggle();
        break;
    default:
        break; // Save is never shown
    }
}

void CDrivoraViewerDlg::open()
{
    QString folder;
    if (!BrowseForFolder(QString(), this, folder))
        return; // cancelled: nothing changes
    openPaths({folder});
}

void CDrivoraViewerDlg::openPaths(const QStringList &paths)
{
    ClearCatalogue();
    for (const QString &path : paths)
        AddRecordingPath(path);
    QStringList shown;
    for (const QString &path : paths)
        shown << QDir::toNativeSeparators(path);
    m_list->setEmptyText(QString::fromUtf8(ids::kListNoRecordings).arg(shown.join(QLatin1Char('\n'))));
    m_list->setFilterKind(KindAll);
    for (int id : {ids::KindAllButton, ids::KindNormalButton, ids::KindEventButton, ids::KindParkingButton}) {
        m_buttons.value(id)->setChecked(id == ids::KindAllButton);
        m_buttons.value(id)->redrawNow();
    }
    m_list->fill(KindAll);
    afterFill(true);
    followPaths(paths);
}

void CDrivoraViewerDlg::afterFill(bool playFirst)
{
    if (m_list->rows()->rowCount() == 0) {
        m_transport->ResetTransport(true);
        clearRecordingShown();
    } else {
        m_transport->ResetTransport(false);
        for (int id : {ids::ViewFrontButton, ids::ViewRearButton, ids::ViewAllButton})
            m_buttons.value(id)->show();
        if (playFirst)
            m_transport->PlayRecording(0);
    }
    refreshCategoryButtons();
}

void CDrivoraViewerDlg::selectCategory(int kind, const QString &keep)
{
    if (kind != KindAll && CountKind(kind) < 1)
        return;
    m_list->setFilterKind(kind);
    const QMap<int, int> buttons = {{KindAll, ids::KindAllButton},
                                    {KindNormal, ids::KindNormalButton},
                                    {KindEvent, ids::KindEventButton},
                                    {KindParking, ids::KindParkingButton}};
    for (auto it = buttons.cbegin(); it != buttons.cend(); ++it) {
        m_buttons.value(it.value())->setChecked(it.key() == kind);
        m_buttons.value(it.value())->redrawNow(); // also the one just clicked, drawn released
    }
    m_list->fill(kind);
    if (keep.isEmpty())
        return;
    const int row = m_list->findRow(keep);
    if (row >= 0) {
        m_list->selectRow(row);
        return;
    }
    m_list->selectRow(0);
    if (m_list->currentRow() != 0) {
        m_list->setCurrentRow(-1);
        if (m_list->rows()->rowCount() > 0)
            m_list->setCurrentRow(0);
    }
}

void CDrivoraViewerDlg::refreshCategoryButtons()
{
    std::map<int, bool> on = {{ids::KindAllButton, false},
                              {ids::KindNormalButton, false},
                              {ids::KindEventButton, false},
                              {ids::KindParkingButton, false}};
    for (const RecordingEntry &e : RecordingCatalogue::instance().entries()) {
        on[ids::KindAllButton] = true;
        if (e.kind == KindNormal)
            on[ids::KindNormalButton] = true;
        else if (e.kind == KindEvent)
            on[ids::KindEventButton] = true;
        else if (e.kind == KindParking)
            on[ids::KindParkingButton] = true;
    }
    for (const auto &[id, enabled] : on)
        setButtonEnabled(id, enabled);
}

void CDrivoraViewerDlg::capture()
{
    const int s = m_playerTransport->state();
    if (s != ITransport::Running && s != ITransport::Paused)
        return;
    m_playerTransport->pause();
    showPlayButton(true);
    PlaybackEngine *engine = m_player.engine();
    const QString folder = ViewerOptions::instance().saveDirectory;
    const QString name = m_list->currentFileName();
    // Named by the camera's clock at the picture, else by the computer's.
    QDateTime when = RecordingClockAt(name, m_playerTransport->positionMs());
    if (!when.isValid())
        when = QDateTime::currentDateTime();
    QStringList written, failed;
    for (int channel : {1, 2}) {
        if (channel == 2 && engine->videoCount() < 2)
            break;
        QImage picture;
        if (!engine->GrabFrame(channel - 1, picture))
            break;
        const QString path = SnapshotFileName(folder, name, when, channel);
        const QString why = SaveSnapshot(picture, path);
        if (why.isEmpty())
            written << path;
        else
            failed << path + QStringLiteral(": ") + why;
    }
    if (!failed.isEmpty()) {
        m_messages->inform(this, QString::fromUtf8(kViewerCaption),
                           QStringLiteral("사진을 저장하지 못했습니다.\n") + failed.join(QLatin1Char('\n')));
        return;
    }
    if (written.size() < 2)
        return; // one channel: written, nothing asked
    UiStringLibrary strings;
    if (!strings.load())
        return;
    if (m_messages->askYesNo(this, QString::fromUtf8(kViewerCaption),
                             written.join(QLatin1Char('\n')) + strings.text(ids::TextCaptureDone)))
        QDesktopServices::openUrl(QUrl::fromLocalFile(written.first().section(QLatin1Char('/'), 0, -2)));
}

void CDrivoraViewerDlg::setButtonEnabled(int id, bool on)
{
    if (CDvButtonCtrl *b = m_buttons.value(id)) {
        b->setEnabled(on);
        b->setEnabledState(on);
        b->redrawNow();
    }
}

// --- What the transport shows ------------------------------------------------

void CDrivoraViewerDlg::showScreens(bool front, bool rear)
{
    m_front->setShown(front);
    m_rear->setShown(rear);
    m_front->setVisible(front);
    m_rear->setVisible(rear);
    placeChildren();
}

void CDrivoraViewerDlg::showPlayButton(bool play)
{
    m_buttons.value(ids::Play)->setVisible(play);
    m_buttons.value(ids::Pause)->setVisible(!play);
}

void CDrivoraViewerDlg::setTransportEnabled(bool on)
{
    for (int id : {ids::Capture, ids::Print, ids::Previous, ids::Rewind, ids::Play, ids::Forward, ids::Next})
        setButtonEnabled(id, on);
    m_timeline->setEnabled(on);
    m_gText->gValid = on && m_gText->gValid;
    m_gText->update();
}

void CDrivoraViewerDlg::setTimeline(int64_t rangeMs, int64_t positionMs)
{
    const bool trip = tripTimeline() && rangeMs != 0;
    if (trip) {
        rangeMs = rangeMs >= 0 ? m_tripLengthMs : -1;
        positionMs += m_tripOffsetMs;
    }
    if (rangeMs >= 0)
        m_timeline->setRange(0, int(std::min<int64_t>(rangeMs, INT32_MAX)));
    if (!m_timeline->isSliderDown())
        m_timeline->setValue(int(std::clamp<int64_t>(positionMs, 0, INT32_MAX)));
    m_timeline->update();
}

void CDrivoraViewerDlg::setTimePanel(int64_t durationMs, int64_t positionMs, float rate)
{
    const bool trip = m_tripView && m_trip.last > m_trip.first;
    m_timeText->durationMs = trip ? m_tripLengthMs : durationMs;
    m_timeText->positionMs = trip ? m_tripOffsetMs + positionMs : positionMs;
    m_timeText->rate = rate;
    m_timeText->clock = durationMs > 0 ? RecordingClockAt(m_transport->openFileName(), positionMs) : QDateTime();
    m_timeText->update();
}

void CDrivoraViewerDlg::setVolumeShown(int level, bool muted)
{
    m_volume->setLevel(muted ? 0 : level);
    CDvButtonCtrl *mute = m_buttons.value(ids::Mute);
    const ids::ButtonRow &row = ids::MainButton(ids::Mute);
    if (muted)
        mute->setImages(row.images[2], row.images[3], 0, 0);
    else
        mute->setImages(row.images[0], row.images[1], 0, 0);
    mute->redrawNow();
}

void CDrivoraViewerDlg::setViewButtons(int mode)
{
    m_buttons.value(ids::ViewFrontButton)->setChecked(mode == TransportController::ViewFront);
    m_buttons.value(ids::ViewRearButton)->setChecked(mode == TransportController::ViewRear);
    m_buttons.value(ids::ViewAllButton)->setChecked(mode == TransportController::ViewAll);
    // Drawn at rest at once: the button just clicked was drawn released.
    for (int id : {ids::ViewFrontButton, ids::ViewRearButton, ids::ViewAllButton})
        m_buttons.value(id)->redrawNow();
    stateChanged();
}

void CDrivoraViewerDlg::setRearAvailable(bool on)
{
    for (int id : {ids::ViewRearButton, ids::ViewAllButton})
        setButtonEnabled(id, on);
}

void CDrivoraViewerDlg::setSpeedSlider(int position)
{
    const QSignalBlocker quiet(m_speed);
    m_speed->setValue(position);
}

void CDrivoraViewerDlg::setBrightnessSlider(int position)
{
    const QSignalBlocker quiet(m_brightness);
    m_brightness->setValue(position);
}

void CDrivoraViewerDlg::message(const QString &caption, const QString &text)
{
    m_messages->inform(this, caption, text);
}

void CDrivoraViewerDlg::recordingStarted(const QString &path, int64_t durationMs)
{
    const bool noPictures = m_player.engine() && m_player.engine()->noPictures();
    for (CDvScreenCtrl *screen : {m_front, m_rear})
        screen->setNotice(noPictures ? QString::fromUtf8(ids::kNoPicturesNotice) : QString());
    m_graph->setPlotSpanMs(uint32_t(std::max<int64_t>(durationMs, 0)));
    DrainTelemetry(m_player.engine() ? m_player.engine()->streamParser() : nullptr);
    // Impacts, at the threshold of the card's sensitivity; the strongest stands out.
    m_impacts = DetectImpacts(GSensorTrack().records(), ImpactThresholdG(CardSensitivityFor(path)));
    const int strongest = StrongestImpact(m_impacts);
    m_timeline->marks.clear();
    m_graph->impactsMs.clear();
    for (const Impact &i : m_impacts) {
        m_timeline->marks.push_back(int(i.stampMs));
        m_graph->impactsMs.push_back(i.stampMs);
    }
    m_timeline->strongestMark = m_graph->strongestImpact = strongest;
    m_graph->peakG = GSensorTrack().isEmpty() ? -1 : PeakAccelerationG(GSensorTrack().records());
    m_map->recordingLoaded(!GpsTrack().isEmpty());
    m_durationMs = durationMs;
    findTrip(path);
    m_graph->update();
    refreshTimelineSpan();
}

bool CDrivoraViewerDlg::tripTimeline() const
{
    return m_tripView && m_trip.last > m_trip.first && !m_tripSpans.empty();
}

void CDrivoraViewerDlg::refreshTimelineSpan()
{
    // In trip view the timeline covers the whole trip, as the time panel does.
    const int64_t offset = tripTimeline() ? m_tripOffsetMs : 0;
    m_timeline->marks.clear();
    for (const Impact &i : m_impacts)
        m_timeline->marks.push_back(int(std::min<int64_t>(offset + i.stampMs, INT32_MAX)));
    const int64_t range = tripTimeline() ? m_tripLengthMs : m_durationMs;
    m_timeline->setRange(0, int(std::clamp<int64_t>(range, 0, INT32_MAX)));
    if (!m_timeline->isSliderDown())
        m_timeline->setValue(int(std::clamp<int64_t>(offset + m_playerTransport->positionMs(), 0, INT32_MAX)));
    m_timeline->update();
}

void CDrivoraViewerDlg::seekTimeline(int value)
{
    if (!tripTimeline()) {
        m_transport->seekRequest(value);
        return;
    }
    const TripPlace place = TripPlaceAt(m_tripSpans, {0, int(m_tripSpans.size()) - 1}, value);
    if (place.index < 0)
        return;
    const int row = m_trip.first + place.index;
    if (row != m_list->currentRow()) {
        m_transport->PlayRecording(row);
        if (m_list->currentRow() != row)
            return; // it could not be played
    }
    m_transport->seekRequest(place.withinMs);
}

void CDrivoraViewerDlg::seekWhileDragging(int value)
{
    // The picture under the thumb as it moves: the latest place once the
    // window is free again, not a queue of every place passed.
    const bool queued = m_dragTarget >= 0;
    m_dragTarget = value;
    if (queued)
        return;
    QTimer::singleShot(0, this, [this] {
        const int target = std::exchange(m_dragTarget, -1);
        if (target >= 0 && m_timeline->isSliderDown())
            seekTimeline(target);
    });
}

void CDrivoraViewerDlg::clearRecordingShown()
{
    // Nothing open: no route, graph, speed, G values or place of the last one.
    GpsTrack().clear();
    GSensorTrack().clear();
    m_impacts.clear();
    m_trip = {-1, -1};
    m_tripTracks.clear();
    m_tripSpans.clear();
    m_durationMs = 0;
    m_graph->impactsMs.clear();
    m_graph->strongestImpact = -1;
    m_graph->peakG = -1;
    m_graph->update();
    m_timeline->marks.clear();
    m_timeline->update();
    m_map->recordingLoaded(false);
    m_gauge->setSpeed(0);
    m_gText->gValid = false;
    m_gText->update();
    m_positionText->positionValid = false;
    m_positionText->update();
    m_timeText->durationMs = m_timeText->positionMs = 0;
    m_timeText->update();
}

void CDrivoraViewerDlg::syncTelemetry(int64_t positionMs)
{
    m_map->updatePosition(positionMs);
    const uint32_t ms = uint32_t(std::max<int64_t>(positionMs, 0));
    double speed = 0;
    GetSpeedAt(ms, speed);
    m_gauge->setSpeed(speed);
    m_gText->gValid = GetAccelAt(ms, m_gText->gx, m_gText->gy, m_gText->gz);
    m_gText->update();
    float lat = 0, lon = 0;
    m_positionText->positionValid = GetPositionAt(ms, lat, lon);
    if (m_positionText->positionValid) {
        m_positionText->latitude = lat;
        m_positionText->longitude = lon;
    }
    m_positionText->update();
}

} // namespace drivora
