#include "WindowPlacement.h"

#include <algorithm>

namespace drivora {

QRect PlaceOnScreens(const QRect &saved, const QList<QRect> &screens, QSize minimum)
{
    if (screens.isEmpty() || saved.isEmpty())
        return saved;
    QRect screen = screens.first();
    qint64 most = 0;
    for (const QRect &s : screens) {
        const QRect common = s.intersected(saved);
        const qint64 area = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        if (area > most) {
            most = area;
            screen = s;
        }
    }
    const int w = std::max(minimum.width(), std::min(saved.width(), screen.width()));
    const int h = std::max(minimum.height(), std::min(saved.height(), screen.height()));
    // Whole on the screen where it fits; its top left corner on it where not.
    const int x = std::max(screen.left(), std::min(saved.x(), screen.left() + screen.width() - w));
    const int y = std::max(screen.top(), std::min(saved.y(), screen.top() + screen.height() - h));
    return QRect(x, y, w, h);
}

} // namespace drivora
