#include "tools/ProgramStartEntry.h"

#include <filesystem>
#include <system_error>

#include "script/RegistryAccess.h"
#include "tools/AutostartEntries.h"
#include "tools/DesktopEntryFile.h"
#include "tools/StartupEntries.h"

namespace vk::tools {
namespace {

std::string desktopFilePath() {
    std::string folder = userAutostartFolder();
    return folder.empty() ? std::string() : folder + "/" + kProgramDesktopFile;
}

}  // namespace

std::string programStartCommand(const std::string& programPath) { return programPath + " /s"; }

bool programStartEnabled() {
    auto v = script::getRegValue(platform::kHkeyLocalMachine, kMachineRunKey, kProgramStartValue);
    if (const auto* text = std::get_if<std::string>(&v); text && !text->empty()) return true;
    std::string path = desktopFilePath();
    if (path.empty()) return false;
    auto file = DesktopEntryFile::load(path);
    return file && !file->isTrue("Hidden");
}

void setProgramStartEnabled(bool enabled, const std::string& programPath) {
    std::string path = desktopFilePath();
    std::error_code ec;
    if (!enabled) {
        script::deleteRegValue(platform::kHkeyLocalMachine, kMachineRunKey, kProgramStartValue);
        if (!path.empty()) std::filesystem::remove(path, ec);
        return;
    }
    script::setRegValue(programStartCommand(programPath), platform::kRegSz, kMachineRunKey, kProgramStartValue,
                        platform::kHkeyLocalMachine);
    if (path.empty()) return;
    auto file = DesktopEntryFile::load(path);
    if (!file) {
        file = DesktopEntryFile::parse(
            "[Desktop Entry]\nType=Application\nName=VandrelKast\n"
            "Comment=Watches removable drives for autorun worms\nTerminal=false\n");
    }
    file->set("Exec", execArgument(programPath) + " /s");
    if (file->get("Hidden")) file->set("Hidden", "false");
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    file->save(path);
}

}  // namespace vk::tools
