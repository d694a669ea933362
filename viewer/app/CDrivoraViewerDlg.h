#pragma once

#include "MainWindowGeometry.h"
#include "MapArea.h"
#include "catalogue/FolderWatch.h"
#include "catalogue/Impacts.h"
#include "catalogue/Trips.h"
#include "MessageBox.h"
#include "Transport.h"
#include "ViewerIds.h"
#include "controls/FramelessDrag.h"
#include "report/ReportPrinter.h"
#include "settings/CSettingDlg.h"
#include "settings/ViewerState.h"
#include "playback/PlayerFront.h"

#include <QElapsedTimer>
#include <QMap>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace drivora {

struct FileDigest;

// How a command given from the command line (or handed over by a second
// start) went: done or not, and the message the window would have shown.
struct CommandOutcome {
    bool ok = false;
    QString message;
};

class CDvButtonCtrl;
class CDvGsensorCtrl;
class CDvListCtrl;
class CDvMapPanelCtrl;
class CDvScreenCtrl;
class CDvSimpleSliderCtrl;
class CDvSliderCtrl;
class CDvSpeedCtrl;
class CDvTextCtrl;
class CDvVolumeCtrl;
class CZoomDlg;

// The viewer's main window: frameless and skinned, the recording list, both
// channels, the G-sensor graph, the transport row, the map area.
class CDrivoraViewerDlg : public QWidget, private ITransportView {
    Q_OBJECT
public:
    explicit CDrivoraViewerDlg(QWidget *parent = nullptr);
    ~CDrivoraViewerDlg() override;

    // Folders and files as a drop on the list: catalogue, list, row 0 plays.
    void openPaths(const QStringList &paths);
    void setMessageBox(IMessageBox *box) { m_messages = box; }
    // The map that fills the map area (the window keeps its own null one).
    void setMapArea(IMapArea *map)
    {
        m_map = map ? map : &m_noMap;
        keepInputWithTheWindow();
    }
    // The parts of the map area that a map drives.
    MapHost mapHost() const;
    CZoomDlg *zoomWindow() const { return m_zoom; }
    // What the settings dialog uses (drives, format, messages, folder
    // picker), and how it runs (modal by default; true: saved).
    CSettingDlg::Services &settingsServices() { return m_settingsServices; }
    void setSettingsRunner(std::function<bool(CSettingDlg &)> run) { m_runSettings = std::move(run); }
    // How an export's file is chosen (a save dialog by default): the
    // suggested path in, the chosen one out (empty: cancelled).
    void setExportFileChooser(std::function<QString(const QString &suggested)> choose) { m_chooseExportFile = std::move(choose); }
    // The list menu's exports (ids::MenuExport...): reads on a worker thread
    // while a cancellable progress dialog shows.
    CommandOutcome exportTelemetry(int commandId);
    // How the report's printer is chosen (the printer dialog by default).
    void setPrinterChoice(IPrinterChoice *choice) { m_printerChoice = choice ? choice : m_defaultPrinterChoice.get(); }
    // Whether the system has a printer (asked at each print; where it has
    // none the dialog is preset to a PDF file in the picture folder).
    void setPrintersInstalled(std::function<bool()> installed) { m_printersInstalled = std::move(installed); }
    // The commands of the command line and of a second start, without any
    // dialog: the report of the moment on screen into a PDF file, the whole
    // list's export (.csv: CSV, else GPX).
    CommandOutcome printReportTo(const QString &file);
    CommandOutcome exportListTo(const QString &file);
    // Shown, restored and in front (a second start handed paths over).
    void bringToFront();

    TransportController &transport() { return *m_transport; }
    // The open recording's impacts, in time order.
    const std::vector<Impact> &impacts() const { return m_impacts; }
    // Seeks to a second before the next (+1) or previous (-1) impact.
    void jumpToImpact(int direction);
    // The trip view: the map shows the whole trip's route and the time
    // panel the position within the trip.
    void setTripView(bool on);
    bool tripView() const { return m_tripView; }
    // The open recording's trip: its rows in the list (first, last).
    Trip currentTrip() const { return m_trip; }
    CDvListCtrl *list() const { return m_list; }
    PlayerFront &player() { return m_player; }
    CDvButtonCtrl *button(int id) const { return m_buttons.value(id); }
    const MainLayout &layout() const { return m_layout; }
    void command(int id); // a button or menu command by id
    // The video area alone on the whole screen (F11, a double-click on the
    // picture; Esc leaves).
    void setVideoFullScreen(bool on);
    bool videoFullScreen() const { return m_videoFullScreen; }
    // Keeps the keyboard and dropped files with the window (and the list,
    // for drops): no control takes them, the map's view, once it is plugged
    // in, included.
    void keepInputWithTheWindow();

    // What the viewer remembers from one run to the next (ViewerState, in
    // the option file's folder): read when the window is made, saved when it
    // changes and when the window closes. Runs that make a picture or a file
    // and quit neither read nor write it (set before the window is made).
    static void setRememberAcrossRuns(bool on);
    // The screens' available areas, the primary first (tests: the screens of
    // another desk; empty: the system's).
    static void setScreenAreasForTesting(const QList<QRect> &areas);
    const ViewerState &rememberedState() const { return m_state; }
    // The last folder opened, when it is still there (nothing was given on
    // the command line): true when it was opened.
    bool reopenLastFolder();
    // Saves what is remembered now; false (and a warning) when the file could
    // not be written, the old one then being left as it was.
    bool saveRememberedState();
    // Reads the list again from the folders opened (F5; by itself when they
    // change), the playing row staying the playing row.
    void refreshList();
    FolderWatch &folderWatch() { return m_folderWatch; }
    // The folder named above the list, in full.
    QString folderShown() const;

signals:
    // An export's progress, once the dialog shows it: recordings read of all.
    void exportProgressed(int done, int total);
    // The report's reading of its recording, once its dialog shows it:
    // bytes read of all.
    void reportDigestProgressed(qint64 done, qint64 total);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool event(QEvent *event) override;

private:
    // ITransportView
    void showScreens(bool front, bool rear) override;
    void showPlayButton(bool play) override;
    void setTransportEnabled(bool on) override;
    void setTimeline(int64_t rangeMs, int64_t positionMs) override;
    void setTimePanel(int64_t durationMs, int64_t positionMs, float rate) override;
    void setVolumeShown(int level, bool muted) override;
    void setViewButtons(int mode) override;
    void setRearAvailable(bool on) override;
    void setSpeedSlider(int position) override;
    void setBrightnessSlider(int position) override;
    void message(const QString &caption, const QString &text) override;
    void recordingStarted(const QString &path, int64_t durationMs) override;
    void syncTelemetry(int64_t positionMs) override;

    void createChildren();
    void placeChildren();
    void setButtonEnabled(int id, bool on);
    void open();
    void afterFill(bool playFirst);
    void selectCategory(int kind, const QString &keep);
    void refreshCategoryButtons();
    void capture();
    void settings();
    CommandOutcome report();
    FileDigest digestForReport(const QString &source);
    void toggleMaximised();

    PlayerFront m_player;
    std::unique_ptr<ITransport> m_playerTransport;
    std::unique_ptr<IPlaylist> m_playlist;
    std::unique_ptr<TransportController> m_transport;
    IMessageBox *m_messages = nullptr;
    NoMapArea m_noMap;
    IMapArea *m_map = &m_noMap;
    std::unique_ptr<IMessageBox> m_defaultMessages;

    QMap<int, CDvButtonCtrl *> m_buttons;
    CDvScreenCtrl *m_front = nullptr, *m_rear = nullptr;
    CDvSliderCtrl *m_timeline = nullptr;
    CDvSimpleSliderCtrl *m_speed = nullptr, *m_brightness = nullptr;
    CDvVolumeCtrl *m_volume = nullptr;
    CDvSpeedCtrl *m_gauge = nullptr;
    CDvGsensorCtrl *m_graph = nullptr;
    CDvListCtrl *m_list = nullptr;
    CDvMapPanelCtrl *m_mapPanel = nullptr;
    QWidget *m_noConnection = nullptr, *m_noData = nullptr;
    CZoomDlg *m_zoom = nullptr;
    std::vector<Impact> m_impacts;
    bool m_tripView = false;
    Trip m_trip{-1, -1};
    int64_t m_tripOffsetMs = 0, m_tripLengthMs = 0;
    std::vector<TelemetryTrack<CGPSData>> m_tripTracks;
    std::vector<RecordingSpan> m_tripSpans; // the trip's recordings, its first at 0
    int64_t m_durationMs = 0;               // of the open recording
    int m_dragTarget = -1;                  // where a drag of the timeline goes next
    bool m_videoFullScreen = false, m_wasMaximised = false;
    QRect m_normalGeometry; // before full screen
    QWidget *m_fullScreenGround = nullptr;
    void findTrip(const QString &path);
    bool tripTimeline() const; // the timeline covers the trip
    void refreshTimelineSpan();
    void seekTimeline(int value);
    void seekWhileDragging(int value);
    void clearRecordingShown();
    SystemVolumes m_systemVolumes;
    SystemFormatter m_systemFormatter;
    CSettingDlg::Services m_settingsServices;
    std::function<bool(CSettingDlg &)> m_runSettings;
    std::unique_ptr<IPrinterChoice> m_defaultPrinterChoice;
    IPrinterChoice *m_printerChoice = nullptr;
    std::function<bool()> m_printersInstalled;
    std::function<QString(const QString &)> m_chooseExportFile;
    CDvTextCtrl *m_timeText = nullptr, *m_gText = nullptr, *m_mapLabel = nullptr, *m_positionText = nullptr,
                *m_listLabel = nullptr;
    QTimer m_tick;
    MainLayout m_layout;
    bool m_layoutReady = false;
    bool m_channelButtonsShown = false;

    FramelessDrag m_frameDrag{this, {kMainMinWidth, kMainMinHeight}};

    // Remembered from run to run, and the list that follows its folders.
    void setupRemembering();
    void stateChanged(); // saved once the changes settle
    void followPaths(const QStringList &paths);
    void leaveVanishedRow();
    ViewerState m_state;
    bool m_remembering = false;
    QTimer m_stateSave;
    FolderWatch m_folderWatch{ids::kFolderSettleMs};
    QString m_keptVanished; // the playing row kept though its file has gone
    QWidget *m_folderName = nullptr;
};

} // namespace drivora
