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

// The one text of an unexpected failure: "An internal application error
// occured:" and the error's number, description and source, CR LF line breaks.
std::string internalErrorText(std::int64_t number, const std::string& description, const std::string& source);
inline std::string internalErrorText(const ErrorInfo& e) { return internalErrorText(e.number, e.description, e.source); }

}  // namespace vk::base
