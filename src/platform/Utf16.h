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

}  // namespace vk::platform
