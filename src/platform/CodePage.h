#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vk::platform {

// The single-byte code page text crosses into where bytes are needed
// (digests of text, script Chr/Asc, the database payload): Windows-1252.

// UTF-8 to Windows-1252; nullopt when a character has no single-byte form
// or the input is not valid UTF-8.
std::optional<std::string> utf8ToAnsi(std::string_view utf8);

// Windows-1252 to UTF-8; the five unassigned bytes map to U+0081 etc. as Windows does.
std::string ansiToUtf8(std::string_view ansi);

// The text of a script or settings file as UTF-8: a UTF-8 BOM is dropped,
// valid UTF-8 is kept, anything else is read as Windows-1252.
std::string textFromUtf8OrAnsi(std::string_view bytes);

// Code point of one Windows-1252 byte, and back (nullopt when unmappable).
char32_t ansiToCodePoint(unsigned char byte);
std::optional<unsigned char> codePointToAnsi(char32_t cp);

}  // namespace vk::platform
