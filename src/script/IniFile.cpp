#include "script/IniFile.h"

#include "platform/IniProfile.h"

namespace vk::script {

std::string getIniString(const std::string& file, std::string_view section, std::string_view key,
                         std::string_view fallback) {
    return platform::getProfileString(file, section, key, fallback);
}

bool writeIniString(const std::string& file, std::string_view section, std::string_view key,
                    std::string_view value) {
    return platform::writeProfileString(file, section, key, value);
}

}  // namespace vk::script
