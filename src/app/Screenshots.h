#pragma once

#include <QString>

namespace vk::app {

// Renders every page and dialog to PNG files in outDir (offscreen works);
// uses a scratch program folder so nothing of the user's is written. 0 on success.
int renderScreenshots(const QString& outDir);

}  // namespace vk::app
