#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vk::platform {

// Longest value a profile read returns, in characters (a 2,000-character
// buffer less its NUL); a value is never cut inside a character.
inline constexpr std::size_t kIniValueLimit = 1999;

// A parsed INI text with the Win32 profile lookup rules: section and key names
// compared without regard to ASCII case, the first matching section and key
// win, names and values trimmed of blanks, values cut to kIniValueLimit characters.
// Lookups are hashed so reading every key of a large file stays linear.
class IniDocument {
public:
    IniDocument();
    ~IniDocument();
    IniDocument(IniDocument&&) noexcept;
    IniDocument& operator=(IniDocument&&) noexcept;

    // Copies the text; fromText takes it over instead (no copy of a large payload).
    // A UTF-8 BOM is skipped, a UTF-16LE text (with BOM) is converted to UTF-8;
    // only the first 4 GiB of a text are read.
    static IniDocument parse(std::string_view text);
    static IniDocument fromText(std::string text);

    std::size_t sectionCount() const;  // distinct section names
    std::size_t keyCount() const;      // keys that a lookup can reach

    // The value as a profile read returns it (cut at a NUL, one pair of matching
    // quotes removed, cut to kIniValueLimit); nullopt when the key is missing
    // or its line has no "=".
    std::optional<std::string_view> find(std::string_view section, std::string_view key) const;
    // find(), or the fallback less its trailing blanks as the profile read returns it.
    std::string get(std::string_view section, std::string_view key,
                    std::string_view fallback) const;

    // One section looked up once, for reading many keys of it.
    struct SectionRef {
        std::uint32_t index;
    };
    std::optional<SectionRef> section(std::string_view name) const;
    std::optional<std::string_view> find(SectionRef section, std::string_view key) const;
    // With no section, every key reads as its fallback.
    std::string get(std::optional<SectionRef> section, std::string_view key, std::string_view fallback) const;

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
// Refuses (false) names and values holding a line break, key names holding
// "=" or starting with "[" or ";": they would read back as other keys.
bool writeProfileString(const std::string& file, std::string_view section,
                        std::string_view key, std::string_view value);

// The edit writeProfileString makes, applied to a text in memory (UTF-8, or
// UTF-16LE with its BOM, which stays UTF-16LE); nullopt for what it refuses.
std::optional<std::string> setProfileStringInText(std::string_view text, std::string_view section,
                                                  std::string_view key, std::string_view value);

// Forgets every cached parse (tests; files are re-checked on every read anyway).
void clearProfileCache();

}  // namespace vk::platform
