#include "scan/DetectionAction.h"

namespace vk::scan {

DetectionAction detectionActionFromCode(std::int32_t code) {
    switch (code) {
        case 0: return DetectionAction::Ask;
        case 1: return DetectionAction::Heal;
        case 2: return DetectionAction::Delete;
        case 3: return DetectionAction::Rename;
        default: return DetectionAction::Ignore;
    }
}

std::int32_t detectionActionCode(DetectionAction action) { return static_cast<std::int32_t>(action); }

}  // namespace vk::scan
