#pragma once

#include "script/host/HostObjects.h"

class QWidget;

namespace vk::app {

class Dialogs;

// ShowScanFileDialog of the script host: the folder prompt (frmScanPrompt)
// shown modally over the main window.
class ScriptFolderPrompt final : public script::FolderPrompt {
public:
    ScriptFolderPrompt(QWidget* owner, Dialogs& dialogs) : owner_(owner), dialogs_(dialogs) {}
    std::optional<std::string> ask() override;

private:
    QWidget* owner_;
    Dialogs& dialogs_;
};

}  // namespace vk::app
