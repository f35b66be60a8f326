#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vk::checksum {

// FIPS 180-2 SHA-256.
class Sha256 {
public:
    Sha256();
    void update(const std::uint8_t* data, std::size_t size);
    std::array<std::uint8_t, 32> finish();

    // 64 lower-case hexadecimal digits of the digest of these bytes.
    static std::string hexDigest(std::string_view bytes);

private:
    void block(const std::uint8_t* p);
    std::array<std::uint32_t, 8> h_;
    std::uint64_t length_ = 0;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
};

// True when the CPU's SHA extensions do the block function.
bool sha256HardwareAvailable();
// The portable block function, so tests and benchmarks can compare it with the one in use.
void sha256PortableBlocks(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks);

}  // namespace vk::checksum
