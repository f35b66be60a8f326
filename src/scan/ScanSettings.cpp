#include "scan/ScanSettings.h"

#include <memory>

#include "platform/IniProfile.h"
#include "platform/VbConversion.h"
#include "scan/Quarantine.h"
#include "scan/ScanEngine.h"

namespace vk::scan {

namespace {
constexpr const char* kSection = "ScanningOptions";
}

ScanSettings readScanSettings(const std::string& configIni) {
    ScanSettings s;
    std::string action = platform::getProfileString(configIni, kSection, "PerformAction", "4");
    if (action == "4") s.action = DetectionAction::Ask;
    else if (action == "1" || action == "2" || action == "3") s.action = detectionActionFromCode(action[0] - '0');

    std::string size = platform::getProfileString(configIni, kSection, "FileSizeLimit", "10");
    auto number = platform::parseVbNumber(size);
    s.fileSizeLimit = 1;  // shown and used as 1 when not a number
    if (number && *number >= 0 && *number <= 2147483647.0) s.fileSizeLimit = platform::toLong(*number);

    std::string filterFlag = platform::getProfileString(configIni, kSection, "FilterFileExtensions", "1");
    auto flag = platform::parseVbNumber(filterFlag);
    s.filterFiles = !flag || *flag == 1;

    s.fileFilters = platform::getProfileString(configIni, kSection, "FileFilters", ScanEngine::kDefaultFilter);

    auto quarantine = platform::parseVbNumber(platform::getProfileString(configIni, kSection, "Quarantine", "1"));
    s.quarantine = !quarantine || *quarantine != 0;
    auto cap = platform::parseVbNumber(platform::getProfileString(configIni, kSection, "QuarantineSizeLimit", "1024"));
    if (cap && *cap >= 0 && *cap <= 1e9) s.quarantineSizeLimit = static_cast<std::uint64_t>(*cap);
    return s;
}

std::uint64_t quarantineBytes(const ScanSettings& settings) { return settings.quarantineSizeLimit * 1048576u; }

void applyQuarantineSettings(const ScanSettings& settings, ScanEngine& engine) {
    engine.setQuarantine(settings.quarantine
                             ? std::make_shared<Quarantine>(Quarantine::defaultFolder(), quarantineBytes(settings))
                             : nullptr);
}

void applyScanSettings(const ScanSettings& settings, ScanEngine& engine) {
    if (settings.action) engine.setNeutralizeMethods(*settings.action);
    engine.setFileSizeLimit(settings.fileSizeLimit);
    engine.setFilterFiles(settings.filterFiles);
    engine.setFilter(settings.fileFilters);
    applyQuarantineSettings(settings, engine);
}

std::string performActionText(DetectionAction action) {
    return action == DetectionAction::Ask ? "4" : std::to_string(detectionActionCode(action));
}

}  // namespace vk::scan
