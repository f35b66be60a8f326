#include "app/ScriptFolderPrompt.h"

#include "app/ScanDialogs.h"
#include "app/TextFit.h"

namespace vk::app {

std::optional<std::string> ScriptFolderPrompt::ask() {
    ScanPromptDialog prompt(owner_, dialogs_);
    prompt.result.clear();
    prompt.folder.clear();
    prompt.exec();
    if (prompt.result == QLatin1String("success")) return toBytes(prompt.folder);
    return std::nullopt;
}

}  // namespace vk::app
