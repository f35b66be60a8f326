#include "script/RegPath.h"

#include <array>
#include <string>

#include "platform/base/Text.h"

namespace vk::script {

std::optional<ParsedRegPath> parseRegPath(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, platform::RegHandle>, 10> kRoots = {{
        {"HKEY_CLASSES_ROOT", platform::kHkeyClassesRoot},
        {"HKCR", platform::kHkeyClassesRoot},
        {"HKEY_CURRENT_USER", platform::kHkeyCurrentUser},
        {"HKCU", platform::kHkeyCurrentUser},
        {"HKEY_LOCAL_MACHINE", platform::kHkeyLocalMachine},
        {"HKLM", platform::kHkeyLocalMachine},
        {"HKEY_USERS", platform::kHkeyUsers},
        {"HKUS", platform::kHkeyUsers},
        {"HKEY_PERFORMANCE_DATA", platform::kHkeyPerformanceData},
        {"HKPD", platform::kHkeyPerformanceData},
    }};
    std::size_t slash = text.find('\\');
    if (slash == std::string_view::npos) return std::nullopt;
    std::string rootName = base::asciiUpper(text.substr(0, slash));
    for (const auto& [name, handle] : kRoots) {
        if (rootName != name) continue;
        std::string_view rest = text.substr(slash + 1);
        std::size_t last = rest.rfind('\\');
        ParsedRegPath out{handle, {}, {}};
        if (last == std::string_view::npos) {
            out.lastComponent = std::string(rest);
        } else {
            out.parentSubKey = std::string(rest.substr(0, last));
            out.lastComponent = std::string(rest.substr(last + 1));
        }
        return out;
    }
    return std::nullopt;
}

}  // namespace vk::script
