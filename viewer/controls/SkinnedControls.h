// The skinned controls of the viewer's windows: picture buttons, sliders,
// speed gauge, volume control, text panels, panels and the about box.
#pragma once

#include "app/ViewerIds.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QDialog>
#include <QPointer>
#include <QSlider>

#include <vector>
#include <QWidget>

#include <cstdint>

namespace drivora {

// Private messages between controls and the main window, by number.
inline constexpr int kMessageMapDetach = ids::MapDetach;  // a map panel's hosted window changed
inline constexpr int kMessageVolume = ids::VolumeChanged; // the volume control's level changed

// A push button drawn from skin images: normal, pressed, hover, disabled and
// checked pictures by id (0 = none).
class CDvButtonCtrl : public QAbstractButton {
    Q_OBJECT
public:
    explicit CDvButtonCtrl(QWidget *parent = nullptr);

    void setImages(int normal, int pressed, int hover, int disabled, int checkedImage = 0);
    void setChecked(bool on);
    bool isCheckedState() const { return m_checked; }
    // The button's own enabled flag; owners set the widget's too.
    void setEnabledState(bool on);
    bool isEnabledState() const { return m_enabled; }
    bool hovering() const { return m_hovering; }
    void clearHover() { m_hovering = false; }
    bool trackingRequested() const { return m_tracking; }
    int restImage() const;
    int shownImage() const { return m_shown ? m_shown : restImage(); }
    void redrawNow();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void drawNow(int id);
    int m_normal = 0, m_pressed = 0, m_hover = 0, m_disabled = 0, m_checkedImage = 0;
    bool m_checked = false, m_enabled = true, m_hovering = false, m_tracking = false;
    int m_shown = 0; // drawn for now instead of the rest image
};

// The timeline: channel, progress strip and thumb from skin images.
class CDvSliderCtrl : public QSlider {
    Q_OBJECT
public:
    explicit CDvSliderCtrl(QWidget *parent = nullptr);
    int channelImage = 1034, thumbImage = 1036, fillImage = 1055;
    QColor background = QColor(10, 10, 10);
    int margin = 15;
    // Marks above the channel (impacts): values on the slider's scale, and
    // the one drawn strongest (-1: none).
    std::vector<int> marks;
    int strongestMark = -1;

    // The width of the channel the value runs along.
    int channelWidth() const { return width() - 2 * margin; }

protected:
    void paintEvent(QPaintEvent *event) override;
    // A press jumps to where it is; dragging follows the pointer
    // (sliderMoved on each move, sliderReleased at the end).
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void follow(int x);
};

// The speed and brightness sliders.
class CDvSimpleSliderCtrl : public QSlider {
    Q_OBJECT
public:
    explicit CDvSimpleSliderCtrl(QWidget *parent = nullptr);
    int channelImage = 1040, thumbImage = 1042;
    QColor background = QColor(20, 20, 20);
    int margin = 15;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The speed gauge: the speed with one decimal, in digit images.
class CDvSpeedCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CDvSpeedCtrl(QWidget *parent = nullptr);
    void setSpeed(double speed); // km/h; shown in the gauge's unit
    double speed() const { return m_speed; }
    void setMiles(bool on);      // mph instead of km/h
    bool miles() const { return m_miles; }
    QImage render() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_speed = 0.0;
    bool m_miles = false;
};

// The volume control: levels 0 to 10, chosen by a click.
class CDvVolumeCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CDvVolumeCtrl(QWidget *parent = nullptr);
    int level() const { return m_level; }
    void setLevel(int level);
    QImage render() const;

signals:
    void levelChosen(int level); // message 2125 to the owner

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    int m_level = 5;
};

// A line of text of one of nine kinds.
class CDvTextCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CDvTextCtrl(int textKind, QWidget *parent = nullptr);
    int textKind;
    QColor background = QColor(10, 10, 10);
    int64_t durationMs = 0, positionMs = 0;
    float rate = 1.0f;
    float gx = 0, gy = 0, gz = 0;
    bool gValid = false;
    float latitude = 37.566498f, longitude = 126.977966f;
    bool positionValid = false; // a fix at the moment shown: else "-"
    QDateTime clock;            // kind 1: the camera's clock at the picture shown
    QImage render() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// A plain black panel.
class CDvPanelCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CDvPanelCtrl(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The host of the web map: keeps the hosted window filling it.
class CDvMapPanelCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CDvMapPanelCtrl(QWidget *parent = nullptr);
    // Message 2025: the window it now hosts (nullptr: none).
    void setHostedWindow(QWidget *window);
    QWidget *hostedWindow() const { return m_hosted; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPointer<QWidget> m_hosted;
};

// The about box.
class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget *parent = nullptr);
    CDvButtonCtrl *okButton() const { return m_ok; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    CDvButtonCtrl *m_ok;
};

} // namespace drivora
