#include "ZoomGeometry.h"

#include <algorithm>

namespace drivora {

QRect ZoomSourceRect(const QRect &screen, QSize client, QPoint pointer, int factor)
{
    if (factor <= 0)
        return {};
    // A source larger than the screen would start off it: the screen is all there is.
    const int sw = std::min(client.width() / factor, screen.width());
    const int sh = std::min(client.height() / factor, screen.height());
    if (sw <= 0 || sh <= 0)
        return {};
    int sx = pointer.x() - sw / 2, sy = pointer.y() - sh / 2;
    if (sx < screen.left())
        sx = screen.left();
    if (sy < screen.top())
        sy = screen.top();
    if (sx + sw > screen.left() + screen.width())
        sx = screen.left() + screen.width() - sw;
    if (sy + sh > screen.top() + screen.height())
        sy = screen.top() + screen.height() - sh;
    return QRect(sx, sy, sw, sh);
}

} // namespace drivora
