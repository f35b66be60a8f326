#pragma once

#include <string>
#include <string_view>

namespace vk::net {

// The mail client's per-user settings: section "Settings" of the
// application "PostWarden", kept as an INI file in $XDG_CONFIG_HOME/vandrelkast/.
class MailSettingsStore {
public:
    MailSettingsStore();
    explicit MailSettingsStore(std::string file) : file_(std::move(file)) {}

    std::string read(std::string_view key, std::string_view fallback) const;
    bool write(std::string_view key, std::string_view value) const;
    const std::string& file() const { return file_; }

private:
    std::string file_;
};

}  // namespace vk::net
