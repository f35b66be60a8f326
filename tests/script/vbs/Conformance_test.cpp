// Constructs scripts written on Windows rely on, each with the result Windows gives.
#include <gtest/gtest.h>

#include <deque>
#include <iterator>

#include "VbsTestSupport.h"

namespace vk::vbs::test {
namespace {

constexpr const char* kFails = "Function fails() : fails = False : Err.Raise 5 : End Function\n";

TEST(ResumeNext, ResumesIntoTheStatementWhoseHeaderFailed) {
    Runner r;
    EXPECT_EQ(r.run(std::string(kFails) +
                    "On Error Resume Next\n"
                    "Do While fails() : n = n + 1 : Exit Do : Loop\n"
                    "For Each x In fails() : n = n + 10 : Next\n"
                    "With fails() : n = n + 100 : End With\n"
                    "Select Case False : Case True : Case fails() : n = n + 1000 : End Select\n"
                    "Out n"),
              "1111");
}

class ResumeNextHeaders : public ::testing::TestWithParam<ScriptCase> {};
TEST_P(ResumeNextHeaders, Run) { expectScript(GetParam()); }

// Each script starts with fails() and On Error Resume Next.
const ScriptCase kHeaders[] = {
    {"DoUntilRunsTheBody", "Do Until fails() : Out Err.Number : Exit Do : Loop", "5"},
    {"LoopWhileLeavesTheLoop", "Do : n = n + 1 : Loop While fails()\nOut n, Err.Number", "1 5"},
    {"LoopUntilLeavesTheLoop", "Do : n = n + 1 : Loop Until fails()\nOut n, Err.Number", "1 5"},
    {"WhileRunsTheBody",
     "Dim k\nFunction once() : k = k + 1 : If k = 1 Then Err.Raise 6\n once = False\nEnd Function\n"
     "While once() : n = n + 1 : Wend\nOut n, Err.Number",
     "1 6"},
    {"ForToRunsOnceThenNextFails", "x = 6\nFor x = fails() To 100 : n = n + 1 : Out Err.Number, x : Next\nOut n, x, Err.Number",
     "5 6|1 6 92"},
    {"ForEachOverFailureRunsOnceThenNextFails", "x = 2\nFor Each x In fails() : n = n + 1 : Next\nOut n, x, Err.Number",
     "1 2 451"},
    {"ForEachOverEmptyRunsOnce", "For Each x In Empty : n = n + 1 : Next\nOut n, Err.Number", "1 451"},
    {"SelectSubjectFailureRunsNoCase",
     "Select Case fails()\n Case True : Out \"t\"\n Case False : Out \"f\"\n Case Empty : Out \"e\"\n Case Else : Out \"else\"\nEnd Select\nOut Err.Number",
     "5"},
    {"WithTargetFailureLeavesNoObject", "With fails()\n .prop = 1\n Out Err.Number\nEnd With", "424"},
    {"WithEmptyMemberIsObjectRequired", "With Empty\n Err.Clear\n .prop = 1\n Out Err.Number\nEnd With", "424"},
    {"CaseFailureInsideNestedLoopsExits",
     "For i = 1 To 1\n For Each y In Array(1, 2)\n  Select Case 3\n   Case 1 : Out \"no\"\n   Case fails() : Exit For\n  End Select\n Next\nNext\nOut i, Err.Number",
     "2 5"},
    {"IfConditionFailureEntersTheBranch", "If fails() Then Out \"then\" Else Out \"else\"", "then"},
    {"ElseIfConditionFailureEntersTheBranch", "If False Then\n Out 1\nElseIf fails() Then\n Out 2\nElse\n Out 3\nEnd If", "2"},
};

std::vector<ScriptCase> withPrologue(const ScriptCase* begin, const ScriptCase* end) {
    static std::deque<std::string> scripts;  // the cases point into it for the whole run
    std::vector<ScriptCase> out;
    for (const ScriptCase* c = begin; c != end; ++c) {
        scripts.push_back(std::string(kFails) + "On Error Resume Next\n" + c->script);
        out.push_back({c->name, scripts.back().c_str(), c->expected});
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(Loops, ResumeNextHeaders,
                         ::testing::ValuesIn(withPrologue(std::begin(kHeaders), std::end(kHeaders))), caseName);

TEST(ResumeNext, WithoutItHeaderErrorsStopTheScript) {
    Runner r;
    EXPECT_EQ(r.run(std::string(kFails) + "Do While fails() : Out 1 : Loop"),
              "ERR 5: Invalid procedure call or argument @1");
    EXPECT_EQ(r.run("With 42\n Out 1\nEnd With"), "ERR 424: Object required @1");
    EXPECT_EQ(r.run("Out 1\n.prop = 2"), "1|ERR 505: Invalid or unqualified reference @2");
}

class WindowsSyntax : public ::testing::TestWithParam<ScriptCase> {};
TEST_P(WindowsSyntax, Runs) { expectScript(GetParam()); }

const ScriptCase kSyntax[] = {
    {"SingleLineIfElseEndIf", "If False Then x = 1 Else x = 2 End If\nOut x", "2"},
    {"SingleLineIfEndIf", "If True Then x = 1 End If\nOut x", "1"},
    {"SubInsideIfBlock", "If True Then\n Sub S()\n  Out \"s\"\n End Sub\nEnd If\nS", "s"},
    {"FunctionInsideSkippedBlock", "If False Then\n Function F()\n  F = 3\n End Function\nEnd If\nOut F()", "3"},
    {"SubInsideLoopBody", "For i = 1 To 1\n Private Sub P()\n  Out \"p\"\n End Sub\nNext\nP", "p"},
    {"OneLineSub", "Sub S() Out 1 End Sub\nS", "1"},
    {"OneLineFunction", "Function F(a) F = a * 2 End Function\nOut F(4)", "8"},
    {"OneLineMethodAndEndClass", "Class C\n Public v\n Sub M() v = 3 End Sub\nEnd Class\nSet c = New C\nc.M\nOut c.v", "3"},
    {"EndClassAfterField", "Class C : Public v End Class\nSet c = New C\nc.v = 4\nOut c.v", "4"},
    {"OneLinePropertyGet", "Class C\n Property Get P() P = 5 End Property\nEnd Class\nSet c = New C\nOut c.P", "5"},
    {"SingleLineIfInOneLineSub", "Sub S(x) If x Then Out \"yes\" End Sub\nS True", "yes"},
    {"StepAsVariable", "Dim step\nstep = 2\nFor i = 1 To 5 Step step : Out i : Next", "1|3|5"},
    {"PropertyAsVariable", "Dim property\nproperty = 7\nOut property + 1", "8"},
    {"StepAndPropertyImplicit", "step = 1 : property = 2\nOut step, property", "1 2"},
    {"SubNamedProperty", "Class C\n Sub Property()\n  Out \"p\"\n End Sub\n Property Get Step()\n  Step = 9\n End Property\nEnd Class\n"
                         "Set c = New C\nc.Property\nOut c.Step", "p|9"},
    {"PropertyGetNamedProperty", "Class C\n Property Get Property()\n  Property = 8\n End Property\nEnd Class\nSet c = New C\nOut c.Property", "8"},
    {"FieldNamedProperty", "Class C\n Public property\nEnd Class\nSet c = New C\nc.property = 6\nOut c.property", "6"},
    {"ParameterNamedProperty", "Sub S(property, step)\n Out property * step\nEnd Sub\nS 4, 2", "8"},
    {"ForVariableNamedStep", "For step = 1 To 2 : Out step : Next step", "1|2"},
    {"RemAsMemberName", "Class C\n Public [rem]\nEnd Class\nSet c = New C\nc.rem = 3\nOut c.rem Rem a comment", "3"},
    {"CallOnParenthesisedNew", "Class C\n Sub M()\n  Out \"m\"\n End Sub\nEnd Class\nCall (New C).M()", "m"},
    {"CallOnNestedParentheses", "Sub S(a)\n Out a\nEnd Sub\ncall (((S))) (5)", "5"},
    {"ParenthesisedCallee", "Function F(a)\n F = a + 1\nEnd Function\ny = (F)(1)\nOut y, ((F))(2)", "2 3"},
    {"ParenthesisedArray", "a = Array(4, 5)\nx = (a)(1)\nOut x", "5"},
    {"GreaterLessIsNotEqual", "Out 1 >< 2, 1 >< 1\nIf \"a\" >< \"b\" Then Out \"ne\"", "True False|ne"},
};
INSTANTIATE_TEST_SUITE_P(Accepted, WindowsSyntax, ::testing::ValuesIn(kSyntax), caseName);

class WindowsValues : public ::testing::TestWithParam<ValueCase> {};
TEST_P(WindowsValues, Print) { expectOutput(std::string("Out ") + GetParam().expr, GetParam().expected, GetParam().expr); }

const ValueCase kOperators[] = {
    {"-3^2", "9"},
    {"-2^3", "-8"},
    {"2^-2", "0.25"},
    {"-(3^2)", "-9"},
    {"2 * -3^2", "18"},
    {"Not \"#FALSE#\"", "True"},
    {"Not \"#true#\"", "False"},
    {"Not \"False\"", "True"},
    {"TypeName(Not \"0\")", "Long"},
    {"CSng(0.001 * 0.001) = 0.000001", "True"},
    {"CSng(0.5) = 0.5", "True"},
    {"CSng(0.1) < 0.1", "False"},
};
INSTANTIATE_TEST_SUITE_P(Operators, WindowsValues, ::testing::ValuesIn(kOperators));

const ValueCase kLiterals[] = {
    {"TypeName(&h10&)", "Integer"},
    {"TypeName(&hFFFF&) & \" \" & &hFFFF&", "Long 65535"},
    {"TypeName(&h8000&) & \" \" & &h8000&", "Long 32768"},
    {"TypeName(&hFFFF) & \" \" & &hFFFF", "Integer -1"},
    {"TypeName(-32768)", "Long"},
    {"TypeName(-32767)", "Integer"},
    {"Hex(-32768)", "FFFF8000"},
    {"Oct(-32768)", "37777700000"},
    {"Hex(-32767)", "8001"},
    {"TypeName(vbMsgBoxHelpButton) & vbMsgBoxHelpButton", "Long16384"},
    {"TypeName(vbUseSystem) & vbUseSystem", "Integer0"},
};
INSTANTIATE_TEST_SUITE_P(Literals, WindowsValues, ::testing::ValuesIn(kLiterals));

const ValueCase kConversions[] = {
    {"CByte(True)", "255"},
    {"TypeName(CByte(True)) & CByte(False)", "Byte0"},
    {"Round(True) & TypeName(Round(True))", "TrueBoolean"},
    {"TypeName(Round(False))", "Boolean"},
    {"InStrRev(\"\", \"\", 3, 0)", "0"},
    {"InStrRev(\"abcd\", \"\", 3, 1)", "3"},
    {"InStrRev(\"abcd\", \"\", 5)", "0"},
    {"Rnd(0) = 327680 / 16777216", "True"},
    {"CInt(1) + CByte(2)", "3"},
};
INSTANTIATE_TEST_SUITE_P(Conversions, WindowsValues, ::testing::ValuesIn(kConversions));

// Null and bad arguments raise instead of giving Null.
const ValueCase kArguments[] = {
    {"Replace(Null, \"a\", \"b\")", "ERR 94"},
    {"Replace(\"xx\", Null, \"y\")", "ERR 94"},
    {"Replace(\"xx\", \"x\", Null)", "ERR 94"},
    {"Replace(\"xx\", \"x\", \"y\", 1, Null)", "ERR 94"},
    {"Replace(\"xx\", \"x\", \"y\", 1, 1, 8)", "ERR 5"},
    {"Split(Null)", "ERR 94"},
    {"Split(\"a-b\", Null)", "ERR 94"},
    {"Split(\"a-b\", \"-\", -2)", "ERR 5"},
    {"Split(\"a-b\", \"-\", -1, 2)", "ERR 5"},
    {"UBound(Split(\"a-b-c\", \"-\", -1, 1))", "2"},
    {"Right(\"test\", Null)", "ERR 94"},
    {"Right(Null, -1)", "ERR 5"},
    {"Right(Null, 1)", "<Null>"},
    {"Left(\"test\", Null)", "ERR 94"},
    {"Left(Null, -1)", "ERR 5"},
    {"Left(Null, 2)", "<Null>"},
    {"Mid(\"test\", Null, 2)", "ERR 94"},
    {"Mid(\"test\", \"a\", Null)", "ERR 94"},
    {"Mid(\"test\", \"a\", 1)", "ERR 13"},
    {"Mid(Null, -1, -1)", "ERR 5"},
    {"Mid(\"test\", 0, Empty)", "ERR 5"},
    {"Mid(Null, 2)", "<Null>"},
    {"InStrRev(\"abcd\", Null)", "ERR 94"},
    {"InStrRev(Null, \"a\")", "ERR 94"},
    {"DateSerial(Null, 1, 1)", "ERR 94"},
    {"DateSerial(2000, Null, 1)", "ERR 94"},
    {"DateSerial(10000, 1, 1)", "ERR 5"},
    {"TimeSerial(10, Null, 1)", "ERR 94"},
    {"Weekday(Now, Null)", "ERR 94"},
    {"Weekday(Null, 10)", "ERR 5"},
    {"Weekday(Null, \"a\")", "ERR 13"},
    {"Weekday(Null)", "<Null>"},
    {"MonthName(1, Null)", "ERR 94"},
    {"WeekdayName(1, Null)", "ERR 94"},
    {"FormatNumber(Null)", "ERR 13"},
    {"FormatNumber(0.1, Null)", "ERR 94"},
    {"FormatNumber(0.1, 0, 0, 0, Null)", "ERR 94"},
    {"FormatCurrency(Null)", "ERR 13"},
    {"FormatCurrency(1000, 0, Null)", "ERR 94"},
    {"FormatPercent(Null)", "ERR 13"},
    {"FormatPercent(0.1, 0, 0, Null)", "ERR 94"},
    {"FormatDateTime(Null)", "ERR 13"},
    {"FormatDateTime(0.1, Null)", "ERR 94"},
};
INSTANTIATE_TEST_SUITE_P(Arguments, WindowsValues, ::testing::ValuesIn(kArguments));

class WindowsErrors : public ::testing::TestWithParam<ScriptCase> {};
TEST_P(WindowsErrors, Run) { expectScript(GetParam()); }

const ScriptCase kErrors[] = {
    {"RaiseKeepsWhatItLeavesOut",
     "On Error Resume Next\nErr.Raise 1, \"src\", \"desc\", \"hf\", 1\nErr.Raise 5\n"
     "Out Err.Number, Err.Source, Err.Description, Err.HelpFile, Err.HelpContext",
     "5 src desc hf 1"},
    {"RaiseAfterClearUsesTheStandardText", "On Error Resume Next\nErr.Raise 1, \"abc\"\nOut Err.Number, Err.Source, Err.Description",
     "1 abc Unknown runtime error"},
    {"RaiseHresultOfOutOfMemory", "On Error Resume Next\nErr.Raise &h8007000E&\nOut Err.Number, Err.Description, Err.Source",
     "7 Out of memory Microsoft VBScript runtime error"},
    {"RaiseHresultKeepsSource", "On Error Resume Next\nErr.Raise 1, \"test\"\nErr.Raise &h8007000E&\nOut Err.Number, Err.Source, Err.Description",
     "7 test Unknown runtime error"},
    {"RaiseHresultOfVBScriptFacility", "On Error Resume Next\nErr.Raise &h800A0035&\nOut Err.Number, Err.Description", "53 File not found"},
    {"RaiseUnknownHresultStays", "On Error Resume Next\nErr.Raise &h80080008&\nOut Hex(Err.Number)", "80080008"},
    {"RaiseWithoutArguments", "On Error Resume Next\nErr.Raise\nOut Err.Number", "450"},
    {"RaiseZero", "On Error Resume Next\nErr.Raise 0\nOut Err.Number", "5"},
    {"RaiseBeyondSixteenBits", "On Error Resume Next\nErr.Raise &h10000&\nOut Err.Number", "5"},
    {"RaiseSixteenBitValues", "On Error Resume Next\nErr.Raise &h8000\nOut Err.Number\nErr.Raise -20\nOut Err.Number\nErr.Raise -&h8000\nOut Err.Number",
     "-32768|-20|32768"},
    {"RuntimeErrorReplacesEveryField",
     "On Error Resume Next\nErr.Raise 1, 2, \"d\", \"h\", 1\nx = 1 / 0\nOut Err.Number, Err.Source, Err.Description, Err.HelpFile & \"|\" & Err.HelpContext",
     "11 Microsoft VBScript runtime error Division by zero |0"},
    {"RandomizeHasNoValue", "x = Randomize(0)", "ERR 13: Type mismatch @1"},
    {"ConversionCalledAsStatement", "Call CInt(1)", "ERR 458: Variable uses an Automation type not supported in VBScript @1"},
    {"ConversionStatementWithoutCall", "On Error Resume Next\nCLng 1\nOut Err.Number\nErr.Clear\nCall CDbl(\"x\")\nOut Err.Number", "458|13"},
    {"OtherFunctionsAsStatements", "Call Abs(-4)\nCall Len(\"a\")\nRandomize 1\nOut \"ok\"", "ok"},
    {"ReDimOfFixedArrayBeforeBounds", "Dim a(3)\nReDim a(\"x\")", "ERR 10: This array is fixed or temporarily locked @2"},
    {"ReDimLargestBound", "ReDim a(&H7FFFFFFF)", "ERR 7: Out of memory @1"},
    {"DimLargestBound", "Dim a(2147483647)", "ERR 7: Out of memory @1"},
    {"ReDimLargestBoundTwoDimensions", "On Error Resume Next\nReDim a(2, 2147483647)\nOut Err.Number, IsEmpty(a)", "7 True"},
    {"TerminateChainEndsOutOfStack",
     "Class C\n Sub Class_Terminate\n  Dim x\n  Set x = New C\n End Sub\nEnd Class\nSet y = New C\nSet y = Nothing\nOut \"after\"",
     "ERR 28: Out of stack space @8"},
    {"TerminateChainAtTheEndOfTheScript",
     "Class C\n Sub Class_Terminate\n  Set t = New C\n End Sub\nEnd Class\nSet y = New C\nSet y = Nothing",
     "ERR 28: Out of stack space @7"},
    {"TerminateMakingAGlobalIsNoChain",
     "Dim g, n\nClass C\n Sub Class_Terminate\n  n = n + 1\n  Set g = New C\n End Sub\nEnd Class\nSet g = New C\nSet g = Nothing\nOut n",
     "1"},
    {"ReDimOfFixedArrayNegative", "Dim a(3)\nReDim Preserve a(-5)", "ERR 10: This array is fixed or temporarily locked @2"},
};
INSTANTIATE_TEST_SUITE_P(Raise, WindowsErrors, ::testing::ValuesIn(kErrors), caseName);

const ScriptCase kDefinitions[] = {
    {"ConstBoundAtCompileTime", "If False Then Const c = \"str\"\nOut c", "str"},
    {"ConstUsedBeforeItsLine", "Out k + 1\nConst k = 41", "42"},
    {"NegativeConstBound", "If False Then Const n = -5\nOut n, TypeName(n)", "-5 Integer"},
    {"LocalConstBound", "Sub S()\n If False Then Const L = 3\n Out L\nEnd Sub\nS\nS", "3|3"},
    {"ConstStaysReadOnly", "If False Then Const c = 1\nc = 2", "ERR 5008: Illegal assignment @2"},
    {"UserClassNamedRegExp",
     "Class RegExp\n Public Pattern\nEnd Class\nSet r = New RegExp\nr.Pattern = \"b+\"\nOut TypeName(r), r.Replace(\"abbc\", \"-\")",
     "IRegExp2 a-c"},
    {"ReplaceKeepsMissingGroupLiterally",
     "Set re = New RegExp\nre.Pattern = \"(a)(b)\"\nOut re.Replace(\"xaby\", \"[$3|$2|$1|$&|$$|$0]\")", "x[$3|b|a|ab|$|$0]y"},
    {"ReplaceTwoDigitGroupFallsBackToOne",
     "Set re = New RegExp\nre.Pattern = \"(a)\"\nOut re.Replace(\"a\", \"$12\")", "a2"},
    {"ReplaceWithBoolean", "Set re = New RegExp\nre.Pattern = \"b\"\nOut re.Replace(\"abc\", True), re.Replace(\"abc\", False)",
     "a-1c a0c"},
    {"ReplaceBeforeAndAfter", "Set re = New RegExp\nre.Pattern = \"b\"\nOut re.Replace(\"abc\", \"<$`|$'>\")", "a<a|c>c"},
};
INSTANTIATE_TEST_SUITE_P(Definitions, WindowsErrors, ::testing::ValuesIn(kDefinitions), caseName);

}  // namespace
}  // namespace vk::vbs::test
