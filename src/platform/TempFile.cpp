#include "platform/TempFile.h"

#include <fcntl.h>
#include <stdlib.h>

#include "platform/SpecialFolders.h"

namespace vk::platform {

TempFile createTempFile(const std::string& prefix, const std::string& folder) {
    std::string path = (folder.empty() ? tempFolder() : folder) + "/" + prefix + "XXXXXX";
    int fd = ::mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) return {};
    return {fd, path};
}

}  // namespace vk::platform
