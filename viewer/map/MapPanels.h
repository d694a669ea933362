// The map area's windows that need no web engine: the two picture panels
// that stand in for the map, and the floating map window.
#pragma once

#include "controls/FramelessDrag.h"

#include <QWidget>

namespace drivora {

class CDvButtonCtrl;
class CDvMapPanelCtrl;
class CDvTextCtrl;

// A grey panel with its picture centred (picture 155 or 148).
class MapPicturePanel : public QWidget {
public:
    MapPicturePanel(const char *className, int controlId, int picture, QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_picture;
};

// No internet connection.
class CMapNoConnectedWnd final : public MapPicturePanel {
public:
    explicit CMapNoConnectedWnd(QWidget *parent);
};

// The recording has no GPS data.
class CMapNoDataWnd final : public MapPicturePanel {
public:
    explicit CMapNoDataWnd(QWidget *parent);
};

// The floating map window: frameless, 300 x 300 at least, its caption, the
// map panel and the latitude and longitude line on grey 0x1E1E1E; its close
// button docks the map again.
class CMapDlg : public QWidget {
    Q_OBJECT
public:
    explicit CMapDlg(QWidget *owner);

    CDvMapPanelCtrl *mapPanel() const { return m_mapPanel; }
    CDvTextCtrl *positionPanel() const { return m_position; }
    CDvButtonCtrl *closeButton() const { return m_close; }

signals:
    void closeRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void placeChildren();

    CDvButtonCtrl *m_close;
    CDvMapPanelCtrl *m_mapPanel;
    CDvTextCtrl *m_caption, *m_position;
    FramelessDrag m_drag;
    bool m_initialised = false;
};

} // namespace drivora
