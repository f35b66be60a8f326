#pragma once

#include <string>

#include "tools/ProcessList.h"

namespace vk::tools {

// Deletes path, but only while it still names the file identified (the
// executable a process ran), never through a symbolic link: a file swapped
// in under that name meanwhile is left alone. False when nothing was deleted.
bool deleteExecutable(const std::string& path, ExecutableIdentity identity);

}  // namespace vk::tools
