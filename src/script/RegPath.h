#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace vk::script {

struct ParsedRegPath {
    platform::RegHandle root;
    std::string parentSubKey;
    std::string lastComponent;
};

// ROOT\key\...\last; nullopt for an unknown root name or a path without "\".
std::optional<ParsedRegPath> parseRegPath(std::string_view text);

}  // namespace vk::script
