#pragma once

#include <string>
#include <string_view>

namespace vk::cli {

// Text from files (names, version strings) made safe for one terminal line:
// control characters, DEL and the C1 controls in UTF-8 become \xNN, so a
// hostile file cannot move the cursor, change the title or end the line.
std::string terminalSafe(std::string_view text);

}  // namespace vk::cli
