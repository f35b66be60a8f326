#pragma once

#include <cstdint>
#include <string>

namespace vk::tools {

// The English name Windows gives a language identifier (LANGID) in version
// resources: "English (United States)" for 0x0409, "Language Neutral" for 0.
// An identifier missing from the table gets the name of its primary
// language's default form, else "Unknown language".
std::string languageName(std::uint16_t langId);

}  // namespace vk::tools
