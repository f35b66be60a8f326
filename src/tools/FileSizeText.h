#pragma once

#include <cstdint>
#include <string>

namespace vk::tools {

// "123 Kb": the size in KiB rounded to the nearest integer, ties to even.
std::string fileSizeText(std::uint64_t bytes);

}  // namespace vk::tools
