#include "tools/LanguageNames.h"

#include <gtest/gtest.h>

namespace vk::tools {
namespace {

TEST(LanguageNames, WindowsNamesWithFallbackToThePrimaryLanguage) {
    const struct {
        std::uint16_t id;
        const char* name;
    } cases[] = {
        {0x0000, "Language Neutral"},
        {0x0409, "English (United States)"},
        {0x0809, "English (United Kingdom)"},
        {0x0407, "German (Germany)"},
        {0x0C07, "German (Austria)"},
        {0x0411, "Japanese (Japan)"},
        {0x0804, "Chinese (Simplified, PRC)"},
        {0x0404, "Chinese (Traditional, Taiwan)"},
        {0x0416, "Portuguese (Brazil)"},
        {0x0816, "Portuguese (Portugal)"},
        {0x0C0A, "Spanish (Spain, International Sort)"},
        // Sub-languages missing from the table: the primary language's default.
        {0x7C09, "English (United States)"},
        {0x7C0C, "French (France)"},
        // Neither known nor with a known primary language.
        {0x03FF, "Unknown language"},
        {0xFFFF, "Unknown language"},
    };
    for (const auto& c : cases) EXPECT_EQ(languageName(c.id), c.name) << std::hex << c.id;
}

}  // namespace
}  // namespace vk::tools
