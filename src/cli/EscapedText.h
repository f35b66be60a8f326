#pragma once

#include <string>
#include <string_view>

namespace vk::cli {

// A file name as one harmless line: control characters as \n, \r, \t, \e or
// \xHH and a backslash as \\, so that a name cannot start a line of its own
// ("... FOUND") or send escape sequences to the terminal. Other bytes
// (UTF-8 included) pass as they are.
std::string escapeControls(std::string_view text);

}  // namespace vk::cli
