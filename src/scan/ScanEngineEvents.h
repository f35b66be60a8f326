#pragma once

#include <cstdint>
#include <string>

#include "scan/DetectionAction.h"

namespace vk::scan {

// The scan engine's six events, in their declaration order, and two more
// for displays that report results.
struct ScanEngineEvents {
    virtual ~ScanEngineEvents() = default;
    virtual void initializeLoading() {}
    virtual void finishedLoading() {}
    virtual void loadProgress(std::int16_t /*percent*/, const std::string& /*status*/) {}
    virtual void errorOccured(std::int32_t /*number*/, const std::string& /*description*/) {}
    virtual void scanningProgress(const std::string& /*fileScanned*/) {}
    // The handler leaves its choice in action; Ask (untouched) and Ignore leave the file alone.
    virtual void virusDetected(const std::string& /*fileScanned*/, const std::string& /*virusName*/,
                               DetectionAction& /*action*/) {}

    // After every detection: the action taken on it and whether it worked.
    virtual void detectionHandled(const std::string& /*fileScanned*/, const std::string& /*virusName*/,
                                  const DetectionOutcome& /*outcome*/) {}
    // A file or folder of a scan that could not be read, so it was not scanned.
    virtual void fileNotScanned(const std::string& /*path*/, const std::string& /*reason*/) {}
};

}  // namespace vk::scan
