#include "script/host/ScriptHost.h"

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

namespace {

bool isUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 9;
        if (n == 9 || (n == 1 && c < 0xC2) || (n == 3 && c > 0xF4) || i + n >= s.size() + (n ? 0 : 1)) return false;
        for (std::size_t k = 1; k <= n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n + 1;
    }
    return true;
}

}  // namespace

std::string scriptTextFromBytes(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    if (isUtf8(bytes)) return std::string(bytes);
    std::u16string wide;
    wide.reserve(bytes.size());
    for (char c : bytes) wide.push_back(vbs::cp1252ToUnicode(static_cast<unsigned char>(c)));
    return vbs::utf16ToUtf8(wide);
}

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
    return engine_.executeStatement(text);
}

void ScriptHost::requestStop() {
    io_->stop();
    engine_.requestStop();
}

}  // namespace vk::script
