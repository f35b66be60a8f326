#include "platform/VbConversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>

#include "platform/RuntimeError.h"

namespace vk::platform {
namespace {

struct NumberCase {
    const char* text;
    std::optional<double> expected;
};

TEST(VbConversionTest, ParsesNumbersTheClassicWay) {
    const NumberCase cases[] = {
        {"42", 42},          {"  42  ", 42},       {"\t-17\t", -17},    {"+5", 5},
        {"3.25", 3.25},      {".5", 0.5},          {"5.", 5},           {"1e3", 1000},
        {"1.5E+2", 150},     {"2d2", 200},         {"-2.5e-1", -0.25},  {"&H10", 16},
        {"&h1f", 31},        {"&HFFFF", 65535},    {"&HFFFFFFFF", -1},  {"&H80000000", -2147483648.0},
        {"&O17", 15},        {"&o777", 511},       {"", std::nullopt},  {"   ", std::nullopt},
        {"abc", std::nullopt}, {"12abc", std::nullopt}, {"1 2", std::nullopt}, {".", std::nullopt},
        {"-", std::nullopt}, {"1e", std::nullopt}, {"&H", std::nullopt}, {"&HG", std::nullopt},
        {"&O8", std::nullopt}, {"&12", std::nullopt}, {"inf", std::nullopt}, {"nan", std::nullopt},
        {"0x10", std::nullopt}, {"--1", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto got = parseVbNumber(c.text);
        ASSERT_EQ(got.has_value(), c.expected.has_value());
        if (got) { EXPECT_DOUBLE_EQ(*got, *c.expected); }
    }
}

TEST(VbConversionTest, RoundsHalfToEven) {
    const std::pair<double, double> cases[] = {
        {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
        {2.4999, 2}, {2.5001, 3}, {-2.5001, -3}, {7, 7}, {1e300, 1e300},
    };
    for (auto [in, out] : cases) {
        SCOPED_TRACE(in);
        EXPECT_DOUBLE_EQ(roundHalfEven(in), out);
    }
    EXPECT_TRUE(std::isinf(roundHalfEven(HUGE_VAL)));
}

long errorOf(auto&& call) {
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

TEST(VbConversionTest, LongAndIntegerConversionsAndTheirErrors) {
    EXPECT_EQ(toLong("&H10"), 16);
    EXPECT_EQ(toLong(" 2.5 "), 2);
    EXPECT_EQ(toLong("3.5"), 4);
    EXPECT_EQ(toLong("2147483647"), 2147483647);
    EXPECT_EQ(toLong("-2147483648"), INT32_MIN);
    EXPECT_EQ(toLong("-2147483648.5"), INT32_MIN);  // rounds to even
    EXPECT_EQ(toLong("&HFFFFFFFF"), -1);
    EXPECT_EQ(toInteger("32767"), 32767);
    EXPECT_EQ(toInteger("-32768.4"), -32768);
    EXPECT_EQ(toInteger(-1.5), -2);

    EXPECT_EQ(errorOf([] { toLong("abc"); }), kErrTypeMismatch);
    EXPECT_EQ(errorOf([] { toLong(""); }), kErrTypeMismatch);
    EXPECT_EQ(errorOf([] { toLong("2147483648"); }), kErrOverflow);
    EXPECT_EQ(errorOf([] { toLong("2147483647.5"); }), kErrOverflow);
    EXPECT_EQ(errorOf([] { toLong("-2147483649"); }), kErrOverflow);
    EXPECT_EQ(errorOf([] { toLong("&H100000000"); }), kErrOverflow);
    EXPECT_EQ(errorOf([] { toLong("1e400"); }), kErrOverflow);
    EXPECT_EQ(errorOf([] { toLong(std::nan("")); }), kErrOverflow);
    EXPECT_EQ(errorOf([] { toInteger("32768"); }), kErrOverflow);
    EXPECT_EQ(errorOf([] { toInteger("&HFFFF"); }), kErrOverflow);
    EXPECT_EQ(errorOf([] { toInteger("x1"); }), kErrTypeMismatch);
    try {
        toLong("nope");
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.description(), "Type mismatch");
    }
    try {
        toLong("1e10");
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.description(), "Overflow");
    }
}

TEST(VbConversionTest, BooleanFromText) {
    const std::pair<const char*, bool> cases[] = {
        {"True", true}, {"TRUE", true}, {" false ", false}, {"FaLsE", false},
        {"0", false},   {"-1", true},   {"0.0", false},     {"0.4", true},  {"&H0", false},
    };
    for (auto [text, value] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(toBoolean(text), value);
    }
    EXPECT_EQ(errorOf([] { toBoolean("yes"); }), kErrTypeMismatch);
    EXPECT_EQ(errorOf([] { toBoolean(""); }), kErrTypeMismatch);
}

}  // namespace
}  // namespace vk::platform
