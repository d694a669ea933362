#pragma once

#include <QList>
#include <QRect>
#include <QSize>

namespace drivora {

// Where a window saved at `saved` opens on the screens now there (their
// available geometry, the primary first): on the screen it overlaps most, or
// on the primary when it overlaps none (a screen since unplugged), no larger
// than that screen (but never below `minimum`) and moved just enough to be
// whole on it. With no screen at all, `saved` as it is.
QRect PlaceOnScreens(const QRect &saved, const QList<QRect> &screens, QSize minimum);

} // namespace drivora
