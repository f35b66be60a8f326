#pragma once

#include <QWidget>
#include <string>

class QPlainTextEdit;

namespace vk::platform {
class Clipboard;
}
namespace vk::tools {
class ProcessList;
}

namespace vk::app {

class Dialogs;

// Page 8: a plain-text snapshot of the system for someone helping to
// diagnose an infection; nothing is written unless the user saves.
class LogAgentPage : public QWidget {
    Q_OBJECT
public:
    LogAgentPage(QWidget* parent, Dialogs& dialogs, tools::ProcessList& processes, platform::Clipboard& clipboard);

    void cmdTakeSS_Click();
    void cmdClipboard_Click();
    void cmdSaveLog_Click();
    // The box's text with its CR LF line ends.
    const std::string& logText() const { return log_; }

private:
    Dialogs& dialogs_;
    tools::ProcessList& processes_;
    platform::Clipboard& clipboard_;
    QPlainTextEdit* txtLogAgent_;
    std::string log_;
};

}  // namespace vk::app
