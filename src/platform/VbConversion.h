#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vk::platform {

// Text-to-number rules of the classic run time (CLng, CInt, CDbl, CBool on
// text): blanks around the number, a sign, decimals with an exponent, and
// &H / &O literals. nullopt when the text is not a number.
std::optional<double> parseVbNumber(std::string_view text);

// Round half to even, as the classic run time rounds on conversion.
double roundHalfEven(double value);

// CLng / CInt of text: throws RuntimeError 13 (Type mismatch) when not a
// number, 6 (Overflow) when out of range.
std::int32_t toLong(std::string_view text);
std::int16_t toInteger(std::string_view text);
std::int32_t toLong(double value);
std::int16_t toInteger(double value);

// CBool of text: "true"/"false" in any case, or a number (0 false, else true);
// throws 13 otherwise.
bool toBoolean(std::string_view text);

}  // namespace vk::platform
