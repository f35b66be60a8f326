#include "platform/base/ErrorInfo.h"

namespace vk::base {

std::string internalErrorText(std::int64_t number, const std::string& description, const std::string& source) {
    return "An internal application error occured:\r\n\r\nError Number: " + std::to_string(number) +
           "\r\nError Description: " + description + "\r\nError Source: " + source;
}

}  // namespace vk::base
