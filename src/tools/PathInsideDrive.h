#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vk::tools {

// Where a path that a shortcut or an autorun file names lies on the drive
// mounted at root, or nullopt when it may lie anywhere else: a drive letter
// or UNC path (the stick's letter on the infected machine is unknown), an
// absolute path outside root, any ".." component, a folder on the way that
// is a symbolic link or not a folder, or the root itself. Backslashes and
// slashes both separate; "." components and doubled separators are dropped.
// The result is root + "/" + the components; the last need not exist.
std::optional<std::string> pathInsideDrive(const std::string& root, std::string_view path);

}  // namespace vk::tools
