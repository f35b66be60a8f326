#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/base/Text.h"

namespace vk::vbs {

// Script strings are UTF-16 so Len/Mid/AscW count code units exactly as VBScript does;
// the host side speaks UTF-8.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

// Windows-1252, used by Chr/Asc.
char16_t cp1252ToUnicode(unsigned char byte);
std::optional<unsigned char> unicodeToCp1252(char16_t ch);

// Case folding for case-insensitive names and vbTextCompare.
char16_t foldUpper(char16_t c);
char16_t foldLower(char16_t c);
std::u16string toUpper(std::u16string_view s);
std::u16string toLower(std::u16string_view s);
bool equalsNoCase(std::u16string_view a, std::u16string_view b);
// Member and host names (UTF-8) compare without regard to ASCII case.
using base::equalsNoCase;

inline std::u16string u16(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

}  // namespace vk::vbs
