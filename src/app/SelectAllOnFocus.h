#pragma once

class QLineEdit;

namespace vk::app {

// Selects the whole text whenever the box gets the focus.
void selectAllOnFocus(QLineEdit* edit);

}  // namespace vk::app
