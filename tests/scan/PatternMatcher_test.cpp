#include "scan/PatternMatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

using vk::scan::PatternMatcher;

namespace {

std::vector<std::uint32_t> naive(const std::vector<std::string>& patterns, const std::string& text) {
    std::vector<std::uint32_t> ids;
    for (std::uint32_t i = 0; i < patterns.size(); ++i)
        if (!patterns[i].empty() && text.find(patterns[i]) != std::string::npos) ids.push_back(i);
    return ids;
}

std::vector<std::uint32_t> fast(const PatternMatcher& m, const std::string& text) {
    return m.matches(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(PatternMatcher, FindsEveryLengthAtEveryPosition) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t len = 1; len <= 40; ++len) {
        std::string pattern;
        for (std::size_t i = 0; i < len; ++i) pattern.push_back(static_cast<char>(byte(rng)));
        // A long companion pattern must not hide the short one, whatever stride it allows.
        PatternMatcher m(std::vector<std::string>{pattern, std::string(30, '\x01')});
        for (std::size_t textLen : {len, len + 1, len + 17, std::size_t{100}}) {
            for (std::size_t at = 0; at + len <= textLen; ++at) {
                std::string text(textLen, '\x02');
                text.replace(at, len, pattern);
                auto got = fast(m, text);
                ASSERT_EQ(got, std::vector<std::uint32_t>{0}) << "len " << len << " at " << at << " of " << textLen;
            }
        }
        std::string almost = pattern;
        almost.back() = static_cast<char>(almost.back() ^ 0x40);
        EXPECT_TRUE(fast(m, "xx" + almost + "yy").empty()) << len;
    }
}

TEST(PatternMatcher, AgreesWithNaiveSearchOnRandomSets) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 300; ++round) {
        // A small alphabet makes partial matches and overlaps common.
        int alphabet = 2 + round % 6;
        std::uniform_int_distribution<int> sym(0, alphabet - 1);
        std::uniform_int_distribution<int> plen(round % 3 == 0 ? 1 : 4, 12 + round % 30);
        std::vector<std::string> patterns(1 + round % 40);
        for (auto& p : patterns) {
            int n = plen(rng);
            for (int i = 0; i < n; ++i) p.push_back(static_cast<char>('a' + sym(rng)));
        }
        if (round % 7 == 0) patterns.push_back("");
        if (round % 5 == 0) patterns.push_back(patterns[0]);  // duplicates are separate ids
        PatternMatcher m(patterns);
        std::string text;
        int tlen = 1 + static_cast<int>(rng() % 3000);
        for (int i = 0; i < tlen; ++i) text.push_back(static_cast<char>('a' + sym(rng)));
        ASSERT_EQ(fast(m, text), naive(patterns, text)) << "round " << round;
    }
}

TEST(PatternMatcher, EmptyPatternsAndEmptyTextsMatchNothing) {
    PatternMatcher m(std::vector<std::string>{"", "abcd"});
    EXPECT_TRUE(fast(m, "").empty());
    EXPECT_TRUE(fast(m, "zzz").empty());
    EXPECT_EQ(fast(m, "abcd"), std::vector<std::uint32_t>{1});
    PatternMatcher none(std::vector<std::string>{});
    EXPECT_TRUE(fast(none, "abcd").empty());
}

TEST(PatternMatcher, StopsWhenTheCallerHasEnough) {
    PatternMatcher m(std::vector<std::string>{"aaaa", "bbbb", "cccc"});
    std::string text = "aaaa bbbb cccc";
    int calls = 0;
    m.search(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), [&](std::uint32_t) {
        ++calls;
        return false;
    });
    EXPECT_EQ(calls, 1);
}

}  // namespace
