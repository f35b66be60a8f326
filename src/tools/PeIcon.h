#pragma once

#include <optional>
#include <string>

#include "tools/ByteSource.h"

namespace vk::tools {

// The first icon group (RT_GROUP_ICON) of a PE file as the bytes of an .ico
// file, the icon a Windows desktop shows for the program. nullopt when the
// file is no PE image, has no icon group, or none of the group's images is
// in the file.
std::optional<std::string> extractIcon(const ByteSource& file);
std::optional<std::string> extractIcon(const std::string& path);

}  // namespace vk::tools
