#pragma once

#include <string_view>

#include "script/Console.h"

namespace vk::script {

// The console's last line after a run the user stopped (Stop button, Ctrl-C).
inline constexpr std::string_view kScriptStoppedLine = "KastScript stopped before it finished.";

inline void appendStoppedLine(Console& console) { console.appendLine(kScriptStoppedLine); }

}  // namespace vk::script
