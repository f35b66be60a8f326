#include <gtest/gtest.h>

#include "VbsTestSupport.h"

namespace vk::vbs::test {
namespace {

// One expression per case: the text Out prints and its TypeName ("value TypeName" or "ERR n").
using ExprCase = ValueCase;

class Expressions : public ::testing::TestWithParam<ExprCase> {};

TEST_P(Expressions, Evaluate) {
    std::string script = std::string("v = ") + GetParam().expr + "\nIf IsNull(v) Then\n Out \"Null\"\nElse\n Out CStr(v) & \" \" & TypeName(v)\nEnd If";
    expectOutput(script, GetParam().expected, GetParam().expr);
}

const ExprCase kArithmetic[] = {
    {"32767 + 1", "32768 Long"},
    {"32767 + 0", "32767 Integer"},
    {"-32768 - 1", "-32769 Long"},
    {"2147483647 + 1", "2147483648 Double"},
    {"200 * 200", "40000 Long"},
    {"&HFFFF", "-1 Integer"},
    {"&H7FFFFFFF + 1", "2147483648 Double"},
    {"7 \\ 2", "3 Integer"},
    {"-7 \\ 2", "-3 Integer"},
    {"7 Mod 3", "1 Integer"},
    {"-7 Mod 3", "-1 Integer"},
    {"7.5 Mod 2", "0 Long"},
    {"10 / 4", "2.5 Double"},
    {"10 / 5", "2 Double"},
    {"1 / 0", "ERR 11"},
    {"0 / 0", "ERR 6"},
    {"5 \\ 0", "ERR 11"},
    {"2 ^ 10", "1024 Double"},
    {"-2 ^ 2", "4 Double"},  // negation binds tighter than ^ in VBScript
    {"2 ^ -1", "0.5 Double"},
    {"2 + 3 * 4", "14 Integer"},
    {"(2 + 3) * 4", "20 Integer"},
    {"10 - 2 - 3", "5 Integer"},
    {"1 + 2 & 3", "33 String"},
    {"\"10\" + 5", "15 Double"},
    {"\"10\" + \"5\"", "105 String"},
    {"\"a\" + 1", "ERR 13"},
    {"\"a\" & 1", "a1 String"},
    {"True + True", "-2 Integer"},
    {"Empty + Empty", "0 Integer"},
    {"Empty & \"x\"", "x String"},
    {"Null + 1", "Null"},
    {"Null & \"x\"", "x String"},
    {"Null & Null", "Null"},
    {"1.5 + 1", "2.5 Double"},
    {"0.1 + 0.2", "0.3 Double"},
    {"1E+20 * 10", "1E+21 Double"},
    {"1 / 3", "0.333333333333333 Double"},
    {"1.5E-07 * 1", "1.5E-07 Double"},
    {"CCur(1.5) + 1", "2.5 Currency"},
    {"#1/1/2020# + 1", "1/2/2020 Date"},
    {"-(-32768)", "32768 Long"},
};
INSTANTIATE_TEST_SUITE_P(Arithmetic, Expressions, ::testing::ValuesIn(kArithmetic));

const ExprCase kComparison[] = {
    {"\"10\" < \"9\"", "True Boolean"},
    {"10 < 9", "False Boolean"},
    {"\"abc\" = \"ABC\"", "False Boolean"},
    {"\"abc\" < \"abd\"", "True Boolean"},
    {"Empty = 0", "True Boolean"},
    {"Empty = \"\"", "True Boolean"},
    {"Empty = Empty", "True Boolean"},
    {"Null = Null", "Null"},
    {"Null = 1", "Null"},
    {"1 = 1.0", "True Boolean"},
    {"True = -1", "True Boolean"},
    {"5 = \"5\"", "True Boolean"},
    {"3 < \"10\"", "True Boolean"},
    {"Not True", "False Boolean"},
    {"Not 0", "-1 Integer"},
    {"Not 5", "-6 Integer"},
    {"True And False", "False Boolean"},
    {"12 And 10", "8 Integer"},
    {"12 Or 3", "15 Integer"},
    {"5 Xor 3", "6 Integer"},
    {"True Eqv True", "True Boolean"},
    {"False Imp False", "True Boolean"},
    {"True Imp False", "False Boolean"},
    {"Null And False", "False Boolean"},
    {"Null And True", "Null"},
    {"Null Or True", "True Boolean"},
    {"Null Or False", "Null"},
    {"Not Null", "Null"},
    {"1 < 2 And 3 > 2", "True Boolean"},
    {"Not 1 = 2", "True Boolean"},
    {"Nothing Is Nothing", "True Boolean"},
    {"1 Is Nothing", "ERR 424"},
};
INSTANTIATE_TEST_SUITE_P(Comparison, Expressions, ::testing::ValuesIn(kComparison));

TEST(Comparison, StringVariableAgainstNumberVariable) {
    Runner r;
    // A number is less than any string when neither is a literal.
    EXPECT_EQ(r.run("a = \"5\" : b = 5\nOut (a = b), (b < a), (a > b)"), "False True True");
    // A literal takes the type of the other side.
    EXPECT_EQ(r.run("a = \"10\"\nOut (a > 9), (a = 10)"), "False True");
}

}  // namespace
}  // namespace vk::vbs::test
