#include "tools/RegistryTweaks.h"

#include "platform/base/Text.h"
#include "script/RegistryAccess.h"
#include "tools/ProcessList.h"
#include "tools/RegistryText.h"

namespace vk::tools {
namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;
constexpr const char* kSystemPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char* kAdvanced = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";
constexpr const char* kExplorerPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
constexpr const char* kIeMain = "Software\\Microsoft\\Internet Explorer\\Main";
constexpr const char* kWinlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
using T = TweakCheck::Test;

}  // namespace

const std::array<TweakCheck, kTweakCheckCount> kTweakChecks = {{
    {"chkTaskMgr", "Enable &Task Manager", kHkeyCurrentUser, kSystemPolicies, "DisableTaskMgr", 0, 1, T::NotOne, true},
    {"chkRegedit", "Enable &Registry Editor", kHkeyCurrentUser, kSystemPolicies, "DisableRegistryTools", 0, 1,
     T::NotOne, true},
    {"chkWEShowFile", "Show hidden files", kHkeyCurrentUser, kAdvanced, "Hidden", 1, 0, T::IsOne, false},
    {"chkWEShowSys", "Show system files", kHkeyCurrentUser, kAdvanced, "ShowSuperHidden", 1, 0, T::IsOne, false},
    {"chkWEFileExt", "Show file extensions", kHkeyCurrentUser, kAdvanced, "HideFileExt", 0, 1, T::NotOne, false},
    {"chkWEFolOpt", "Enable Folder Options*", kHkeyLocalMachine, kExplorerPolicies, "NoFolderOptions", 0, 1,
     T::NotOne, true},
    {"chkWECtrlPanel", "Enable Control Panel*", kHkeyLocalMachine, kExplorerPolicies, "NoControlPanel", 0, 1,
     T::IsZero, true},
    {"chkWEShowRun", "Show Run menu*", kHkeyCurrentUser, kExplorerPolicies, "NoRun", 0, 1, T::IsZero, true},
    {"chkWESetFolder", "Enable SetFolders*", kHkeyCurrentUser, kExplorerPolicies, "NoSetFolders", 0, 1, T::IsZero,
     true},
    {"chkWETrayMenu", "Enable Tray Context menus*", kHkeyCurrentUser, kExplorerPolicies, "NoTrayContextMenu", 0, 1,
     T::IsZero, true},
    {"chkIELockHome", "&Lock IE Homepage.", kHkeyCurrentUser,
     "Software\\Policies\\Microsoft\\Internet Explorer\\Control Panel", "Homepage", 1, 0, T::IsOne, false},
}};

const std::array<TweakText, kTweakTextCount> kTweakTexts = {{
    {"txtIEHomepage", "Internet Explorer &Homepage:", kHkeyCurrentUser, kIeMain, "Start Page", TweakText::Blank::Write},
    {"txtIECaption", "Internet Explorer &Window Title:", kHkeyCurrentUser, kIeMain, "Window Title",
     TweakText::Blank::Delete},
    {"txtShell", "Shell Run String:", kHkeyLocalMachine, kWinlogon, "Shell", TweakText::Blank::Write},
    {"txtUserinit", "Userinit Run String:", kHkeyLocalMachine, kWinlogon, "Userinit", TweakText::Blank::Write},
}};

std::optional<bool> readTweak(const TweakCheck& tweak) {
    auto n = regValueNumber(script::getRegValue(tweak.root, tweak.key, tweak.valueName));
    if (!n) return std::nullopt;
    switch (tweak.test) {
        case T::NotOne: return *n != 1;
        case T::IsOne: return *n == 1;
        case T::IsZero: return *n == 0;
    }
    return std::nullopt;
}

void writeTweak(const TweakCheck& tweak, bool checked) {
    script::setRegValue(std::to_string(checked ? tweak.whenChecked : tweak.whenUnchecked), platform::kRegDword,
                        tweak.key, tweak.valueName, tweak.root);
}

std::string readTweakText(const TweakText& tweak) {
    return regValueText(script::getRegValue(tweak.root, tweak.key, tweak.valueName));
}

void writeTweakText(const TweakText& tweak, const std::string& text) {
    if (tweak.blank == TweakText::Blank::Delete && text.find_first_not_of(' ') == std::string::npos) {
        script::deleteRegValue(tweak.root, tweak.key, tweak.valueName);
        return;
    }
    script::setRegValue(text, platform::kRegSz, tweak.key, tweak.valueName, tweak.root);
}

std::optional<std::string> restartShell(ProcessList& processes,
                                        const std::function<void(const std::string&)>& start) {
    processes.refresh();
    for (std::int64_t i = 0; i <= processes.count(); ++i) {
        std::string path = processes.exePath(i);
        if (base::asciiLower(path).find("explorer.exe") == std::string::npos) continue;
        processes.terminateProcessItem(i);
        start(path);
        return path;
    }
    return std::nullopt;
}

}  // namespace vk::tools
