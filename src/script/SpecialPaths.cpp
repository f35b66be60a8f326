#include "script/SpecialPaths.h"

#include "platform/SpecialFolders.h"

namespace vk::script {

std::string getSpecialFolder(int csidl) { return platform::specialFolderPath(csidl); }

}  // namespace vk::script
