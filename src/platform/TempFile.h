#pragma once

#include <string>

namespace vk::platform {

struct TempFile {
    int fd = -1;       // open for reading and writing, owned by the caller
    std::string path;  // empty on failure
};

// Creates a new file with an unpredictable name in folder (default: the
// temporary folder), exclusively, readable only by the user.
TempFile createTempFile(const std::string& prefix, const std::string& folder = {});

}  // namespace vk::platform
