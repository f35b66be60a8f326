#pragma once

#include <string>
#include <string_view>

namespace vk::script {

std::string getIniString(const std::string& file, std::string_view section, std::string_view key,
                         std::string_view fallback);
bool writeIniString(const std::string& file, std::string_view section, std::string_view key,
                    std::string_view value);

}  // namespace vk::script
