#include <gtest/gtest.h>

#include "VbsTestSupport.h"

namespace vk::vbs::test {
namespace {

class Language : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(Language, Runs) { expectScript(GetParam()); }

const ScriptCase kStatements[] = {
    {"Assign", "x = 1 + 2\nOut x", "3"},
    {"DimMulti", "Dim a, b\na = 5 : b = a * 2\nOut a, b", "5 10"},
    {"IfBlock", "x = 3\nIf x > 2 Then\n Out \"big\"\nElseIf x > 1 Then\n Out \"mid\"\nElse\n Out \"small\"\nEnd If", "big"},
    {"IfElseIf", "x = 2\nIf x > 2 Then\n Out \"big\"\nElseIf x > 1 Then\n Out \"mid\"\nElse\n Out \"small\"\nEnd If", "mid"},
    {"IfSingleLine", "x = 1\nIf x = 1 Then Out \"a\" : Out \"b\" Else Out \"c\"\nOut \"d\"", "a|b|d"},
    {"IfSingleLineElse", "x = 2\nIf x = 1 Then Out \"a\" : Out \"b\" Else Out \"c\" : Out \"e\"\nOut \"d\"", "c|e|d"},
    {"ForStep", "For i = 10 To 1 Step -3 : Out i : Next", "10|7|4|1"},
    {"ForExit", "For i = 1 To 10\n If i = 3 Then Exit For\nNext\nOut i", "3"},
    {"ForAfterLoop", "For i = 1 To 3 : Next : Out i", "4"},
    {"ForDouble", "For x = 0 To 1 Step 0.25 : Out x : Next", "0|0.25|0.5|0.75|1"},
    {"ForEachArray", "For Each v In Array(1, \"a\", True) : Out v : Next", "1|a|True"},
    {"DoWhile", "i = 0\nDo While i < 3\n i = i + 1\nLoop\nOut i", "3"},
    {"DoUntilPost", "i = 0\nDo\n i = i + 1\nLoop Until i >= 5\nOut i", "5"},
    {"DoLoopExit", "i = 0\nDo\n i = i + 1\n If i = 4 Then Exit Do\nLoop\nOut i", "4"},
    {"DoPostWhileRunsOnce", "i = 10\nDo\n i = i + 1\nLoop While i < 5\nOut i", "11"},
    {"WhileWend", "i = 0\nWhile i < 4\n i = i + 2\nWend\nOut i", "4"},
    {"SelectCase", "For Each x In Array(1, 5, 12, 7, \"z\")\nSelect Case x\n Case 1, 2: Out \"one-two\"\n Case 3 To 6: Out \"range\"\n Case \"z\": Out \"zed\"\n Case Is > 10: Out \"big\"\n Case Else: Out \"else\"\nEnd Select\nNext",
     "one-two|range|big|else|zed"},
    {"With", "Class P\n Public N\nEnd Class\nSet p = New P\nWith p\n .N = 7\n Out .N * 2\nEnd With", "14"},
    {"Const", "Const A = 5, B = \"x\"\nOut A & B", "5x"},
    {"ConstIsReadOnly", "Const A = 5\nOut A\nA = 6", "5|ERR 5008: Illegal assignment @3"},
    {"ConstInProcReadOnly", "Sub S()\n Const L = 1\n L = 2\nEnd Sub\nS", "ERR 5008: Illegal assignment @3"},
    {"LocalShadowsConst", "Const A = 5\nSub S()\n Dim A\n A = 6\n Out A\nEnd Sub\nS\nOut A", "6|5"},
    {"Comments", "' comment\nRem another\nx = 1 ' trailing\nOut x Rem fine", "1"},
    {"LineContinuation", "x = 1 + _\n    2\nOut x", "3"},
    {"ReDimPreserve", "ReDim a(2)\na(0) = \"x\" : a(2) = \"z\"\nReDim Preserve a(4)\na(4) = \"w\"\nOut UBound(a), a(0), a(2), a(4)", "4 x z w"},
    {"ReDimLoses", "ReDim a(2)\na(1) = 5\nReDim a(3)\nOut IsEmpty(a(1))", "True"},
    {"MultiDim", "Dim m(2, 3)\nm(1, 2) = 9\nOut UBound(m, 1), UBound(m, 2), m(1, 2)", "2 3 9"},
    {"FixedArrayReDim", "Dim a(3)\nReDim a(5)", "ERR 10: This array is fixed or temporarily locked @2"},
    {"EraseFixed", "Dim a(2)\na(1) = 4\nErase a\nOut UBound(a), IsEmpty(a(1))", "2 True"},
    {"EraseDynamic", "ReDim a(2)\nErase a\nOut UBound(a)", "ERR 9: Subscript out of range @3"},
    {"ArrayCopyIsValue", "a = Array(1, 2)\nb = a\nb(0) = 9\nOut a(0), b(0)", "1 9"},
    {"Subscript", "a = Array(1, 2)\nOut a(2)", "ERR 9: Subscript out of range @2"},
    {"MidStatement", "s = \"abcdef\"\nMid(s, 2, 3) = \"XYZW\"\nOut s", "aXYZef"},
    {"CallKeyword", "Sub S(a, b)\n Out a + b\nEnd Sub\nCall S(1, 2)\nS 3, 4", "3|7"},
    {"FunctionReturn", "Function F(n)\n F = n * 2\nEnd Function\nOut F(21)", "42"},
    {"FunctionReturnReadBack", "Function F()\n F = 1\n F = F + 1\nEnd Function\nOut F()", "2"},
    {"Recursion", "Function Fact(n)\n If n <= 1 Then\n  Fact = 1\n Else\n  Fact = n * Fact(n - 1)\n End If\nEnd Function\nOut Fact(10)", "3628800"},
    {"ExitFunction", "Function F()\n F = 1\n Exit Function\n F = 2\nEnd Function\nOut F", "1"},
    {"ExitSub", "Sub S()\n Out \"a\"\n Exit Sub\n Out \"b\"\nEnd Sub\nS", "a"},
    {"DefinedLater", "Out Twice(4)\nFunction Twice(x)\n Twice = x + x\nEnd Function", "8"},
    {"LocalsIsolated", "x = 1\nSub S()\n Dim x\n x = 5\nEnd Sub\nS\nOut x", "1"},
    {"GlobalFromSub", "x = 1\nSub S()\n x = 5\nEnd Sub\nS\nOut x", "5"},
    {"ImplicitLocal", "Sub S()\n y = 5\nEnd Sub\nS\nOut IsEmpty(y)", "True"},
    {"WrongArgCount", "Sub S(a)\nEnd Sub\nS 1, 2", "ERR 450: Wrong number of arguments or invalid property assignment @3"},
    {"OptionExplicit", "Option Explicit\nDim a\na = 1\nb = 2", "ERR 500: Variable is undefined @4"},
    {"OptionExplicitRead", "Option Explicit\nOut zz", "ERR 500: Variable is undefined @2"},
    {"UndefinedSub", "NoSuchThing 1", "ERR 13: Type mismatch @1"},
    {"Execute", "Execute \"x = 40 + 2\"\nOut x", "42"},
    {"ExecuteGlobalDefinesSub", "ExecuteGlobal \"Sub Hello(n) : Out \"\"hi \"\" & n : End Sub\"\nHello 3", "hi 3"},
    {"ExecuteInProcLocal", "Sub S()\n Dim v\n v = 1\n Execute \"v = v + 10\"\n Out v\nEnd Sub\nS", "11"},
    {"ExecuteInMethodSeesMembers", "Class C\n Public V\n Sub S()\n  Execute \"V = 9\"\n End Sub\nEnd Class\nSet c = New C\nc.S\nOut c.V", "9"},
    {"ExecuteNewLocalPersistsInFrame", "Sub S()\n Execute \"Dim q : q = 4\"\n Execute \"q = q * 2\"\n Out Eval(\"q\")\nEnd Sub\nS\nOut IsEmpty(q)", "8|True"},
    {"ExecuteSyntaxError", "On Error Resume Next\nExecute \"x = (\"\nOut Err.Number, Err.Source", "1023 Microsoft VBScript compilation error"},
    {"Eval", "x = 6\nOut Eval(\"x * 7\"), Eval(\"x = 6\")", "42 True"},
    {"GetRef", "Function Add(a, b)\n Add = a + b\nEnd Function\nSet f = GetRef(\"Add\")\nOut f(2, 3)", "5"},
    {"ColonSeparators", "a = 1: b = 2: Out a + b", "3"},
    {"NestedIfInLoop", "n = 0\nFor i = 1 To 10\n If i Mod 2 = 0 Then\n  If i > 4 Then n = n + i\n End If\nNext\nOut n", "24"},
    {"CaseInsensitive", "DIM Abc\nabc = 3\nOUT ABC", "3"},
    {"StringEscapes", "Out \"say \"\"hi\"\"\"", "say \"hi\""},
    {"DateLiteral", "d = #12/25/2026#\nOut Year(d), Month(d), Day(d)", "2026 12 25"},
    {"HexOctLiterals", "Out &H1F, &O17, &HFFFF, &HFFFF&, &H8000", "31 15 -1 65535 -32768"},
};
INSTANTIATE_TEST_SUITE_P(Statements, Language, ::testing::ValuesIn(kStatements), caseName);

}  // namespace
}  // namespace vk::vbs::test
