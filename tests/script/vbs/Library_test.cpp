#include <gtest/gtest.h>

#include "VbsTestSupport.h"

namespace vk::vbs::test {
namespace {

// CStr of the result, "<Null>", or "ERR n".
using Case = ValueCase;

class Library : public ::testing::TestWithParam<Case> {};

TEST_P(Library, Evaluates) { expectOutput(std::string("Out ") + GetParam().expr, GetParam().expected, GetParam().expr); }

const Case kStrings[] = {
    {"Len(\"hello\")", "5"},
    {"Len(12345)", "5"},
    {"Len(Null)", "<Null>"},
    {"Left(\"hello\", 2)", "he"},
    {"Left(\"hi\", 10)", "hi"},
    {"Left(\"hi\", -1)", "ERR 5"},
    {"Right(\"hello\", 3)", "llo"},
    {"Mid(\"hello\", 2, 3)", "ell"},
    {"Mid(\"hello\", 4)", "lo"},
    {"\"[\" & Mid(\"hello\", 9) & \"]\"", "[]"},
    {"Mid(\"hello\", 0)", "ERR 5"},
    {"InStr(\"hello\", \"l\")", "3"},
    {"InStr(4, \"hello\", \"l\")", "4"},
    {"InStr(5, \"hello\", \"l\")", "0"},
    {"InStr(\"Hello\", \"h\")", "0"},
    {"InStr(1, \"Hello\", \"h\", vbTextCompare)", "1"},
    {"InStr(\"abc\", \"\")", "1"},
    {"InStr(Null, \"a\")", "<Null>"},
    {"InStrRev(\"a.b.c\", \".\")", "4"},
    {"InStrRev(\"a.b.c\", \".\", 3)", "2"},
    {"Replace(\"a-b-c\", \"-\", \"+\")", "a+b+c"},
    {"Replace(\"a-b-c\", \"-\", \"+\", 1, 1)", "a+b-c"},
    {"Replace(\"a-b-c\", \"-\", \"+\", 3)", "b+c"},
    {"Replace(\"ABab\", \"a\", \"x\", 1, -1, vbTextCompare)", "xBxb"},
    {"UBound(Split(\"a,b,c\", \",\"))", "2"},
    {"Split(\"a,b,c\", \",\", 2)(1)", "b,c"},
    {"UBound(Split(\"\"))", "-1"},
    {"Split(\"a b\")(1)", "b"},
    {"Join(Array(1, 2, 3), \"-\")", "1-2-3"},
    {"Join(Array(\"a\", \"b\"))", "a b"},
    {"Join(Filter(Array(\"apple\", \"pear\", \"grape\"), \"ap\"), \",\")", "apple,grape"},
    {"Join(Filter(Array(\"apple\", \"pear\"), \"ap\", False), \",\")", "pear"},
    {"UCase(\"abc\") & LCase(\"DEF\")", "ABCdef"},
    {"\"[\" & Trim(\"  x  \") & \"]\" & LTrim(\" y\") & RTrim(\"z \") & \"]\"", "[x]yz]"},
    {"\"[\" & Space(3) & \"]\"", "[   ]"},
    {"String(3, \"ab\")", "aaa"},
    {"String(2, 65)", "AA"},
    {"StrReverse(\"abc\")", "cba"},
    {"StrComp(\"a\", \"b\")", "-1"},
    {"StrComp(\"B\", \"b\", 1)", "0"},
    {"StrComp(\"b\", \"a\")", "1"},
    {"Asc(\"A\")", "65"},
    {"Asc(Chr(128))", "128"},
    {"AscW(Chr(128))", "8364"},
    {"AscW(ChrW(&HFFFF))", "-1"},
    {"Chr(256)", "ERR 5"},
    {"Asc(\"\")", "ERR 5"},
    {"Len(ChrW(8364) & \"x\")", "2"},
    {"Escape(\"a b&c\")", "a%20b%26c"},
    {"Unescape(\"a%20b%u20AC\") = \"a b\" & ChrW(8364)", "True"},
};
INSTANTIATE_TEST_SUITE_P(Strings, Library, ::testing::ValuesIn(kStrings));

const Case kMath[] = {
    {"Round(2.5)", "2"},
    {"Round(3.5)", "4"},
    {"Round(-0.5)", "0"},
    {"Round(-1.5)", "-2"},
    {"Round(1.2345, 2)", "1.23"},
    {"Round(2.675, 2)", "2.68"},
    {"Round(0.125, 2)", "0.12"},
    {"CInt(2.5)", "2"},
    {"CInt(3.5)", "4"},
    {"CInt(-2.5)", "-2"},
    {"CInt(32767.4)", "32767"},
    {"CInt(32767.5)", "ERR 6"},
    {"CInt(\"12\")", "12"},
    {"CInt(\"x\")", "ERR 13"},
    {"CLng(2147483647.4)", "2147483647"},
    {"CLng(2147483648)", "ERR 6"},
    {"CByte(255)", "255"},
    {"CByte(256)", "ERR 6"},
    {"CDbl(\"1.5e3\")", "1500"},
    {"CDbl(\"1,000.5\")", "1000.5"},
    {"CBool(\"True\") And CBool(5)", "True"},
    {"CBool(0)", "False"},
    {"CBool(\"x\")", "ERR 13"},
    {"CStr(1.5)", "1.5"},
    {"CCur(1.23456)", "1.2346"},
    {"CSng(1.5)", "1.5"},
    {"TypeName(CSng(1)) & TypeName(CByte(1)) & TypeName(CCur(1))", "SingleByteCurrency"},
    {"Hex(255)", "FF"},
    {"Hex(-1)", "FFFF"},
    {"Hex(-1&)", "FFFFFFFF"},
    {"Hex(65536)", "10000"},
    {"Oct(8)", "10"},
    {"Int(-2.5) & \" \" & Fix(-2.5) & \" \" & Int(2.7)", "-3 -2 2"},
    {"Abs(-3) & Abs(2.5)", "32.5"},
    {"Sgn(-4) & Sgn(0) & Sgn(3)", "-101"},
    {"Sqr(16)", "4"},
    {"Sqr(-1)", "ERR 5"},
    {"Log(0)", "ERR 5"},
    {"Round(Exp(1), 5)", "2.71828"},
    {"Round(Atn(1) * 4, 6)", "3.141593"},
    {"Round(Sin(0) + Cos(0) + Tan(0), 6)", "1"},
    {"Rnd(-1) = Rnd(-1)", "True"},
    {"Rnd() >= 0 And Rnd() < 1", "True"},
    {"IsNumeric(\"12.5\") & IsNumeric(\"abc\") & IsNumeric(Empty) & IsNumeric(Null)", "TrueFalseTrueFalse"},
    {"IsDate(\"12/31/2026\") & IsDate(\"nope\") & IsDate(#1/1/2000#)", "TrueFalseTrue"},
    {"IsEmpty(Empty) & IsEmpty(\"\") & IsNull(Null) & IsObject(Nothing) & IsArray(Array())", "TrueFalseTrueTrueTrue"},
    {"VarType(1) & \" \" & VarType(100000) & \" \" & VarType(1.5) & \" \" & VarType(\"s\") & \" \" & VarType(Array(1))", "2 3 5 8 8204"},
    {"TypeName(Empty) & TypeName(Null) & TypeName(Nothing) & TypeName(True) & TypeName(Array())", "EmptyNullNothingBooleanVariant()"},
    {"UBound(Array())", "-1"},
    {"LBound(Array(1, 2))", "0"},
    {"UBound(5)", "ERR 13"},
    {"RGB(255, 0, 1)", "65791"},
    {"ScriptEngine & ScriptEngineMajorVersion & \".\" & ScriptEngineMinorVersion", "VBScript5.8"},
    {"FormatNumber(1234.567)", "1,234.57"},
    {"FormatNumber(1234.567, 1, -1, 0, 0)", "1234.6"},
    {"FormatNumber(0.5, 2, 0)", ".50"},
    {"FormatNumber(-5, 0, -1, -1)", "(5)"},
    {"FormatPercent(0.256)", "25.60%"},
    {"FormatCurrency(1234.5)", "$1,234.50"},
    {"vbCrLf = Chr(13) & Chr(10)", "True"},
    {"Len(vbTab & vbNullString)", "1"},
    {"vbTextCompare + vbYesNo + vbString", "13"},
};
INSTANTIATE_TEST_SUITE_P(Math, Library, ::testing::ValuesIn(kMath));

const Case kDates[] = {
    {"DateSerial(2026, 12, 10)", "12/10/2026"},
    {"DateSerial(2026, 13, 1)", "1/1/2027"},
    {"DateSerial(2026, 3, 0)", "2/28/2026"},
    {"TimeSerial(13, 5, 9)", "1:05:09 PM"},
    {"CDate(\"12/10/2026 8:30:00 AM\")", "12/10/2026 8:30:00 AM"},
    {"CDate(\"2026-12-10\")", "12/10/2026"},
    {"CDate(\"December 10, 2026\")", "12/10/2026"},
    {"CDate(\"nope\")", "ERR 13"},
    {"Year(#2/29/2024#) & Month(#2/29/2024#) & Day(#2/29/2024#)", "2024229"},
    {"Hour(#1:02:03 PM#) & Minute(#1:02:03 PM#) & Second(#1:02:03 PM#)", "1323"},
    {"Weekday(#12/10/2026#)", "5"},
    {"Weekday(#12/10/2026#, vbMonday)", "4"},
    {"WeekdayName(1) & MonthName(2) & MonthName(3, True)", "SundayFebruaryMar"},
    {"DateAdd(\"m\", 1, #1/31/2026#)", "2/28/2026"},
    {"DateAdd(\"d\", -1, #3/1/2024#)", "2/29/2024"},
    {"DateAdd(\"yyyy\", 1, #2/29/2024#)", "2/28/2025"},
    {"DateAdd(\"h\", 25, #1/1/2026#)", "1/2/2026 1:00:00 AM"},
    {"DateDiff(\"d\", #1/1/2026#, #3/1/2026#)", "59"},
    {"DateDiff(\"m\", #1/31/2026#, #2/1/2026#)", "1"},
    {"DateDiff(\"yyyy\", #12/31/2025#, #1/1/2026#)", "1"},
    {"DateDiff(\"h\", #1/1/2026 1:59:00 AM#, #1/1/2026 2:01:00 AM#)", "1"},
    {"DateDiff(\"s\", #1/1/2026#, #1/1/2026 0:01:00#)", "60"},
    {"DatePart(\"q\", #8/15/2026#) & DatePart(\"y\", #2/1/2026#)", "332"},
    {"DateValue(\"12/10/2026 5:00 PM\")", "12/10/2026"},
    {"TimeValue(\"12/10/2026 5:00 PM\")", "5:00:00 PM"},
    {"FormatDateTime(#12/10/2026 13:05:00#, vbLongDate)", "Thursday, December 10, 2026"},
    {"FormatDateTime(#12/10/2026 13:05:00#, vbShortTime)", "13:05"},
    {"FormatDateTime(#12/10/2026 13:05:00#, vbShortDate)", "12/10/2026"},
    {"TypeName(Now) & TypeName(Date) & TypeName(Timer)", "DateDateSingle"},
    {"Now >= Date", "True"},
    {"CDate(0)", "12:00:00 AM"},
};
INSTANTIATE_TEST_SUITE_P(Dates, Library, ::testing::ValuesIn(kDates));

const Case kObjects[] = {
    {"TypeName(CreateObject(\"Scripting.Dictionary\"))", "Dictionary"},
    {"TypeName(New RegExp)", "IRegExp2"},
};
INSTANTIATE_TEST_SUITE_P(Objects, Library, ::testing::ValuesIn(kObjects));

class Objects : public ::testing::TestWithParam<ScriptCase> {};
TEST_P(Objects, Run) { expectScript(GetParam()); }

const ScriptCase kDictionary[] = {
    {"AddCountItem", "Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"a\", 1\nd.Add \"b\", \"two\"\nOut d.Count, d(\"a\"), d.Item(\"b\")", "2 1 two"},
    {"DuplicateKey", "Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"a\", 1\nd.Add \"a\", 2",
     "ERR 457: This key is already associated with an element of this collection @3"},
    {"ExistsRemove", "Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"a\", 1\nd.Remove \"a\"\nOut d.Exists(\"a\"), d.Count\nd.Remove \"zz\"",
     "False 0|ERR 32811: Element not found @5"},
    {"ReadMissingAdds", "Set d = CreateObject(\"Scripting.Dictionary\")\nx = d(\"k\")\nOut d.Exists(\"k\"), IsEmpty(x)", "True True"},
    {"AssignItem", "Set d = CreateObject(\"Scripting.Dictionary\")\nd(\"k\") = 5\nd(\"k\") = d(\"k\") + 1\nOut d(\"k\")", "6"},
    {"KeysItemsOrder", "Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"z\", 1 : d.Add \"a\", 2\nOut Join(d.Keys, \",\"), Join(d.Items, \",\")", "z,a 1,2"},
    {"CompareModeText", "Set d = CreateObject(\"Scripting.Dictionary\")\nd.CompareMode = vbTextCompare\nd.Add \"Key\", 1\nOut d.Exists(\"KEY\")", "True"},
    {"BinaryDefault", "Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"Key\", 1\nOut d.Exists(\"KEY\")", "False"},
    {"NumberAndStringKeysDiffer", "Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add 1, \"n\"\nd.Add \"1\", \"s\"\nOut d.Count, d(1), d(\"1\")", "2 n s"},
    {"RenameKey", "Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"a\", 1\nd.Key(\"a\") = \"b\"\nOut d.Exists(\"a\"), d(\"b\")", "False 1"},
    {"RemoveAll", "Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"a\", 1\nd.RemoveAll\nOut d.Count", "0"},
    {"ObjectValues", "Set d = CreateObject(\"Scripting.Dictionary\")\nSet d2 = CreateObject(\"Scripting.Dictionary\")\nd2.Add \"x\", 7\nd.Add \"inner\", d2\nOut d(\"inner\")(\"x\")", "7"},
};
INSTANTIATE_TEST_SUITE_P(Dictionary, Objects, ::testing::ValuesIn(kDictionary), caseName);

const ScriptCase kRegExp[] = {
    {"Test", "Set re = New RegExp\nre.Pattern = \"^a\\d+$\"\nOut re.Test(\"a123\"), re.Test(\"a12b\")", "True False"},
    {"IgnoreCase", "Set re = New RegExp\nre.Pattern = \"abc\"\nre.IgnoreCase = True\nOut re.Test(\"xABCx\")", "True"},
    {"ExecuteGlobal", "Set re = New RegExp\nre.Pattern = \"(\\w)(\\d)\"\nre.Global = True\nSet ms = re.Execute(\"a1 b2 c3\")\nOut ms.Count\nFor Each m In ms\n Out m.Value, m.FirstIndex, m.Length, m.SubMatches(0), m.SubMatches(1)\nNext",
     "3|a1 0 2 a 1|b2 3 2 b 2|c3 6 2 c 3"},
    {"ExecuteFirstOnly", "Set re = New RegExp\nre.Pattern = \"\\d\"\nOut re.Execute(\"1 2 3\").Count, re.Execute(\"1 2 3\")(0)", "1 1"},
    {"Replace", "Set re = New RegExp\nre.Pattern = \"(\\w+)@(\\w+)\"\nre.Global = True\nOut re.Replace(\"joe@host ann@box\", \"$2:$1\")", "host:joe box:ann"},
    {"ReplaceFirst", "Set re = New RegExp\nre.Pattern = \"o\"\nOut re.Replace(\"foo\", \"0\")", "f0o"},
    {"Multiline", "Set re = New RegExp\nre.Pattern = \"^b\"\nOut re.Test(\"a\" & vbLf & \"b\")\nre.Multiline = True\nOut re.Test(\"a\" & vbLf & \"b\")", "False|True"},
    {"BadPattern", "Set re = New RegExp\nre.Pattern = \"(a\"\nOut re.Test(\"a\")", "ERR 5020: Expected ')' in regular expression @3"},
    {"CreateObjectProgId", "Set re = CreateObject(\"VBScript.RegExp\")\nre.Pattern = \"x+\"\nOut re.Replace(\"axxxb\", \"-\")", "a-b"},
    {"LongSubject", "Set re = New RegExp\nre.Pattern = \"^(a|b)*c$\"\nOut re.Test(String(50000, \"a\") & \"c\")", "True"},
};
INSTANTIATE_TEST_SUITE_P(RegExp, Objects, ::testing::ValuesIn(kRegExp), caseName);

// A pattern that backtracks exponentially ends in a script error that On Error can catch,
// instead of running for minutes.
TEST(RegExpLimits, CatastrophicBacktrackingIsAScriptError) {
    Runner r;
    EXPECT_EQ(r.run("Set re = New RegExp\nre.Pattern = \"^(a+)+$\"\n"
                    "On Error Resume Next\nfound = re.Test(String(40, \"a\") & \"!\")\n"
                    "Out Err.Number, IsEmpty(found)\nOn Error GoTo 0\n"
                    "Out re.Test(String(40, \"a\"))"),
              "17 True|True");
}

}  // namespace
}  // namespace vk::vbs::test
