#pragma once

#include <array>
#include <cstdint>

namespace vk::tools {

inline constexpr const char* kExplorerPolicyKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
inline constexpr const char* kNoDriveTypeAutoRun = "NoDriveTypeAutoRun";

// The bits of NoDriveTypeAutoRun the Autorun Manager handles; a set bit
// disables autorun for that drive type.
struct AutorunBox {
    const char* control;
    const char* caption;
    std::uint32_t bit;
};
// In the order the page shows and loads them.
extern const std::array<AutorunBox, 6> kAutorunBoxes;

// True where autorun is enabled: unknown, removable, fixed, remote, CD-ROM, RAM.
struct DriveAutorunFlags {
    bool unknown = true, removable = true, fixed = true, remote = true, cdRom = true, ram = true;
};

// The policy value; 0 when missing or not a number.
std::uint32_t noDriveTypeAutoRun();
DriveAutorunFlags getDriveTypeAutoRun();
// Sets or clears one bit, keeping every other bit; the value is replaced in a
// single write, so a refused write leaves the old policy in place.
void setDriveTypeAutoRun(std::uint32_t bit, bool disable);

}  // namespace vk::tools
