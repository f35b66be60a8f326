#pragma once

// Kernels behind Crc32::update, visible to the tests so each one is checked
// against the byte loop whichever the dispatcher picks.

#include <array>
#include <cstddef>
#include <cstdint>

namespace vk::checksum::crc32kernels {

inline constexpr std::uint32_t kPoly = 0xEDB88320u;

// table[k][n] = the register contribution of byte n followed by k zero bytes.
using Tables = std::array<std::array<std::uint32_t, 256>, 16>;
const Tables& tables();

// x^k mod P in the MSB-first domain of the register.
constexpr std::uint32_t xPowMod(unsigned k) {
    std::uint32_t v = 1;
    for (unsigned i = 0; i < k; ++i) v = (v & 0x80000000u) ? (v << 1) ^ kPoly : (v << 1);
    return v;
}

std::uint32_t slicing16(std::uint32_t reg, const std::uint8_t* data, std::size_t size);

// Carry-less multiplication folding; only call when clmulAvailable().
bool clmulAvailable();
std::uint32_t clmul(std::uint32_t reg, const std::uint8_t* data, std::size_t size);

}  // namespace vk::checksum::crc32kernels
