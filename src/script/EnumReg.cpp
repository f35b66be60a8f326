#include "script/EnumReg.h"

namespace vk::script {
namespace {
// RegEnumValueA is called with a 1,024-character name buffer and a 1,024-byte
// data buffer; a value that does not fit ends the enumeration.
constexpr std::size_t kNameBuffer = 1024;
constexpr std::size_t kDataBuffer = 1024;
}  // namespace

std::optional<std::vector<std::string>> enumRegStringValues(platform::RegHandle root, std::string_view subKey,
                                                            std::uint32_t access) {
    platform::Registry& reg = platform::systemRegistry();
    platform::RegHandle key = 0;
    if (reg.openKey(root, subKey, access, key) != platform::kErrorSuccess) return std::nullopt;
    std::vector<std::string> names;
    for (std::uint32_t index = 0;; ++index) {
        std::string name, data;
        std::uint32_t type = 0;
        if (reg.enumValue(key, index, name, type, data) != platform::kErrorSuccess) break;
        if (name.size() >= kNameBuffer || data.size() > kDataBuffer) break;
        if (type == platform::kRegSz && !name.empty()) names.push_back(std::move(name));
    }
    reg.closeKey(key);
    names.emplace_back();
    return names;
}

}  // namespace vk::script
