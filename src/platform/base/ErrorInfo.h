#pragma once

#include <cstdint>
#include <string>

namespace vk::base {

// A failure as the program reports it: the classic error number, its text and
// where it came from.
struct ErrorInfo {
    std::int32_t number = 0;
    std::string description;
    std::string source;

    friend bool operator==(const ErrorInfo&, const ErrorInfo&) = default;
};

}  // namespace vk::base
