#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vk::net {

// Currency: a 64-bit count of ten-thousandths.
struct Currency {
    std::int64_t scaled = 0;
};
// Date: days since 30 December 1899, the fraction being the time of day.
struct DateValue {
    double serial = 0;
};

// A value handed to or taken from a socket. Empty stands for any value the
// socket has no byte form for.
using SocketValue = std::variant<std::monostate, std::uint8_t, std::int16_t, std::int32_t, float, double,
                                 Currency, DateValue, std::string, std::vector<std::uint8_t>>;

enum class SocketDataType { Byte, Integer, Long, Single, Double, Currency, Date, String, ByteArray };

// The bytes a value travels as (little-endian numbers, strings as their
// bytes); nullopt-like false when the value has no byte form.
bool socketBytesOf(const SocketValue& value, std::string& bytes);

// The value of the given type read from the front of bytes; numbers take
// their size (missing bytes read as zero), text and arrays take all of it.
SocketValue socketValueFrom(std::string_view bytes, SocketDataType type);

// How many bytes a value of the type takes from the buffer (0: all).
std::size_t socketTypeSize(SocketDataType type);

}  // namespace vk::net
