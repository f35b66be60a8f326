#include "net/SocketValue.h"

#include <cstring>

namespace vk::net {
namespace {

template <typename T>
std::string rawBytes(const T& v) {
    std::string out(sizeof(T), '\0');
    std::memcpy(out.data(), &v, sizeof(T));  // the machine is little-endian, as the wire form is
    return out;
}

template <typename T>
T fromRaw(std::string_view bytes) {
    char buffer[sizeof(T)] = {};
    std::memcpy(buffer, bytes.data(), bytes.size() < sizeof(T) ? bytes.size() : sizeof(T));
    T v;
    std::memcpy(&v, buffer, sizeof(T));
    return v;
}

}  // namespace

bool socketBytesOf(const SocketValue& value, std::string& bytes) {
    struct Visitor {
        std::string& out;
        bool operator()(std::monostate) const { return false; }
        bool operator()(std::uint8_t v) const { out = rawBytes(v); return true; }
        bool operator()(std::int16_t v) const { out = rawBytes(v); return true; }
        bool operator()(std::int32_t v) const { out = rawBytes(v); return true; }
        bool operator()(float v) const { out = rawBytes(v); return true; }
        bool operator()(double v) const { out = rawBytes(v); return true; }
        bool operator()(Currency v) const { out = rawBytes(v.scaled); return true; }
        bool operator()(DateValue v) const { out = rawBytes(v.serial); return true; }
        bool operator()(const std::string& v) const { out = v; return true; }
        bool operator()(const std::vector<std::uint8_t>& v) const {
            out.assign(v.begin(), v.end());
            return true;
        }
    };
    return std::visit(Visitor{bytes}, value);
}

std::size_t socketTypeSize(SocketDataType type) {
    switch (type) {
        case SocketDataType::Byte: return 1;
        case SocketDataType::Integer: return 2;
        case SocketDataType::Long:
        case SocketDataType::Single: return 4;
        case SocketDataType::Double:
        case SocketDataType::Currency:
        case SocketDataType::Date: return 8;
        case SocketDataType::String:
        case SocketDataType::ByteArray: return 0;
    }
    return 0;
}

SocketValue socketValueFrom(std::string_view bytes, SocketDataType type) {
    switch (type) {
        case SocketDataType::Byte: return fromRaw<std::uint8_t>(bytes);
        case SocketDataType::Integer: return fromRaw<std::int16_t>(bytes);
        case SocketDataType::Long: return fromRaw<std::int32_t>(bytes);
        case SocketDataType::Single: return fromRaw<float>(bytes);
        case SocketDataType::Double: return fromRaw<double>(bytes);
        case SocketDataType::Currency: return Currency{fromRaw<std::int64_t>(bytes)};
        case SocketDataType::Date: return DateValue{fromRaw<double>(bytes)};
        case SocketDataType::String: return std::string(bytes);
        case SocketDataType::ByteArray: return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    }
    return std::monostate{};
}

}  // namespace vk::net
