#pragma once

#include <QMenu>

#include <functional>

namespace drivora {

// The main context menu (open, play/pause, previous, next and the
// brightness, speed and volume sub-menus); each item carries its command id
// (32810-32822) as its data and calls `command` with it.
// After them, the viewer's own: frame steps, start and end, full screen,
// next and previous impact, and the trip view (checked when `tripView` is
// on). Each item with a key shows it after a tab.
void FillMainContextMenu(QMenu &menu, const std::function<void(int)> &command, bool tripView = false);

} // namespace drivora
