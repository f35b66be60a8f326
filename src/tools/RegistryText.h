#pragma once

#include <optional>
#include <string>

#include "script/RegistryAccess.h"

namespace vk::tools {

// A value as the snapshot and the text boxes show it: text as it is, a
// DWORD in decimal, a missing value as "".
std::string regValueText(const script::RegValue& value);

// A value compared with a number as the classic run time compares: a DWORD
// is its number, text that reads as a number is that number, anything else
// (a missing value reads as "") cannot be compared.
std::optional<double> regValueNumber(const script::RegValue& value);

}  // namespace vk::tools
