#pragma once

#include <QMenu>

#include <functional>

namespace drivora {

// The main context menu (open, play/pause, previous, next and the
// brightness, speed and volume sub-menus); each item carries its command id
// (32810-32822) as its data and calls `command` with it.
void FillMainContextMenu(QMenu &menu, const std::function<void(int)> &command);

} // namespace drivora
