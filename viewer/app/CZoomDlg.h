// The magnifier: a small captioned window that shows the screen around the
// pointer three times larger, 25 times a second, without touching playback.
#pragma once

#include <QBasicTimer>
#include <QImage>
#include <QWidget>

namespace drivora {

class CZoomDlg : public QWidget {
    Q_OBJECT
public:
    explicit CZoomDlg(QWidget *owner);

    // The Zoom button: shows a hidden magnifier, hides a shown one.
    void toggle();
    bool isMagnifying() const { return m_shown; }

    // One tick's picture: the source around `pointer` (screen coordinates)
    // stretched over the client area, the window's own area grey. Null when
    // the client is too small to have a source.
    QImage magnify(QPoint pointer) const;
    // Copy the whole screen each tick and cut the source out of it (the old
    // way, kept to compare costs), instead of copying only the source.
    void setWholeScreenCopy(bool on) { m_wholeScreen = on; }
    // Pictures made by the timer so far.
    uint64_t ticks() const { return m_ticks; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    QImage source(const QRect &rect) const;
    // The source with the window's own area grey; null when there is none.
    QImage sourceAround(QPoint pointer) const;
    QImage ownWindows(const QRect &rect) const;

    bool m_shown = false;
    bool m_wholeScreen = false;
    uint64_t m_ticks = 0;
    QBasicTimer m_timer;
    QImage m_source; // the last tick's source, stretched when painted
};

} // namespace drivora
