#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "platform/Registry.h"

namespace vk::script {

// Failures are reported as the platform code plus this offset.
inline constexpr long kRegStatusOffset = 30061;

// A REG_SZ read is text, a REG_DWORD read a number; anything else reads as "".
using RegValue = std::variant<std::string, std::int32_t>;

// Drops one leading "\" and a full root name (case-sensitive) from the front.
void normalizeRegPath(std::string& path);

RegValue getRegValue(platform::RegHandle root, std::string subKey, std::string_view valueName);

// type 1 writes text, 4 the text converted as CLng (throws platform::RuntimeError
// 13/6 when it is not a number); other types write nothing and report 0.
// Creates the key once when it cannot be opened.
long setRegValue(std::string_view value, std::uint32_t type, std::string subKey,
                 std::string_view valueName, platform::RegHandle root);

long createRegKey(std::string subKey, platform::RegHandle root);

// True when the key could be opened, whatever the deletion did.
bool deleteRegValue(platform::RegHandle root, std::string_view subKey, std::string_view valueName);
bool deleteRegKey(platform::RegHandle root, std::string_view parentSubKey, std::string_view keyName);

}  // namespace vk::script
