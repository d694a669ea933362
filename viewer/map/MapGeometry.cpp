#include "MapGeometry.h"

namespace drivora {

MapWindowLayout ComputeMapWindowLayout(QSize client)
{
    const int w = client.width(), h = client.height();
    MapWindowLayout l;
    l.close = Box::at(w - 40, 5, 30, 24);
    l.mapPanel = Box::at(5, 35, w - 10, h - 65);
    l.caption = Box::at(5, 10, 50, 20);
    l.position = Box::at(5, h - 26, 300, 20);
    return l;
}

QPoint CentredPicture(QSize panel, QSize picture)
{
    return {(panel.width() - picture.width()) / 2, (panel.height() - picture.height()) / 2};
}

} // namespace drivora
