#pragma once

#include <cstdint>
#include <string>

namespace vk::scan {

// The scan engine's six events, in their declaration order.
struct ScanEngineEvents {
    virtual ~ScanEngineEvents() = default;
    virtual void initializeLoading() {}
    virtual void finishedLoading() {}
    virtual void loadProgress(std::int16_t /*percent*/, const std::string& /*status*/) {}
    virtual void errorOccured(std::int32_t /*number*/, const std::string& /*description*/) {}
    virtual void scanningProgress(const std::string& /*fileScanned*/) {}
    // The handler leaves its choice in action (0 ignore, 1 heal, 2 delete, 3 rename).
    virtual void virusDetected(const std::string& /*fileScanned*/, const std::string& /*virusName*/,
                               std::int32_t& /*action*/) {}

    // Not one of the six: after every detection, the action taken on it and
    // whether the file operation worked, for displays that report results.
    virtual void detectionHandled(const std::string& /*fileScanned*/, const std::string& /*virusName*/,
                                  std::int32_t /*action*/, bool /*succeeded*/) {}
};

}  // namespace vk::scan
