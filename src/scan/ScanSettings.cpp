#include "scan/ScanSettings.h"

#include "platform/IniProfile.h"
#include "platform/VbConversion.h"
#include "scan/ScanEngine.h"

namespace vk::scan {

namespace {
constexpr const char* kSection = "ScanningOptions";
}

ScanSettings readScanSettings(const std::string& configIni) {
    ScanSettings s;
    std::string action = platform::getProfileString(configIni, kSection, "PerformAction", "4");
    if (action == "4") s.action = 0;
    else if (action == "1" || action == "2" || action == "3") s.action = action[0] - '0';

    std::string size = platform::getProfileString(configIni, kSection, "FileSizeLimit", "10");
    auto number = platform::parseVbNumber(size);
    s.fileSizeLimit = 1;  // shown and used as 1 when not a number
    if (number && *number >= 0 && *number <= 2147483647.0) s.fileSizeLimit = platform::toLong(*number);

    std::string filterFlag = platform::getProfileString(configIni, kSection, "FilterFileExtensions", "1");
    auto flag = platform::parseVbNumber(filterFlag);
    s.filterFiles = !flag || *flag == 1;

    s.fileFilters = platform::getProfileString(configIni, kSection, "FileFilters", ScanEngine::kDefaultFilter);
    return s;
}

void applyScanSettings(const ScanSettings& settings, ScanEngine& engine) {
    if (settings.action) engine.setNeutralizeMethods(*settings.action);
    engine.setFileSizeLimit(settings.fileSizeLimit);
    engine.setFilterFiles(settings.filterFiles);
    engine.setFilter(settings.fileFilters);
}

std::string performActionText(std::int32_t action) {
    return action == 0 ? "4" : std::to_string(action);
}

}  // namespace vk::scan
