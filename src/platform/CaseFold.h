#pragma once

#include <string>
#include <string_view>

namespace vk::platform {

// Unicode simple case folding (one character to one), as Windows compares
// file names without regard to case: "STRAẞE" and "straße" fold alike,
// "STRASSE" does not. Bytes that are not UTF-8 are kept as they are.
std::string foldCase(std::string_view utf8);
char32_t foldCase(char32_t codePoint);

// The same text when case is ignored.
bool equalFolded(std::string_view a, std::string_view b);

}  // namespace vk::platform
