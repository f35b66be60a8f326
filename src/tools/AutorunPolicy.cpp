#include "tools/AutorunPolicy.h"

#include <string>

#include <cstdint>

#include "script/RegistryAccess.h"
#include "tools/RegistryText.h"

namespace vk::tools {

const std::array<AutorunBox, 6> kAutorunBoxes = {{
    {"chkARRemovable", "Disable AutoRun feature on Removable Drives. (Highly Recommended)", 0x04},
    {"chkARFixed", "Disable AutoRun feature on Hard Drives.", 0x08},
    {"chkARRemote", "Disable AutoRun feature on Remote/Network Drives. (Highly Recommended)", 0x10},
    {"chkARCDROM", "Disable AutoRun feature on CD-ROM drives.", 0x20},
    {"chkARRAM", "Disable AutoRun feature on RAM Drives.", 0x40},
    {"chkARUnknown", "Disable AutoRun feature on devices of Unknown type.", 0x80},
}};

std::uint32_t noDriveTypeAutoRun() {
    auto v = script::getRegValue(platform::kHkeyCurrentUser, kExplorerPolicyKey, kNoDriveTypeAutoRun);
    auto n = regValueNumber(v);
    if (!n || *n < INT32_MIN || *n > UINT32_MAX) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(*n));
}

DriveAutorunFlags getDriveTypeAutoRun() {
    std::uint32_t v = noDriveTypeAutoRun();
    auto on = [v](std::uint32_t bit) { return (v & bit) == 0; };
    return {on(0x80), on(0x04), on(0x08), on(0x10), on(0x20), on(0x40)};
}

void setDriveTypeAutoRun(std::uint32_t bit, bool disable) {
    std::uint32_t old = noDriveTypeAutoRun();
    std::uint32_t value = disable ? (old | bit) : (old & ~bit);
    // Written as the signed number CLng gives back.
    script::setRegValue(std::to_string(static_cast<std::int32_t>(value)), platform::kRegDword, kExplorerPolicyKey,
                        kNoDriveTypeAutoRun, platform::kHkeyCurrentUser);
}

}  // namespace vk::tools
