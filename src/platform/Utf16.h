#pragma once

#include <string>
#include <string_view>

namespace vk::platform {

// UTF-16 (little or big endian, no BOM) to UTF-8. Unpaired surrogates are kept
// as their three-byte forms so nothing is silently lost; an odd trailing byte
// is dropped and reported through `complete`.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian = false, bool* complete = nullptr);

// UTF-8 to UTF-16LE (no BOM). Bytes that are not valid UTF-8 are taken as
// Windows-1252 characters.
std::string utf8ToUtf16le(std::string_view utf8);

bool isValidUtf8(std::string_view text);

// The code point of the valid UTF-8 sequence at text[i] and its length in
// bytes; 0 when the bytes there are not one (surrogates and overlong forms
// included).
std::size_t decodeUtf8(std::string_view text, std::size_t i, char32_t& codePoint);

// Characters of a UTF-8 text: a valid sequence is one, as is every byte that
// is not part of one (text in a single-byte code page counts byte by byte).
std::size_t utf8Length(std::string_view text);
// The bytes of the first maxChars characters, never cutting one apart.
std::size_t utf8PrefixBytes(std::string_view text, std::size_t maxChars);

}  // namespace vk::platform
