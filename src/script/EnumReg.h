#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace vk::script {

// Names of the key's non-empty REG_SZ values in enumeration order, followed
// by one empty element; nullopt when the key cannot be opened with the access
// asked for. Scripts ask for full access; listings ask for reading only, so a
// key the user may only read is still listed.
std::optional<std::vector<std::string>> enumRegStringValues(platform::RegHandle root,
                                                            std::string_view subKey,
                                                            std::uint32_t access = platform::kKeyAllAccess);

}  // namespace vk::script
