#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace vk::script {

// Names of the key's non-empty REG_SZ values in enumeration order, followed
// by one empty element; nullopt when the key cannot be opened with full access.
std::optional<std::vector<std::string>> enumRegStringValues(platform::RegHandle root,
                                                            std::string_view subKey);

}  // namespace vk::script
