#include "platform/base/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace vk::base {
namespace {

TEST(Text, CaseMappingTouchesOnlyAsciiLetters) {
    // Bytes around the letter ranges and UTF-8 bytes stay as they are.
    const std::string mixed = "@AZ[`az{ 09 \xC3\x89t\xC3\xA9 _Path\\File.EXE";
    EXPECT_EQ(asciiLower(mixed), "@az[`az{ 09 \xC3\x89t\xC3\xA9 _path\\file.exe");
    EXPECT_EQ(asciiUpper(mixed), "@AZ[`AZ{ 09 \xC3\x89T\xC3\xA9 _PATH\\FILE.EXE");
    for (int c = 0; c < 256; ++c) {
        char ch = static_cast<char>(c);
        bool upper = c >= 'A' && c <= 'Z';
        bool lower = c >= 'a' && c <= 'z';
        EXPECT_EQ(asciiLower(ch), upper ? static_cast<char>(c + 32) : ch) << c;
        EXPECT_EQ(asciiUpper(ch), lower ? static_cast<char>(c - 32) : ch) << c;
    }
}

TEST(Text, ComparesWithoutRegardToAsciiCase) {
    struct Case {
        std::string_view a, b;
        int order;
    };
    const Case cases[] = {
        {"REG_DWORD", "reg_dword", 0}, {"", "", 0},         {"abc", "ABD", -1},
        {"abd", "ABC", 1},             {"ab", "ABC", -1},   {"abc", "AB", 1},
        {"[", "a", -1},                {"\xC3\x89", "\xC3\xA9", -1},  // not folded outside ASCII
        {"Z", "\x80", -1},             // bytes compare unsigned
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compareNoCase(c.a, c.b), c.order) << c.a << " / " << c.b;
        EXPECT_EQ(compareNoCase(c.b, c.a), -c.order) << c.b << " / " << c.a;
        EXPECT_EQ(equalsNoCase(c.a, c.b), c.order == 0) << c.a << " / " << c.b;
    }
    EXPECT_TRUE(startsWithNoCase("HKEY_Local_Machine\\Software", "hkey_local_machine"));
    EXPECT_FALSE(startsWithNoCase("HKEY", "hkey_local_machine"));
    EXPECT_TRUE(startsWithNoCase("anything", ""));
}

TEST(Text, TrimsOnlyTheGivenBlanksAtBothEnds) {
    EXPECT_EQ(trim(" \t a b \t "), "a b");
    EXPECT_EQ(trim("\r\n a \r\n"), "\r\n a \r\n");
    EXPECT_EQ(trim("\r\n a \x1a", " \r\n\x1a"), "a");
    EXPECT_EQ(trim(" \t "), "");
    EXPECT_EQ(trim(""), "");
    EXPECT_EQ(trim("x"), "x");
}

TEST(Text, AppendsEachCodePointInUtf8) {
    struct Case {
        char32_t codePoint;
        std::string bytes;
    };
    const Case cases[] = {
        {U'A', "A"},           {0x7F, "\x7F"},         {0x80, "\xC2\x80"},
        {0xE9, "\xC3\xA9"},    {0x7FF, "\xDF\xBF"},    {0x800, "\xE0\xA0\x80"},
        {0x20AC, "\xE2\x82\xAC"}, {0xD800, "\xED\xA0\x80"}, {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"}, {0x10FFFF, "\xF4\x8F\xBF\xBF"},
    };
    for (const auto& c : cases) {
        std::string out = "x";
        appendUtf8(out, c.codePoint);
        EXPECT_EQ(out, "x" + c.bytes) << static_cast<unsigned>(c.codePoint);
    }
    std::string nul;
    appendUtf8(nul, 0);
    EXPECT_EQ(nul, std::string(1, '\0'));
}

}  // namespace
}  // namespace vk::base
