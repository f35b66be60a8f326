#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace vk::net {

inline constexpr const char* kBase64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";

// Base64 in lines of 76 characters, every line (the last one too) ended by
// CR LF; empty input gives "".
std::string encodeBase64Bytes(std::string_view bytes);
// Decoding stops at the first character outside the alphabet.
std::string decodeBase64String(std::string_view text);
// One UUencoded line (without its line end) of at most 45 bytes.
std::string uuencodeLine(std::string_view piece);

// Text as it goes on the wire: the single-byte code page where it converts,
// its bytes unchanged where it does not.
std::string toWireText(std::string_view utf8);
bool hasEightBitCharacters(std::string_view wire);

// A header phrase: encoded words of 42 characters each when any character is
// above 126, else the text (quoted when asked).
std::string encodeHeaderText(std::string_view wire, bool quote);

// Body preparation: dot stuffing, lines over 998 characters broken.
std::string prepareMessageText(std::string_view wire);

bool isValidIPv4(std::string_view text);
bool isValidDomain(std::string_view text);
bool isValidEmailAddress(std::string_view text);

// "+0100" for an offset of 60 minutes east of UTC.
std::string timeZoneText(long minutesEast);
std::string localTimeZoneText();
// "Sun, 5 Jan 2003 09:04:05 +0800" of a local time.
std::string mailDate(const std::tm& local, const std::string& zone);
// The unique part of a Message-ID before "@", from a UTC time with milliseconds.
std::string messageIdStamp(const std::tm& utc, int milliseconds);
// The MIME boundary of a local time.
std::string mimeBoundary(const std::tm& local, double secondsOfDay);

// The registered "Content Type" of a file's extension, else fallback.
std::string getContentType(std::string_view file, std::string_view fallback = "");

}  // namespace vk::net
