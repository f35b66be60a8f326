#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vk::scan {

struct Rc4Events {
    virtual ~Rc4Events() = default;
    virtual void progress(std::int32_t percent) = 0;
};

// Standard RC4; every call starts from the freshly scheduled state, so calls
// are independent. Encryption and decryption are the same operation.
class Rc4 {
public:
    explicit Rc4(Rc4Events* events = nullptr) : events_(events) {}

    // Re-schedules only when the key differs from the current one.
    void setKey(std::string_view key);

    // A non-empty key is assigned first.
    void encryptByte(std::span<std::uint8_t> bytes, std::string_view key = {});
    void decryptByte(std::span<std::uint8_t> bytes, std::string_view key = {});

private:
    std::string key_;
    std::array<std::uint8_t, 256> scheduled_{};
    bool scheduledValid_ = false;
    Rc4Events* events_;
};

}  // namespace vk::scan
