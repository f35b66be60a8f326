#pragma once

#include <string>

namespace vk::scan {

// "An internal application error occured:" and the error's number,
// description and source, CR LF line breaks.
std::string internalErrorText(long number, const std::string& description, const std::string& source);

}  // namespace vk::scan
