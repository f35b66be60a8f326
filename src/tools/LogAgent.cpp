#include "tools/LogAgent.h"

#include <cstring>

#include "Version.h"
#include "platform/AtomicFile.h"
#include "platform/base/Text.h"
#include "script/EnumReg.h"
#include "script/RegistryAccess.h"
#include "tools/AutostartEntries.h"
#include "tools/ProcessList.h"
#include "tools/RegistryText.h"
#include "tools/StartupEntries.h"

namespace vk::tools {
namespace {

using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

struct ConfigLine {
    const char* label;
    platform::RegHandle root;
    const char* key;
    const char* valueName;
};

const ConfigLine kConfigLines[] = {
    {"HKCU\\Software\\Microsoft\\Internet Explorer\\Main\\\"Start Page\" = ", kHkeyCurrentUser,
     "Software\\Microsoft\\Internet Explorer\\Main", "Start Page"},
    {"HKCU\\Software\\Microsoft\\Internet Explorer\\Main\\\"Window Title\" = ", kHkeyCurrentUser,
     "Software\\Microsoft\\Internet Explorer\\Main", "Window Title"},
    {"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\\"Hidden\" = ", kHkeyCurrentUser,
     "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "Hidden"},
    {"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\\"HideFileExt\" = ", kHkeyCurrentUser,
     "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "HideFileExt"},
    {"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\\"ShowSuperHidden\" = ",
     kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", "ShowSuperHidden"},
    {"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\\"NoFolderOptions\" = ",
     kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoFolderOptions"},
    {"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\\"NoDriveTypeAutoRun\" = ",
     kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer", "NoDriveTypeAutoRun"},
    {"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\\"DisableTaskMgr\" = ", kHkeyCurrentUser,
     "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DisableTaskMgr"},
    {"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\\"DisableRegistryTools\" = ",
     kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", "DisableRegistryTools"},
};

constexpr const char* kWinlogon = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

std::string value(platform::RegHandle root, const char* key, const std::string& name) {
    return regValueText(script::getRegValue(root, key, name));
}

void appendRunKey(std::string& log, platform::RegHandle root) {
    const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    auto names = script::enumRegStringValues(root, key, platform::kKeyRead);
    if (!names) return;
    for (const auto& name : *names)
        if (!name.empty()) appendLogLine(log, name + ": " + value(root, key, name));
}

std::string shortDate(std::time_t now) {
    std::tm parts{};
    localtime_r(&now, &parts);
    char buffer[128];
    std::size_t n = std::strftime(buffer, sizeof buffer, "%x", &parts);
    return std::string(buffer, n);
}

}  // namespace

void appendLogLine(std::string& log, const std::string& line) {
    if (log.empty()) log = line;
    else log += "\r\n" + line;
}

std::string takeSystemSnapshot(ProcessList& processes, std::time_t now) {
    std::string log;
    appendLogLine(log, kLogSeparator);
    appendLogLine(log, "VandrelKast Log Agent");
    appendLogLine(log, kLogSeparator);
    appendLogLine(log, "\r\n");
    appendLogLine(log, "VandrelKast Version: " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
                           "." + std::to_string(kVersionRevision) + " Beta");
    appendLogLine(log, "Current System Date: " + shortDate(now));
    appendLogLine(log, "\r\n");
    appendLogLine(log, "Running Processes:");
    appendLogLine(log, kLogSeparator);
    processes.refresh();
    for (std::int64_t i = 0; i <= processes.count(); ++i) appendLogLine(log, processes.exePath(i));
    appendLogLine(log, kLogSeparator);
    appendLogLine(log, "Startup List");
    appendLogLine(log, kLogSeparator);
    appendLogLine(log, "Winlogon Shell: " + value(kHkeyLocalMachine, kWinlogon, "Shell"));
    appendLogLine(log, "Winlogon Userinit: " + value(kHkeyLocalMachine, kWinlogon, "Userinit"));
    appendRunKey(log, kHkeyLocalMachine);
    appendRunKey(log, kHkeyCurrentUser);
    appendLogLine(log, kLogSeparator);
    appendLogLine(log, "Critical System Configuration");
    appendLogLine(log, kLogSeparator);
    for (const auto& line : kConfigLines) appendLogLine(log, line.label + value(line.root, line.key, line.valueName));
    appendLogLine(log, kLogSeparator);
    appendLogLine(log, "Linux Autostart");
    appendLogLine(log, kLogSeparator);
    for (const auto& e : listAutostartEntries())
        appendLogLine(log, e.path + ": " + e.exec + (e.enabled() ? "" : " (disabled)"));
    appendLogLine(log, kLogSeparator);
    appendLogLine(log, "\r\n");
    appendLogLine(log, "Finished logging.");
    return log;
}

std::string logFileName(const std::string& chosen) {
    if (base::asciiLower(chosen).ends_with(".txt")) return chosen;
    return chosen + ".txt";
}

std::string saveLog(const std::string& path, const std::string& log) {
    int err = platform::atomicReplaceFile(path, log + "\r\n", 0644);
    return err == 0 ? std::string() : std::string(std::strerror(err));
}

}  // namespace vk::tools
