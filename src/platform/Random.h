#pragma once

#include <cstdint>

namespace vk::platform {

// A fast generator seeded once per thread from the system's entropy source.
// Not for secrets.
std::uint64_t randomBits();
double randomUnit();  // [0, 1)

}  // namespace vk::platform
