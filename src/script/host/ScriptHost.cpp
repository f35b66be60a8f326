#include "script/host/ScriptHost.h"

#include "platform/CodePage.h"

#include "script/host/FileSystemObject.h"
#include "script/host/ShellLinkObject.h"
#include "script/host/WScriptShell.h"
#include "script/vbs/Text.h"

namespace vk::script {

std::string scriptErrorText(std::int32_t number, std::string_view description) {
    std::string text = "KastScript Error:\r\n\r\nError Number:";
    text += std::to_string(number);
    text += "\r\nError Description: ";
    text += description;
    return text;
}

std::string scriptTextFromBytes(std::string_view bytes) { return platform::textFromUtf8OrAnsi(bytes); }

ScriptHost::ScriptHost(Console& console, platform::EventPump* pump, FolderPrompt* prompt)
    : io_(new VbsIo(pump)),
      process_(new VbsProcess(pump)),
      md5_(new VbsMd5(pump)),
      sha256_(new VbsSha256),
      fileIo_(new VbsFileIo(pump)) {
    io_->setConsole(&console);
    io_->setFolderPrompt(prompt);
    engine_.addObject("IO", io_, true);
    engine_.addObject("Process", process_);
    engine_.addObject("MD5Digest", md5_);
    engine_.addObject("SHA256", sha256_);
    engine_.addObject("FileIO", fileIo_);
    engine_.addObject("ShellLink", vbs::Ref<vbs::Object>(new ShellLinkObject));
    // A script that loops without Pause still lets the window breathe (and
    // Stop). The engine's first call comes at the very first statement, before
    // there is anything to show: skipped.
    if (pump)
        engine_.setPump([pump, first = true]() mutable {
            if (first) first = false;
            else pump->pump();
        });
    engine_.registerProgId("Scripting.FileSystemObject", [] { return vbs::Ref<vbs::Object>(new FileSystemObject); });
    engine_.registerProgId("WScript.Shell", [] { return vbs::Ref<vbs::Object>(new WScriptShell); });
}

vbs::ScriptResult ScriptHost::runScript(const std::string& text) {
    io_->resetStop();
    hostargs::ScopedPathNotices notices(io_->console());
    return engine_.executeStatement(text);
}

void ScriptHost::requestStop() {
    io_->stop();
    engine_.requestStop();
}

}  // namespace vk::script
