#include <gtest/gtest.h>

#include <string>

#include "platform/IniProfile.h"
#include "platform/Utf16.h"

namespace vk::platform {
namespace {

using namespace std::string_literals;

constexpr std::string_view kText =
    "; a comment line\r\n"
    "orphan=before any section\r\n"
    "[General]\r\n"
    "Name = Alpha  \r\n"
    "name=second spelling loses\r\n"
    "Quoted=\"  spaced  \"\r\n"
    "Single='x'\r\n"
    "Mismatch=\"abc'\r\n"
    "OneQuote=\"\r\n"
    "InnerQuotes=a \"b\" c\r\n"
    "EmptyQuotes=\"\"\r\n"
    "Empty=\r\n"
    "NoEquals\r\n"
    "   Indented   =   yes\t\r\n"
    "Two=a=b\r\n"
    ";Commented=hidden\r\n"
    "  ; IndentedComment=hidden\r\n"
    "Tail=end\x1a\r\n"
    "[general]\r\n"
    "Other=in the repeated section\r\n"
    "[ Spaced Section ]   \r\n"
    "k=v\r\n"
    "[Brackets]x] trailing\r\n"
    "k2=v2\r\n"
    "[Unclosed\r\n"
    "k3=v3\r\n"
    "[]\r\n"
    "nameless=ok\r\n";

struct LookupCase {
    const char* section;
    const char* key;
    const char* expected;  // nullptr: missing
};

TEST(IniDocumentTest, LookupRulesOfTheProfileFunctions) {
    IniDocument doc = IniDocument::parse(kText);
    const LookupCase cases[] = {
        {"General", "Name", "Alpha"},
        {"GENERAL", "NAME", "Alpha"},
        {"  General ", " Name\t", "Alpha"},
        {"General", "Quoted", "  spaced  "},
        {"General", "Single", "x"},
        {"General", "Mismatch", "\"abc'"},
        {"General", "OneQuote", "\""},
        {"General", "InnerQuotes", "a \"b\" c"},
        {"General", "EmptyQuotes", ""},
        {"General", "Empty", ""},
        {"General", "NoEquals", nullptr},
        {"General", "Indented", "yes"},
        {"General", "Two", "a=b"},
        {"General", "Commented", nullptr},
        {"General", ";Commented", nullptr},
        {"General", "Tail", "end"},
        {"General", "Other", nullptr},  // only the first section of a name is read
        {"Spaced Section", "k", "v"},
        {"Brackets]x", "k2", "v2"},
        {"Brackets]x", "[Unclosed", nullptr},
        {"Brackets]x", "k3", "v3"},  // "[Unclosed" is no header
        {"Unclosed", "k3", nullptr},
        {"", "nameless", "ok"},
        {"", "orphan", nullptr},
        {"Missing", "Name", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + " / " + c.key);
        auto got = doc.find(c.section, c.key);
        ASSERT_EQ(got.has_value(), c.expected != nullptr);
        if (got) { EXPECT_EQ(*got, c.expected); }
    }
    EXPECT_EQ(doc.get("General", "Name", "d"), "Alpha");
    EXPECT_EQ(doc.get("General", "Empty", "d"), "");
    EXPECT_EQ(doc.get("General", "Nope", "fallback  "), "fallback");  // trailing blanks of a default go
    EXPECT_EQ(doc.get("General", "Nope", " lead"), " lead");
}

TEST(IniDocumentTest, ValuesAreCutTo1999Characters) {
    const std::string plain(3000, 'p');
    const std::string quoted = "\"" + std::string(2500, 'q') + "\"";
    const std::string exact(1999, 'e');
    IniDocument doc = IniDocument::parse("[S]\nplain=" + plain + "\nquoted=" + quoted + "\nexact=" + exact + "\n");
    EXPECT_EQ(*doc.find("S", "plain"), std::string(1999, 'p'));
    EXPECT_EQ(*doc.find("S", "quoted"), std::string(1999, 'q'));
    EXPECT_EQ(*doc.find("S", "exact"), exact);
    EXPECT_EQ(doc.get("S", "missing", std::string(2100, 'd')), std::string(1999, 'd'));
}

std::string repeated(std::string_view piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

TEST(IniDocumentTest, TheCutCountsCharactersAndNeverSplitsOne) {
    struct Case {
        const char* label;
        std::string piece;  // one character
    } cases[] = {{"two-byte", "\xC3\xA9"}, {"three-byte", "\xE2\x82\xAC"}, {"four-byte", "\xF0\x9F\x98\x80"},
                 {"windows-1252 byte", "\xE9"}};
    for (const auto& c : cases) {
        IniDocument doc = IniDocument::parse("[S]\nv=x" + repeated(c.piece, 2500) + "\n");
        EXPECT_EQ(*doc.find("S", "v"), "x" + repeated(c.piece, 1998)) << c.label;
        EXPECT_EQ(doc.get("S", "none", repeated(c.piece, 2001)), repeated(c.piece, 1999)) << c.label;
    }
}

TEST(IniDocumentTest, LineEndsBomsAndEncodings) {
    const std::string body[] = {
        "[S]\r\nk=v\r\nk2=w\r\n",
        "[S]\nk=v\nk2=w",
        "[S]\rk=v\rk2=w\r",
        "[S]\r\n\rk=v\n\r\nk2=w\n\r",
        "\xEF\xBB\xBF[S]\r\nk=v\r\nk2=w\r\n",
        "\xFF\xFE"s + utf8ToUtf16le("[S]\r\nk=v\r\nk2=w\r\n"),
    };
    for (const auto& text : body) {
        SCOPED_TRACE(testing::PrintToString(text));
        IniDocument doc = IniDocument::parse(text);
        EXPECT_EQ(doc.get("S", "k", "-"), "v");
        EXPECT_EQ(doc.get("S", "k2", "-"), "w");
    }
}

TEST(IniDocumentTest, HostileTextIsReadAsFarAsIsSound) {
    std::string overlong(8 << 20, 'x');
    IniDocument doc = IniDocument::parse("[A]\nk=" + overlong + "\n[S]\nk=v\n");
    EXPECT_EQ(doc.find("A", "k")->size(), kIniValueLimit);
    EXPECT_EQ(doc.get("S", "k", "-"), "v");

    IniDocument nul = IniDocument::parse("[S]\nk=ab\0cd  \nk2=v2\n[T\0U]\nk=t\n"s);
    EXPECT_EQ(nul.get("S", "k", "-"), "ab");
    EXPECT_EQ(nul.get("S", "k2", "-"), "v2");
    EXPECT_EQ(nul.get("T", "k", "-"), "-");

    std::string garbage;
    for (int i = 0; i < 100000; ++i) garbage.push_back(static_cast<char>((i * 131) % 256));
    IniDocument junk = IniDocument::parse(garbage + "\n[S]\nk=v\n");
    EXPECT_EQ(junk.get("S", "k", "-"), "v");

    // Only CRs: one line break each, without rescanning the text per line.
    std::string crs;
    for (int i = 0; i < 20000; ++i) crs += "[S" + std::to_string(i) + "]\rk=" + std::to_string(i) + "\r";
    IniDocument cr = IniDocument::parse(crs);
    EXPECT_EQ(cr.get("S19999", "K", "-"), "19999");
    EXPECT_EQ(cr.sectionCount(), 20000u);
}

TEST(IniDocumentTest, ManySectionsAndKeysAllResolve) {
    std::string text;
    const int sections = 50000;
    for (int s = 0; s < sections; ++s) {
        text += "[Sig" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 4; ++k) text += "Key" + std::to_string(k) + "=" + std::to_string(s * 10 + k) + "\r\n";
    }
    IniDocument doc = IniDocument::fromText(std::move(text));
    EXPECT_EQ(doc.sectionCount(), static_cast<std::size_t>(sections));
    EXPECT_EQ(doc.keyCount(), static_cast<std::size_t>(sections) * 4);
    int wrong = 0;
    for (int s = 0; s < sections; ++s)
        for (int k = 0; k < 4; ++k)
            wrong += doc.get("SIG" + std::to_string(s), "key" + std::to_string(k), "") != std::to_string(s * 10 + k);
    EXPECT_EQ(wrong, 0);
    EXPECT_FALSE(doc.find("Sig50000", "Key0"));
    EXPECT_FALSE(doc.find("Sig1", "Key4"));
}

TEST(IniDocumentTest, EmptyAndDefaultDocuments) {
    IniDocument empty;
    EXPECT_FALSE(empty.find("S", "k"));
    EXPECT_EQ(empty.get("S", "k", "d"), "d");
    IniDocument parsed = IniDocument::parse("");
    EXPECT_EQ(parsed.sectionCount(), 0u);
    IniDocument moved = std::move(parsed);
    EXPECT_EQ(moved.get("S", "k", "d"), "d");
}

}  // namespace
}  // namespace vk::platform
