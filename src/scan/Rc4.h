#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vk::scan {

// Percent after byte p of n is p * 100 / n (whole part); it is raised each time
// it goes up, then 100 once more if the last raised value was not 100 (so an
// empty array raises 100 once).
struct Rc4Events {
    virtual ~Rc4Events() = default;
    virtual void progress(std::int32_t percent) = 0;
};

// Standard RC4; every call starts from the freshly scheduled state, so calls
// are independent. Encryption and decryption are the same operation.
class Rc4 {
public:
    explicit Rc4(Rc4Events* events = nullptr) : events_(events) {}

    // Re-schedules only when the key differs from the current one. The key is
    // UTF-8 and scheduled over its Windows-1252 bytes (text without that form:
    // its bytes as they are).
    void setKey(std::string_view key);

    // A non-empty key is assigned first. Without a key (none set, or "")
    // throws platform::RuntimeError 5 and leaves the bytes alone.
    void encryptByte(std::span<std::uint8_t> bytes, std::string_view key = {});
    void decryptByte(std::span<std::uint8_t> bytes, std::string_view key = {});

private:
    std::string key_;
    std::array<std::uint8_t, 256> scheduled_{};
    bool scheduledValid_ = false;
    Rc4Events* events_;
};

}  // namespace vk::scan
