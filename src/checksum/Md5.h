#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/EventPump.h"

namespace vk::checksum {

// Plain RFC 1321 MD5 over memory, for callers that need speed and no events.
class Md5Hasher {
public:
    Md5Hasher();
    void update(const std::uint8_t* data, std::size_t size);
    std::array<std::uint8_t, 16> finish();
    // 32 upper-case hexadecimal digits.
    std::string finishHex();

    static std::string hexOf(std::span<const std::uint8_t> bytes);

private:
    void block(const std::uint8_t* p);
    std::uint32_t a_, b_, c_, d_;
    std::uint64_t length_ = 0;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
};

// The MD5 object scripts and the scanner use: streaming steps with visible
// registers, text and file digests, cancellable file digests.
class Md5 {
public:
    explicit Md5(platform::EventPump* pump = nullptr);

    // Ends a running file digest at its next block; reset when a file digest starts and ends.
    std::atomic<bool> cancelDigest{false};

    std::string registerA() const;
    std::string registerB() const;
    std::string registerC() const;
    std::string registerD() const;

    // Text is UTF-8; each character becomes its Windows-1252 byte. Throws
    // platform::RuntimeError 6 (Overflow) above 32,767 characters and 5 for a
    // character the code page cannot hold (or text that is not UTF-8).
    std::string digestStrToHexStr(std::string_view sourceString);
    // "" on any failure (missing file, access denied, read error, not a regular file).
    std::string digestFileToHexStr(const std::string& inFile);
    std::string getValues() const;

    void md5Init();
    // Adds the first inputLen bytes (none when inputLen <= 0); an inputLen beyond
    // the buffer throws platform::RuntimeError 9 (Subscript out of range).
    void md5Update(std::int32_t inputLen, std::span<const std::uint8_t> inputBuffer);
    void md5Final();

    static std::int32_t longLeftRotate(std::int32_t value, std::int32_t bits);

    void setPump(platform::EventPump* pump) { pump_ = pump; }

private:
    void transform(const std::uint8_t* block);
    platform::EventPump* pump_;
    std::uint32_t regs_[4];
    std::uint32_t count_ = 0;  // bytes, 32-bit as the original keeps it
    std::uint64_t bitCount_ = 0;
    std::array<std::uint8_t, 64> buffer_{};
};

}  // namespace vk::checksum
