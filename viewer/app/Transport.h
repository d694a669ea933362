#pragma once

#include <QString>

#include <functional>
#include <utility>

#include <cstdint>

namespace drivora {

// Speed slider position (0..100) to playback rate: above 50, 1.0 + (p - 50) x
// 0.06; else 0.1 + p x 0.018; single-precision constants, double arithmetic,
// rounded to float (50 gives 0.99999994, shown "1.00").
float SliderToRate(int position);
// Brightness sent to the decoders for a slider position (50 neutral):
// (p - 50) x 5.1 with 5.1 as a float, truncated: 254 at 100, -254 at 0.
int BrightnessValueForSlider(int position);
// Volume level 0..10 to the player's volume percentage: 10 v - 1, in 0..99.
int LevelToPercent(int level);

// The player as the transport sees it: transport and picture calls, times in
// milliseconds. The window's player implements it; tests use a fake.
class ITransport {
public:
    enum State { Running = 0, Paused = 1, Stopped = 2, NoGraph = 3 };
    virtual ~ITransport() = default;
    virtual int state() const = 0;
    virtual bool open(const QString &path) = 0; // a new engine for the file
    // Why the file could not be opened or run: the second line of the
    // message (empty: none).
    virtual QString whyNotPlayed(const QString &path) const { (void)path; return {}; }
    virtual int32_t run() = 0;
    virtual int32_t pause() = 0;
    virtual int32_t stop() = 0;
    virtual bool seek(int64_t ms) = 0;
    virtual int64_t positionMs() = 0; // 0 when it cannot be read
    virtual int64_t durationMs() = 0; // 0 when it cannot be read
    virtual void setRate(float rate) = 0; // pause, store, run again if it was running
    virtual bool setVolume(int percent) = 0;
    virtual void applyBrightness(int sliderPosition) = 0;
    virtual void applyRearMirror(bool on) = 0;
    virtual int videoCount() = 0;
    // Pauses and shows the next (+1) or previous (-1) picture.
    virtual int32_t stepFrame(int direction) = 0;
};

// The list of recordings as the transport sees it.
class IPlaylist {
public:
    virtual ~IPlaylist() = default;
    virtual int rowCount() const = 0;
    virtual int currentRow() const = 0;
    virtual QString rowPath(int row) const = 0;
    virtual QString rowFileName(int row) const = 0;
    virtual void setCurrentRow(int row) = 0;
    virtual void selectRow(int row) = 0;
    virtual bool fileExists(const QString &path) const = 0;
};

// What the window shows and does for the transport.
class ITransportView {
public:
    virtual ~ITransportView() = default;
    virtual void showScreens(bool front, bool rear) = 0;
    virtual void showPlayButton(bool play) = 0; // true: Play shown, Pause hidden; false: the reverse
    virtual void setTransportEnabled(bool on) = 0; // Capture, Print, Prev, RW, Play, FF, Next, timeline
    virtual void setTimeline(int64_t rangeMs, int64_t positionMs) = 0; // rangeMs < 0: keep the range
    virtual void setTimePanel(int64_t durationMs, int64_t positionMs, float rate) = 0;
    virtual void setVolumeShown(int level, bool muted) = 0;
    virtual void setViewButtons(int mode) = 0; // checks exactly the button of the mode
    // The rear and both-channel buttons, usable only for a two-channel recording.
    virtual void setRearAvailable(bool on) = 0;
    virtual void setSpeedSlider(int position) = 0;
    virtual void setBrightnessSlider(int position) = 0;
    // A message box with an OK button: caption, text.
    virtual void message(const QString &caption, const QString &text) = 0;
    // A recording started: graph span, telemetry, map area.
    virtual void recordingStarted(const QString &path, int64_t durationMs) = 0;
    virtual void syncTelemetry(int64_t positionMs) = 0;
};

inline constexpr const char *kViewerCaption = "KVR-2650 Viewer";
inline constexpr const char *kCannotOpenText = "동영상을 플레이 할 수 없습니다.(002)";
inline constexpr const char *kCannotRunText = "동영상을 플레이 할 수 없습니다.(001)";

// The main window's transport rules: playing a row, the buttons, keys and
// menu items of playback, the 200 ms tick and the automatic advance.
class TransportController {
public:
    enum ViewMode { ViewFront = 1, ViewRear = 2, ViewAll = 3 };

    TransportController(ITransport &transport, IPlaylist &list, ITransportView &view);

    // Options: seconds skipped by RW and FF, mirror of the rear channel.
    void setPlayValue(int seconds) { m_playValue = seconds; }
    void setRearMirror(bool on) { m_rearMirror = on; }

    void PlayRecording(int row);
    bool StartRecordingFile(const QString &path);
    void ResetTransport(bool hideScreens);
    void EnableTransport();
    void DisableTransport();
    void UpdateTimeline();
    void SetViewMode(int mode);
    // The channels to show once a recording plays (a remembered view mode):
    // taken without a recording open; an unknown mode is ignored.
    void presetViewMode(int mode)
    {
        if (mode >= ViewFront && mode <= ViewAll)
            m_viewMode = mode;
    }

    // Commands.
    void play();              // 1013
    void pause();             // 1015
    void togglePlay();        // menu 32811, Space
    void stepPrevious();      // 1011, 32812
    void stepNext();          // 1016, 32813
    void skipBack();          // 1012, Left
    void skipForward();       // 1014, Right
    void resetSpeed();        // 1017, 32819
    void resetBrightness();   // 1018, 32816
    void speedStep(int by);   // 32817 (+10), 32818 (-10)
    void brightnessStep(int by); // 32815 (+10), 32814 (-10)
    void speedSliderMoved(int position);
    void brightnessSliderMoved(int position);
    void volumeUp();          // 32820, Up
    void volumeDown();        // 32821, Down
    void toggleMute();        // 1019, 32822
    void volumeChosen(int level); // message 2125
    void seekRequest(int64_t ms); // message 4025, timeline scroll codes 2..5
    void frameStep(int direction); // ".", "," and their menu items: paused, one picture on or back
    void toStart();                // Home
    void toEnd();                  // End: the last picture
    void rowActivated(int row);   // list double-click
    // The open recording broke while playing: the next row plays, unless
    // its file (or the card) has gone, which stops the playback and says so.
    void recordingBroke();
    // Setting (1005): a running playback pauses while `dialog` runs (true:
    // saved) and runs again after. After a save the skip interval and the
    // rear mirror of `saved()` take effect, the mirror at once on a playing
    // two-channel recording.
    void aroundSettings(const std::function<bool()> &dialog, const std::function<std::pair<int, bool>()> &saved);
    // Print (1004): pauses for the report; false (nothing done) while
    // stopped or before any recording. The playback stays paused after.
    bool pauseForReport();

    int viewMode() const { return m_viewMode; }
    // The mode shown: the front alone while a one-channel recording plays
    // (the chosen mode comes back with the next two-channel one).
    int shownViewMode() const { return m_channels < 2 ? int(ViewFront) : m_viewMode; }
    bool muted() const { return m_muted; }
    int volumeLevel() const { return m_volumeLevel; }
    int speedPosition() const { return m_speedPosition; }
    int brightnessPosition() const { return m_brightnessPosition; }
    float rateShown() const { return m_rateShown; }
    QString openFileName() const { return m_openFileName; }

private:
    bool engineActive() const; // neither stopped nor without a graph
    void step(int by);
    void skip(int64_t byMs);
    void applyRate(float rate);
    void showScreensForMode();

    ITransport &m_transport;
    IPlaylist &m_list;
    ITransportView &m_view;
    int m_playValue = 5;
    bool m_rearMirror = false;
    int m_viewMode = ViewFront;
    int m_channels = 2; // of the open recording
    bool m_muted = false;
    int m_volumeLevel = 5;
    int m_speedPosition = 50;
    int m_brightnessPosition = 50;
    float m_rateShown = 1.0f;
    QString m_openFileName;
    QString m_openPath;
    int m_ticksSinceCheck = 0;
    bool openFileGone(); // said and stopped when it has
    bool m_stepping = false;     // a step to another row is in progress
    bool m_failedInStep = false; // the row it started could not be played
};

} // namespace drivora
