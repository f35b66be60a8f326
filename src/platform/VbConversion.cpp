#include "platform/VbConversion.h"

#include <charconv>
#include <cmath>
#include <string>

#include "platform/RuntimeError.h"

namespace vk::platform {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// &H / &O literal: up to 32 bits read as a signed Long (&HFFFFFFFF is -1);
// longer values are returned as they are, which overflows any conversion.
std::optional<double> parseRadix(std::string_view s) {
    if (s.size() < 3) return std::nullopt;
    int radix;
    char kind = s[1];
    if (kind == 'h' || kind == 'H')
        radix = 16;
    else if (kind == 'o' || kind == 'O')
        radix = 8;
    else
        return std::nullopt;
    double big = 0;
    std::uint64_t value = 0;
    bool wide = false;
    for (char c : s.substr(2)) {
        int d;
        if (isDigit(c))
            d = c - '0';
        else if (radix == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (radix == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return std::nullopt;
        if (d >= radix) return std::nullopt;
        big = big * radix + d;
        if (!wide) {
            value = value * static_cast<unsigned>(radix) + static_cast<unsigned>(d);
            if (value > 0xFFFFFFFFull) wide = true;
        }
    }
    if (wide) return big;
    if (value > 0x7FFFFFFFull) return static_cast<double>(static_cast<std::int64_t>(value) - 0x100000000ll);
    return static_cast<double>(value);
}

}  // namespace

std::optional<double> parseVbNumber(std::string_view text) {
    std::string_view s = trim(text);
    if (s.empty()) return std::nullopt;
    if (s.front() == '&') return parseRadix(s);
    // [sign] digits [. digits] [E|D [sign] digits], with at least one mantissa digit.
    std::string canon;
    std::size_t i = 0;
    if (s[i] == '+' || s[i] == '-') {
        if (s[i] == '-') canon.push_back('-');
        ++i;
    }
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        canon.push_back(s[i++]);
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        canon.push_back('.');
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            canon.push_back(s[i++]);
            ++digits;
        }
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        canon.push_back('e');
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) canon.push_back(s[i++]);
        std::size_t expDigits = 0;
        while (i < s.size() && isDigit(s[i])) {
            canon.push_back(s[i++]);
            ++expDigits;
        }
        if (expDigits == 0) return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(canon.data(), canon.data() + canon.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too large for a Double: infinite, so every conversion overflows.
        bool tiny = canon.find("e-") != std::string::npos;
        if (tiny) return canon.front() == '-' ? -0.0 : 0.0;
        return canon.front() == '-' ? -HUGE_VAL : HUGE_VAL;
    }
    if (ec != std::errc() || end != canon.data() + canon.size()) return std::nullopt;
    return value;
}

double roundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    double floor = std::floor(value);
    double diff = value - floor;
    if (diff > 0.5) return floor + 1;
    if (diff < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0 ? floor : floor + 1;
}

std::int32_t toLong(double value) {
    if (std::isnan(value)) throw overflowError();
    double r = roundHalfEven(value);
    if (r < -2147483648.0 || r > 2147483647.0) throw overflowError();
    return static_cast<std::int32_t>(r);
}

std::int16_t toInteger(double value) {
    if (std::isnan(value)) throw overflowError();
    double r = roundHalfEven(value);
    if (r < -32768.0 || r > 32767.0) throw overflowError();
    return static_cast<std::int16_t>(r);
}

std::int32_t toLong(std::string_view text) {
    auto v = parseVbNumber(text);
    if (!v) throw typeMismatchError();
    return toLong(*v);
}

std::int16_t toInteger(std::string_view text) {
    auto v = parseVbNumber(text);
    if (!v) throw typeMismatchError();
    return toInteger(*v);
}

bool toBoolean(std::string_view text) {
    std::string_view s = trim(text);
    auto iequal = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
            if (x != b[i]) return false;
        }
        return true;
    };
    if (iequal(s, "true")) return true;
    if (iequal(s, "false")) return false;
    auto v = parseVbNumber(s);
    if (!v) throw typeMismatchError();
    return *v != 0;
}

}  // namespace vk::platform
