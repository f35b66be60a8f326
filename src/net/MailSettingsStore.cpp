#include "net/MailSettingsStore.h"

#include <cstdlib>
#include <filesystem>

#include "platform/IniProfile.h"

namespace vk::net {
namespace {

std::string configHome() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) return xdg;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/.config";
}

}  // namespace

MailSettingsStore::MailSettingsStore() : file_(configHome() + "/vandrelkast/PostWarden.ini") {}

std::string MailSettingsStore::read(std::string_view key, std::string_view fallback) const {
    return platform::getProfileString(file_, "Settings", key, fallback);
}

bool MailSettingsStore::write(std::string_view key, std::string_view value) const {
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(file_).parent_path(), ignored);
    return platform::writeProfileString(file_, "Settings", key, value);
}

}  // namespace vk::net
