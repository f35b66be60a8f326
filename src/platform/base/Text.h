#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// ASCII-only text helpers: names, paths, digests and keywords compare without
// regard to case in the A-Z range only, whatever the locale.
namespace vk::base {

constexpr char asciiLower(char c) {
    return static_cast<unsigned char>(c - 'A') < 26u ? static_cast<char>(c | 0x20) : c;
}

constexpr char asciiUpper(char c) {
    return static_cast<unsigned char>(c - 'a') < 26u ? static_cast<char>(c & ~0x20) : c;
}

std::string asciiLower(std::string_view text);
std::string asciiUpper(std::string_view text);

constexpr bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

constexpr bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

// Negative, zero or positive as a sorts before, with or after b once both are
// folded to lower case; bytes compare unsigned.
int compareNoCase(std::string_view a, std::string_view b);

inline constexpr std::string_view kSpaceAndTab = " \t";

// Text without the leading and trailing characters found in `blanks`.
constexpr std::string_view trim(std::string_view text, std::string_view blanks = kSpaceAndTab) {
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// Appends one code point in UTF-8 (surrogate code points too, as their
// three-byte forms, so unpaired UTF-16 halves survive a round trip).
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace vk::base
