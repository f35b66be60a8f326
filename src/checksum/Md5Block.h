#pragma once

#include <cstddef>
#include <cstdint>

namespace vk::checksum::md5detail {

inline constexpr std::uint32_t kInit[4] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};

// RFC 1321 transform over `blocks` consecutive 64-byte blocks.
void compress(std::uint32_t state[4], const std::uint8_t* data, std::size_t blocks);

}  // namespace vk::checksum::md5detail
