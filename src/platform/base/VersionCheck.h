#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vk::base {

// Compares dotted versions part by part as text in ordinal order (so "10"
// sorts before "9"); the first differing part decides, three equal parts are
// compatible, parts after the third are ignored. nullopt when the comparison
// needs a part one side lacks.
std::optional<bool> compareVersionParts(std::string_view current, std::string_view required);

// The program's own version, "1.4.0".
std::string programVersion();

}  // namespace vk::base
