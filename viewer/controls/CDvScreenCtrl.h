#pragma once

#include "playback/VideoWindow.h"

#include <QWidget>

#include <atomic>

namespace drivora {

// The video window of one channel: shows the channel's latest picture
// stretched over its whole client area.
class CDvScreenCtrl : public QWidget, public IVideoWindow {
    Q_OBJECT
public:
    explicit CDvScreenCtrl(QWidget *parent = nullptr);

    void attachFrames(const FrameSlot *slot) override;
    void frameArrived() override;
    void repaintVideo() override { update(); }
    QSize clientSize() const override { return size(); }

    // What the screen says while it has no picture (empty: nothing).
    void setNotice(const QString &text);
    QString notice() const { return m_notice; }

    bool shown() const { return m_shown; }
    void setShown(bool shown) { m_shown = shown; }

signals:
    void doubleClicked(); // on the picture: full screen in or out

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    std::atomic<const FrameSlot *> m_frames{nullptr};
    std::atomic<bool> m_updatePending{false};
    bool m_shown = false;
    QString m_notice;
};

} // namespace drivora
