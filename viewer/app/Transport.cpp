#include "Transport.h"

#include "ViewerIds.h"

#include <algorithm>

namespace drivora {

float SliderToRate(int position)
{
    const double p = position;
    const double rate = position > 50 ? 1.0 + (p - 50) * double(0.06f) : double(0.1f) + p * double(0.018f);
    return float(rate);
}

int BrightnessValueForSlider(int position)
{
    // 5.1 as a 32-bit float is 5.0999999..., so the ends give +-254.
    return int(double(position - 50) * double(5.1f));
}

int LevelToPercent(int level)
{
    return std::clamp(10 * level - 1, 0, 99);
}

TransportController::TransportController(ITransport &transport, IPlaylist &list, ITransportView &view)
    : m_transport(transport), m_list(list), m_view(view)
{
}

bool TransportController::engineActive() const
{
    const int s = m_transport.state();
    return s != ITransport::Stopped && s != ITransport::NoGraph;
}

void TransportController::showScreensForMode()
{
    const int mode = shownViewMode();
    m_view.showScreens(mode != ViewRear, mode != ViewFront);
}

void TransportController::PlayRecording(int row)
{
    const QString path = m_list.rowPath(row);
    if (path.isEmpty())
        return;
    showScreensForMode();
    m_list.setCurrentRow(row);
    if (StartRecordingFile(path))
        m_view.showPlayButton(false);
    else
        m_view.showScreens(false, false);
}

bool TransportController::StartRecordingFile(const QString &path)
{
    QString failure;
    if (!m_transport.open(path))
        failure = QString::fromUtf8(kCannotOpenText);
    else if (m_transport.run() < 0)
        failure = QString::fromUtf8(kCannotRunText);
    if (!failure.isEmpty()) {
        const QString why = m_transport.whyNotPlayed(path);
        m_view.message(QString::fromUtf8(kViewerCaption), why.isEmpty() ? failure : failure + QLatin1Char('\n') + why);
        // The next row is tried: by the step in progress, or by a new one.
        // (A loop, not a call within a call: a card of a thousand damaged
        // files must not run the stack out.)
        if (m_stepping)
            m_failedInStep = true;
        else
            stepNext();
        return false;
    }
    m_openPath = path;
    m_ticksSinceCheck = 0;
    QString name = path;
    name.replace(QLatin1Char('/'), QLatin1Char('\\'));
    m_openFileName = name.mid(name.lastIndexOf(QLatin1Char('\\')) + 1);
    m_channels = m_transport.videoCount();
    m_view.setRearAvailable(m_channels > 1);
    m_view.setViewButtons(shownViewMode());
    showScreensForMode();
    EnableTransport();
    m_transport.setVolume(m_muted ? 0 : LevelToPercent(m_volumeLevel));
    m_transport.setRate(SliderToRate(m_speedPosition));
    m_transport.applyBrightness(m_brightnessPosition);
    m_view.recordingStarted(path, m_transport.durationMs());
    m_view.showPlayButton(false);
    return true;
}

void TransportController::ResetTransport(bool hideScreens)
{
    if (hideScreens)
        m_view.showScreens(false, false);
    m_transport.stop();
    m_view.showPlayButton(true);
    m_view.setTimeline(-1, 0);
    DisableTransport();
}

void TransportController::EnableTransport()
{
    m_view.setTransportEnabled(true);
    if (m_rearMirror && engineActive() && m_transport.videoCount() > 1)
        m_transport.applyRearMirror(true);
}

void TransportController::DisableTransport()
{
    m_view.setTransportEnabled(false);
}

void TransportController::UpdateTimeline()
{
    const int s = m_transport.state();
    const bool open = s == ITransport::Running || s == ITransport::Paused;
    const int64_t duration = open ? m_transport.durationMs() : 0;
    const int64_t position = open ? m_transport.positionMs() : 0;
    m_view.setTimePanel(duration, position, m_rateShown);
    // About once a second: is the file (the card) still there?
    if (open && ++m_ticksSinceCheck >= 5) {
        m_ticksSinceCheck = 0;
        if (openFileGone())
            return;
    }
    if (s != ITransport::Running)
        return;
    if (position >= duration || position < 0) {
        m_view.setTimeline(-1, position);
        stepNext(); // the end of the recording: on to the next
        return;
    }
    m_view.setTimeline(duration, position);
    m_view.syncTelemetry(position);
}

void TransportController::SetViewMode(int mode)
{
    if (!engineActive() || (m_channels < 2 && mode != ViewFront)) {
        m_view.setViewButtons(shownViewMode()); // a click on the current mode's button keeps it checked
        return;
    }
    m_viewMode = mode;
    m_view.setViewButtons(mode);
    showScreensForMode();
    if (m_transport.state() != ITransport::Running)
        m_transport.seek(m_transport.positionMs()); // the still picture, redrawn
}

void TransportController::play()
{
    const int s = m_transport.state();
    if (s == ITransport::Paused) {
        m_transport.run();
        m_view.showPlayButton(false);
    } else if (s == ITransport::Stopped) {
        const int row = m_list.currentRow();
        if (row >= 0 && !m_list.rowPath(row).isEmpty())
            PlayRecording(row);
    }
}

void TransportController::pause()
{
    if (m_transport.state() != ITransport::Running)
        return;
    m_transport.pause();
    m_view.showPlayButton(true);
}

void TransportController::aroundSettings(const std::function<bool()> &dialog,
                                         const std::function<std::pair<int, bool>()> &saved)
{
    const bool resume = m_transport.state() == ITransport::Running;
    if (resume)
        pause();
    if (dialog()) {
        const auto [playValue, rearMirror] = saved();
        m_playValue = playValue;
        m_rearMirror = rearMirror;
        if (engineActive() && m_transport.videoCount() > 1)
            m_transport.applyRearMirror(rearMirror);
    }
    if (resume && m_transport.state() == ITransport::Paused) {
        m_transport.run();
        m_view.showPlayButton(false);
    }
}

bool TransportController::pauseForReport()
{
    const int s = m_transport.state();
    if (s != ITransport::Running && s != ITransport::Paused)
        return false;
    if (s == ITransport::Running) {
        m_transport.pause();
        m_view.showPlayButton(true);
    }
    return true;
}

void TransportController::togglePlay()
{
    const int s = m_transport.state();
    if (s == ITransport::Running)
        pause();
    else if (s == ITransport::Paused)
        play();
}

void TransportController::step(int by)
{
    const bool outer = !m_stepping;
    m_stepping = true;
    for (;;) {
        m_failedInStep = false;
        const int rows = m_list.rowCount();
        const int current = m_list.currentRow();
        m_transport.stop();
        m_view.showPlayButton(true);
        m_view.setTimeline(-1, 0);
        DisableTransport();
        if (rows < 1 || current < 0) {
            m_view.showScreens(false, false);
            break;
        }
        const int target = current + by;
        if (target < 0) {
            m_view.showScreens(false, false);
            break;
        }
        if (target >= rows) { // past the last row: row 0 is selected, nothing plays
            m_list.selectRow(0);
            m_openFileName = m_list.rowFileName(0);
            m_view.showScreens(false, false);
            break;
        }
        if (!m_list.fileExists(m_list.rowPath(target))) {
            m_view.showScreens(false, false);
            break;
        }
        PlayRecording(target);
        if (!m_failedInStep)
            break;
        by = +1; // after a failure the next row is tried, whichever way the step went
    }
    if (outer)
        m_stepping = false;
}

void TransportController::stepPrevious()
{
    step(-1);
}

void TransportController::stepNext()
{
    step(+1);
}

void TransportController::skip(int64_t byMs)
{
    if (m_transport.state() != ITransport::Running)
        return;
    const int64_t position = m_transport.positionMs();
    const int64_t duration = m_transport.durationMs();
    const int64_t target = byMs < 0 ? std::max<int64_t>(position + byMs, 0) : std::min(position + byMs, duration);
    m_transport.seek(target);
    UpdateTimeline();
}

void TransportController::skipBack()
{
    skip(-int64_t(m_playValue) * 1000);
}

void TransportController::skipForward()
{
    skip(int64_t(m_playValue) * 1000);
}

void TransportController::applyRate(float rate)
{
    if (engineActive())
        m_transport.setRate(rate);
}

void TransportController::resetSpeed()
{
    m_rateShown = 1.0f;
    applyRate(1.0f);
    m_speedPosition = 50;
    m_view.setSpeedSlider(50);
}

void TransportController::resetBrightness()
{
    if (engineActive())
        m_transport.applyBrightness(50);
    m_brightnessPosition = 50;
    m_view.setBrightnessSlider(50);
}

void TransportController::speedStep(int by)
{
    speedSliderMoved(std::clamp(m_speedPosition + by, 0, 100));
    m_view.setSpeedSlider(m_speedPosition);
}

void TransportController::brightnessStep(int by)
{
    brightnessSliderMoved(std::clamp(m_brightnessPosition + by, 0, 100));
    m_view.setBrightnessSlider(m_brightnessPosition);
}

void TransportController::speedSliderMoved(int position)
{
    m_speedPosition = position;
    m_rateShown = SliderToRate(position);
    applyRate(m_rateShown);
}

void TransportController::brightnessSliderMoved(int position)
{
    m_brightnessPosition = position;
    if (engineActive())
        m_transport.applyBrightness(position);
}

void TransportController::volumeUp()
{
    if (m_volumeLevel + 1 > 10)
        return;
    ++m_volumeLevel;
    m_view.setVolumeShown(m_volumeLevel, m_muted);
    m_transport.setVolume(LevelToPercent(m_volumeLevel));
}

void TransportController::volumeDown()
{
    if (m_volumeLevel - 1 < 0)
        return;
    --m_volumeLevel;
    m_view.setVolumeShown(m_volumeLevel, m_muted);
    m_transport.setVolume(LevelToPercent(m_volumeLevel));
}

void TransportController::toggleMute()
{
    m_muted = !m_muted;
    m_transport.setVolume(m_muted ? 0 : LevelToPercent(m_volumeLevel));
    m_view.setVolumeShown(m_volumeLevel, m_muted);
}

void TransportController::volumeChosen(int level)
{
    m_volumeLevel = std::clamp(level, 0, 10);
    m_muted = false;
    m_view.setVolumeShown(m_volumeLevel, m_muted);
    m_transport.setVolume(LevelToPercent(m_volumeLevel));
}

void TransportController::seekRequest(int64_t ms)
{
    if (engineActive())
        m_transport.seek(ms);
}

void TransportController::frameStep(int direction)
{
    if (!engineActive())
        return;
    m_transport.stepFrame(direction);
    m_view.showPlayButton(true);
    const int64_t position = m_transport.positionMs();
    m_view.setTimeline(-1, position);
    m_view.setTimePanel(m_transport.durationMs(), position, m_rateShown);
    m_view.syncTelemetry(position);
}

void TransportController::toStart()
{
    seekRequest(0);
}

void TransportController::toEnd()
{
    if (!engineActive())
        return;
    // The last picture, paused: the end itself would start the next row.
    pause();
    m_transport.seek(std::max<int64_t>(m_transport.durationMs() - 1, 0));
    m_transport.stepFrame(+1);
    m_view.setTimeline(-1, m_transport.positionMs());
    m_view.syncTelemetry(m_transport.positionMs());
}

bool TransportController::openFileGone()
{
    if (m_openPath.isEmpty() || m_list.fileExists(m_openPath))
        return false;
    m_openPath.clear();
    ResetTransport(false);
    m_view.message(QString::fromUtf8(kViewerCaption), QString::fromUtf8(ids::kPlayingFileGone));
    return true;
}

void TransportController::recordingBroke()
{
    if (!openFileGone())
        stepNext();
}

void TransportController::rowActivated(int row)
{
    if (m_list.rowCount() > 0 && row >= 0 && m_list.rowPath(row).size() > 3)
        PlayRecording(row);
}

} // namespace drivora
