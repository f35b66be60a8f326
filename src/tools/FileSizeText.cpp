#include "tools/FileSizeText.h"

namespace vk::tools {

std::string fileSizeText(std::uint64_t bytes) {
    std::uint64_t kib = bytes / 1024;
    const std::uint64_t rest = bytes % 1024;
    if (rest > 512 || (rest == 512 && (kib & 1))) ++kib;
    return std::to_string(kib) + " Kb";
}

}  // namespace vk::tools
