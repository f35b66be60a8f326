#pragma once

#include <QIcon>
#include <QPixmap>

namespace vk::app {

// The program's logo (the same drawing as data/icons/vandrelkast.svg).
QPixmap logoPixmap(int size);
QIcon appIcon();
// One frame (0..3) of the scanning animation.
QPixmap scanningFrame(int frame, int size);

}  // namespace vk::app
