#pragma once

#include <string>

namespace vk::script {

// GetSpecialFolder: the path of a CSIDL folder, "" when there is none.
std::string getSpecialFolder(int csidl);

}  // namespace vk::script
