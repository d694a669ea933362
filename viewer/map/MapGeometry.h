// The floating map window's geometry as pure functions: where its children
// go, and (shared with the main window) its border zones and drags.
#pragma once

#include "app/MainWindowGeometry.h"

#include <QRect>
#include <QSize>

namespace drivora {

inline constexpr QSize kMapWindowMinimum{300, 300};
inline constexpr QRect kMapWindowStart{800, 100, 300, 300};
inline constexpr QSize kMapPictureSize{128, 158}; // both picture panels

struct MapWindowLayout {
    Box close, mapPanel, caption, position;
};
MapWindowLayout ComputeMapWindowLayout(QSize client);

// Where a picture of the given size sits centred in a panel (integer halves).
QPoint CentredPicture(QSize panel, QSize picture);

} // namespace drivora
