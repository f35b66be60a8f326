#pragma once

#include <string>

namespace vk::tools {

// "Launch VandrelKast everytime I start my computer.": the machine Run value
// "VandrelKast" and, for the Linux desktop, the autostart entry
// vandrelkast.desktop, both starting the program hidden in the tray ("/s").
inline constexpr const char* kProgramStartValue = "VandrelKast";
inline constexpr const char* kProgramDesktopFile = "vandrelkast.desktop";

// The Run value's data for the program at programPath.
std::string programStartCommand(const std::string& programPath);

// Either the Run value reads as non-empty text or the user's autostart entry
// exists and is not hidden.
bool programStartEnabled();

// Writes both (or removes both); errors are ignored, as each half is useful
// without the other.
void setProgramStartEnabled(bool enabled, const std::string& programPath);

}  // namespace vk::tools
