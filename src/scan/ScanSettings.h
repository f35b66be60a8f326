#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vk::scan {

class ScanEngine;

// The [ScanningOptions] of config.ini as the engine takes them.
struct ScanSettings {
    // 0 ask, 1 heal, 2 delete, 3 rename; nullopt when PerformAction names
    // none of them (the engine keeps asking and no option is chosen).
    std::optional<std::int32_t> action;
    std::int32_t fileSizeLimit = 10;
    bool filterFiles = true;
    std::string fileFilters;
};

ScanSettings readScanSettings(const std::string& configIni);
void applyScanSettings(const ScanSettings& settings, ScanEngine& engine);

// config.ini text for an engine action ("4" for ask).
std::string performActionText(std::int32_t action);

}  // namespace vk::scan
