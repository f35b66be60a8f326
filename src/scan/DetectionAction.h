#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vk::scan {

// What is done with a detected file. The numbers of Ask to Rename are the
// engine's action codes; config.ini stores Ask as "4" (performActionText).
enum class DetectionAction : std::int32_t {
    Ask = 0,     // as a setting: raise virusDetected; as its answer: leave the file
    Heal = 1,    // deleted (after the quarantine keeps a copy), counted as healed
    Delete = 2,  // the same, counted as deleted
    Rename = 3,  // renamed to its name followed by ".vir"
    Ignore = 5,  // logged and counted as a detection only
};

// The action a code names; Ignore for any other code, as the engine always treated them.
DetectionAction detectionActionFromCode(std::int32_t code);
std::int32_t detectionActionCode(DetectionAction action);

// What became of one detection.
struct DetectionOutcome {
    DetectionAction action = DetectionAction::Ignore;  // the action tried (Ignore: none)
    bool succeeded = true;
    std::string failure;       // why not, when it failed
    std::string quarantineId;  // the copy kept before a heal or a delete
};

}  // namespace vk::scan
