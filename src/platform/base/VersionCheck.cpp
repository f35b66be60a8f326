#include "platform/base/VersionCheck.h"

#include <vector>

#include "Version.h"

namespace vk::base {
namespace {

std::vector<std::string_view> splitDots(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        auto dot = text.find('.', start);
        parts.push_back(text.substr(start, dot == std::string_view::npos ? text.npos : dot - start));
        if (dot == std::string_view::npos) break;
        start = dot + 1;
    }
    return parts;
}

}  // namespace

std::optional<bool> compareVersionParts(std::string_view current, std::string_view required) {
    auto own = splitDots(current);
    auto need = splitDots(required);
    for (std::size_t i = 0; i < 3; ++i) {
        if (i >= own.size() || i >= need.size()) return std::nullopt;
        int order = own[i].compare(need[i]);  // byte order = character-code order
        if (order > 0) return true;
        if (order < 0) return false;
    }
    return true;
}

std::string programVersion() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

}  // namespace vk::base
