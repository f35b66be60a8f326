#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vk::platform {

// The whole content of a regular file; nullopt when it cannot be opened or
// read, or is not a regular file (a FIFO would block forever).
std::optional<std::string> readFileBytes(const std::string& path,
                                         std::uint64_t limit = UINT64_MAX);

}  // namespace vk::platform
