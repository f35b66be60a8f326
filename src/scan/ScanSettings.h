#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "scan/DetectionAction.h"

namespace vk::scan {

class ScanEngine;

// The [ScanningOptions] of config.ini as the engine takes them.
struct ScanSettings {
    // Ask, Heal, Delete or Rename; nullopt when PerformAction names none of
    // them (the engine keeps asking and no option is chosen).
    std::optional<DetectionAction> action;
    std::int32_t fileSizeLimit = 10;
    bool filterFiles = true;
    std::string fileFilters;
    // Quarantine ("0" switches it off) and QuarantineSizeLimit in MB.
    bool quarantine = true;
    std::uint64_t quarantineSizeLimit = 1024;
};

ScanSettings readScanSettings(const std::string& configIni);
void applyScanSettings(const ScanSettings& settings, ScanEngine& engine);
// The quarantine heal and delete use, as the settings have it (off: none).
void applyQuarantineSettings(const ScanSettings& settings, ScanEngine& engine);
std::uint64_t quarantineBytes(const ScanSettings& settings);

// config.ini text for an engine action ("4" for ask).
std::string performActionText(DetectionAction action);

}  // namespace vk::scan
