// What the magnifier copies: the rectangle around the pointer, a third of its
// client size, kept on the screen.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace drivora {

inline constexpr int kZoomFactor = 3;
inline constexpr QRect kZoomWindowStart{850, 465, 425, 330};
inline constexpr unsigned kZoomOwnAreaGrey = 0x969696;

// The source rectangle in screen coordinates (`screen` is the screen's
// geometry): client / factor in size, centred on the pointer, pushed inside
// the screen at the top and left first, then at the right and bottom. Empty
// when the client is smaller than the factor in either direction; never
// larger than the screen.
QRect ZoomSourceRect(const QRect &screen, QSize client, QPoint pointer, int factor = kZoomFactor);

} // namespace drivora
