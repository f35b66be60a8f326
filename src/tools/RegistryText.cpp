#include "tools/RegistryText.h"

#include "platform/VbConversion.h"

namespace vk::tools {

std::string regValueText(const script::RegValue& value) {
    if (const auto* n = std::get_if<std::int32_t>(&value)) return std::to_string(*n);
    return std::get<std::string>(value);
}

std::optional<double> regValueNumber(const script::RegValue& value) {
    if (const auto* n = std::get_if<std::int32_t>(&value)) return *n;
    return platform::parseVbNumber(std::get<std::string>(value));
}

}  // namespace vk::tools
