#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vk::platform {

// Longest value a profile read returns (a 2,000-byte buffer less its NUL).
inline constexpr std::size_t kIniValueLimit = 1999;

// A parsed INI text with the Win32 profile lookup rules: section and key names
// compared without regard to ASCII case, the first matching section and key
// win, names and values trimmed of blanks, values cut to kIniValueLimit.
// Lookups are hashed so reading every key of a large file stays linear.
class IniDocument {
public:
    IniDocument();
    ~IniDocument();
    IniDocument(IniDocument&&) noexcept;
    IniDocument& operator=(IniDocument&&) noexcept;

    static IniDocument parse(std::string_view text);

    std::optional<std::string_view> find(std::string_view section, std::string_view key) const;
    std::string get(std::string_view section, std::string_view key,
                    std::string_view fallback) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// GetPrivateProfileString: the default when the file, section or key is missing.
// Parsed files are cached by path and modification stamp.
std::string getProfileString(const std::string& file, std::string_view section,
                             std::string_view key, std::string_view fallback);

// WritePrivateProfileString: creates the file and the section as needed;
// written atomically under an advisory lock. False when the file cannot be written.
bool writeProfileString(const std::string& file, std::string_view section,
                        std::string_view key, std::string_view value);

}  // namespace vk::platform
