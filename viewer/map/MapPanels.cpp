#include "MapPanels.h"

#include "MapGeometry.h"
#include "app/ViewerIds.h"
#include "controls/Skin.h"
#include "controls/SkinnedControls.h"

#include <QMouseEvent>
#include <QPainter>

namespace drivora {
namespace {
const QColor kPictureGround(0x33, 0x33, 0x33);
const QColor kMapWindowGround(0x1E, 0x1E, 0x1E);
} // namespace

MapPicturePanel::MapPicturePanel(const char *className, int controlId, int picture, QWidget *parent)
    : QWidget(parent), m_picture(picture)
{
    setObjectName(QString::fromLatin1(className));
    setProperty("controlId", controlId);
    setGeometry(0, 0, 100, 100);
    hide();
}

void MapPicturePanel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), kPictureGround);
    const QPoint at = CentredPicture(size(), Skin::size(m_picture));
    DrawSkinPng(p, m_picture, at.x(), at.y());
}

CMapNoConnectedWnd::CMapNoConnectedWnd(QWidget *parent)
    : MapPicturePanel("DvNotConnectedWnd", ids::NoConnectionPanel, ids::PictureNoConnection, parent)
{
}

CMapNoDataWnd::CMapNoDataWnd(QWidget *parent)
    : MapPicturePanel("DvMapNoDataWnd", ids::NoDataPanel, ids::PictureNoData, parent)
{
}

CMapDlg::CMapDlg(QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint), m_drag(this, kMapWindowMinimum)
{
    setObjectName(QStringLiteral("MapWindow"));
    setWindowTitle(QString());
    setMinimumSize(kMapWindowMinimum);
    setMouseTracking(true);
    setGeometry(kMapWindowStart);
    m_close = new CDvButtonCtrl(this);
    m_close->setImages(18121, 18122, 18123, 0);
    m_close->setFixedSize(30, 24);
    m_close->setProperty("controlId", int(ids::MapWindowClose));
    connect(m_close, &QAbstractButton::clicked, this, &CMapDlg::closeRequested);
    m_mapPanel = new CDvMapPanelCtrl(this);
    m_mapPanel->setProperty("controlId", int(ids::MapWindowPanel));
    m_caption = new CDvTextCtrl(5, this);
    m_position = new CDvTextCtrl(6, this);
    for (CDvTextCtrl *t : {m_caption, m_position})
        t->background = kMapWindowGround;
    placeChildren();
    m_initialised = true;
}

void CMapDlg::placeChildren()
{
    const MapWindowLayout l = ComputeMapWindowLayout(size());
    m_close->move(l.close.left, l.close.top);
    m_mapPanel->setGeometry(l.mapPanel.rect());
    m_caption->setGeometry(l.caption.rect());
    m_position->setGeometry(l.position.rect());
}

void CMapDlg::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), kMapWindowGround);
}

void CMapDlg::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_initialised)
        placeChildren();
}

void CMapDlg::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_drag.press(event);
}

void CMapDlg::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_drag.follow(event))
        m_drag.showCursor(event->position().toPoint());
}

void CMapDlg::mouseReleaseEvent(QMouseEvent *)
{
    m_drag.release();
}

} // namespace drivora
