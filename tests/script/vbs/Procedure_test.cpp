#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "VbsTestSupport.h"

namespace vk::vbs::test {
namespace {

using Case = ScriptCase;

class Procedures : public ::testing::TestWithParam<Case> {};

TEST_P(Procedures, Run) { expectScript(GetParam()); }

const Case kByRef[] = {
    {"ByRefDefault", "Sub Inc(n)\n n = n + 1\nEnd Sub\nx = 1\nInc x\nOut x", "2"},
    {"ByVal", "Sub IncV(ByVal n)\n n = n + 1\nEnd Sub\nx = 1\nIncV x\nOut x", "1"},
    {"ParenthesizedArgIsByValue", "Sub Inc(n)\n n = n + 1\nEnd Sub\nx = 1\nInc (x)\nOut x", "1"},
    {"ParenthesizedNoSpace", "Sub Inc(n)\n n = n + 1\nEnd Sub\nx = 1\nInc(x)\nOut x", "1"},
    {"CallKeepsByRef", "Sub Inc(n)\n n = n + 1\nEnd Sub\nx = 1\nCall Inc(x)\nOut x", "2"},
    {"CallWithExtraParens", "Sub Inc(n)\n n = n + 1\nEnd Sub\nx = 1\nCall Inc((x))\nOut x", "1"},
    {"FunctionCallByRef", "Function Inc(n)\n n = n + 1\n Inc = n\nEnd Function\nx = 1\ny = Inc(x)\nOut x, y", "2 2"},
    {"ArrayElementByRef", "Sub Inc(n)\n n = n + 1\nEnd Sub\nDim a(2)\na(1) = 5\nInc a(1)\nOut a(1)", "6"},
    {"ExpressionArgTemp", "Sub Inc(n)\n n = n + 1\nEnd Sub\nx = 1\nInc x + 0\nOut x", "1"},
    {"PropertyArgIsCopy", "Class C\n Public V\nEnd Class\nSub Inc(n)\n n = n + 1\nEnd Sub\nSet o = New C\no.V = 1\nInc o.V\nOut o.V", "1"},
    {"ByRefLocalChain", "Sub Inc(n)\n n = n + 1\nEnd Sub\nSub Twice(m)\n Inc m\n Inc m\nEnd Sub\nx = 0\nTwice x\nOut x", "2"},
    {"ArrayLockedWhilePassed", "Sub Grow(e)\n ReDim a(10)\nEnd Sub\nReDim a(2)\nGrow a(1)", "ERR 10: This array is fixed or temporarily locked @2"},
    {"ReDimInSubResizesGlobal", "Dim arr()\nReDim arr(0)\nSub AddItem(x)\n ReDim Preserve arr(UBound(arr) + 1)\n arr(UBound(arr)) = x\nEnd Sub\nAddItem \"a\"\nAddItem \"b\"\nOut UBound(arr), arr(2)", "2 b"},
    {"SwapViaByRef", "Sub Swap(a, b)\n t = a : a = b : b = t\nEnd Sub\nx = 1 : y = 2\nSwap x, y\nOut x, y", "2 1"},
    {"HostGetsByRef", "x = 1\nOut x, (x)\nOut x", "1 1|1"},
};
INSTANTIATE_TEST_SUITE_P(ByRef, Procedures, ::testing::ValuesIn(kByRef), caseName);

const Case kClasses[] = {
    {"Fields", "Class P\n Public X, Y\nEnd Class\nSet p = New P\np.X = 3 : p.Y = 4\nOut p.X * p.Y", "12"},
    {"PrivateField", "Class P\n Private s\n Public Sub SetIt(v)\n  s = v\n End Sub\n Public Function GetIt()\n  GetIt = s\n End Function\nEnd Class\nSet p = New P\np.SetIt 7\nOut p.GetIt()\nOut p.s",
     "7|ERR 438: Object doesn't support this property or method @13"},
    {"PropertyGetLet", "Class T\n Private v_\n Public Property Get V()\n  V = v_ * 10\n End Property\n Public Property Let V(x)\n  v_ = x\n End Property\nEnd Class\nSet t = New T\nt.V = 4\nOut t.V", "40"},
    {"PropertySet", "Class H\n Private o_\n Public Property Set Obj(x)\n  Set o_ = x\n End Property\n Public Property Get Obj()\n  Set Obj = o_\n End Property\nEnd Class\nClass P\n Public N\nEnd Class\nSet h = New H\nSet q = New P\nq.N = 9\nSet h.Obj = q\nOut h.Obj.N", "9"},
    {"InitializeTerminateOrder", "Class C\n Private Sub Class_Initialize()\n  Out \"init\"\n End Sub\n Private Sub Class_Terminate()\n  Out \"term\"\n End Sub\nEnd Class\nOut \"a\"\nSet c = New C\nOut \"b\"\nSet c = Nothing\nOut \"c\"", "a|init|b|term|c"},
    {"TerminateOnLastReference", "Class C\n Public Name\n Private Sub Class_Terminate()\n  Out \"bye \" & Name\n End Sub\nEnd Class\nSet a = New C\na.Name = \"x\"\nSet b = a\nSet a = Nothing\nOut \"still\"\nSet b = Nothing\nOut \"gone\"", "still|bye x|gone"},
    {"TerminateLocalAtSubEnd", "Class C\n Private Sub Class_Terminate()\n  Out \"term\"\n End Sub\nEnd Class\nSub S()\n Dim o\n Set o = New C\n Out \"in\"\nEnd Sub\nS\nOut \"after\"", "in|term|after"},
    {"MeAndMethods", "Class Counter\n Public N\n Public Sub Add(k)\n  N = N + k\n End Sub\n Public Function Self()\n  Set Self = Me\n End Function\nEnd Class\nSet c = New Counter\nc.N = 0\nc.Add 2\nc.Self().Add 3\nOut c.N", "5"},
    {"DefaultProperty", "Class D\n Public Default Property Get Item(i)\n  Item = i * 2\n End Property\nEnd Class\nSet d = New D\nOut d(21)", "42"},
    {"DefaultFunctionInString", "Class D\n Public Default Function Text()\n  Text = \"txt\"\n End Function\nEnd Class\nSet d = New D\nOut \"=\" & d", "=txt"},
    {"ClassArrayField", "Class A\n Public Items(3)\nEnd Class\nSet a = New A\na.Items(2) = \"z\"\nOut a.Items(2), UBound(a.Items)", "z 3"},
    {"TypeNameOfInstance", "Class Widget\nEnd Class\nSet w = New Widget\nOut TypeName(w), IsObject(w), VarType(w)", "Widget True 9"},
    {"NewUnknownClass", "Set x = New Nope", "ERR 506: Class not defined @1"},
    {"SetWithoutObject", "Set x = 5", "ERR 424: Object required @1"},
    {"MemberOnNothing", "Set x = Nothing\nOut x.Foo", "ERR 424: Object required @2"},
    {"UnknownMember", "Class C\nEnd Class\nSet c = New C\nc.Missing", "ERR 438: Object doesn't support this property or method @4"},
    {"ObjectIdentity", "Class C\nEnd Class\nSet a = New C : Set b = a : Set c = New C\nOut (a Is b), (a Is c)", "True False"},
    {"MemberCallsSibling", "Class C\n Function A()\n  A = B() + 1\n End Function\n Function B()\n  B = 41\n End Function\nEnd Class\nSet c = New C\nOut c.A", "42"},
    {"ForEachDictionary", "Set d = CreateObject(\"Scripting.Dictionary\")\nd.Add \"a\", 1 : d.Add \"b\", 2\nFor Each k In d : Out k & \"=\" & d(k) : Next", "a=1|b=2"},
};
INSTANTIATE_TEST_SUITE_P(Classes, Procedures, ::testing::ValuesIn(kClasses), caseName);

const Case kErrors[] = {
    {"ResumeNext", "On Error Resume Next\nx = 1 / 0\nOut Err.Number, Err.Description, Err.Source\nOut \"after\"",
     "11 Division by zero Microsoft VBScript runtime error|after"},
    {"GoToZeroClears", "On Error Resume Next\nx = 1 / 0\nOn Error GoTo 0\nOut Err.Number\ny = 1 / 0",
     "0|ERR 11: Division by zero @5"},
    {"RaiseHelp", "On Error Resume Next\nErr.Raise 5, \"S\", \"D\", \"help.chm\", 42\nOut Err.HelpFile, Err.HelpContext", "help.chm 42"},
    {"ErrClear", "On Error Resume Next\nErr.Raise 5\nOut Err.Number\nErr.Clear\nOut Err.Number", "5|0"},
    {"RaiseCustom", "On Error Resume Next\nErr.Raise vbObjectError + 1, \"MySrc\", \"My text\"\nOut Err.Number, Err.Source, Err.Description",
     "-2147221503 MySrc My text"},
    {"RaiseUncaught", "Err.Raise 1000, \"Src\", \"Custom failure\"", "ERR 1000: Custom failure @1"},
    {"RaiseStandardText", "Err.Raise 9", "ERR 9: Subscript out of range @1"},
    {"ScopePerProcedure", "Sub Inner()\n x = 1 / 0\n Out \"not here\"\nEnd Sub\nOn Error Resume Next\nInner\nOut \"caller continues\", Err.Number",
     "caller continues 11"},
    {"CalleeResumeDoesNotLeak", "Sub Inner()\n On Error Resume Next\n x = 1 / 0\n Out \"inner \" & Err.Number\nEnd Sub\nInner\ny = 1 / 0\nOut \"unreached\"",
     "inner 11|ERR 11: Division by zero @7"},
    {"IfConditionErrorEntersBlock", "On Error Resume Next\nIf 1 / 0 Then\n Out \"entered\"\nEnd If", "entered"},
    {"ErrorInsideLoopContinues", "On Error Resume Next\nFor i = 1 To 3\n x = 10 / (i - 2)\n Out i, Err.Number\n Err.Clear\nNext",
     "1 0|2 11|3 0"},
    {"ErrDefaultIsNumber", "On Error Resume Next\nErr.Raise 13\nOut Err", "13"},
    {"TypeMismatch", "x = \"abc\" * 2", "ERR 13: Type mismatch @1"},
    {"InvalidNull", "x = CStr(Null)", "ERR 94: Invalid use of Null @1"},
    {"CIntOverflow", "x = CInt(40000)", "ERR 6: Overflow @1"},
    {"ErrorLineInProcedure", "Sub S()\n\n x = Array(1)(5)\nEnd Sub\nS", "ERR 9: Subscript out of range @3"},
    {"CreateObjectUnknown", "Set o = CreateObject(\"No.Such\")", "ERR 429: ActiveX component can't create object @1"},
    {"ObjectNotCollection", "For Each x In 5 : Next", "ERR 451: Object not a collection @1"},
};
INSTANTIATE_TEST_SUITE_P(Errors, Procedures, ::testing::ValuesIn(kErrors), caseName);

struct SyntaxCase {
    const char* script;
    int number;
    int line;
};

class Syntax : public ::testing::TestWithParam<SyntaxCase> {};

TEST_P(Syntax, ReportsNumberAndLine) {
    Runner r;
    ScriptResult res = r.engine.executeStatement(GetParam().script);
    ASSERT_FALSE(res.ok);
    EXPECT_EQ(res.number, GetParam().number) << GetParam().script;
    EXPECT_EQ(res.line, GetParam().line) << GetParam().script;
    EXPECT_EQ(res.source, "Microsoft VBScript compilation error");
    EXPECT_EQ(res.description, errorText(GetParam().number));
    EXPECT_TRUE(r.out->lines.empty()) << "nothing runs before a syntax error";
}

const SyntaxCase kSyntax[] = {
    {"Out 1\nx = (1 + \nOut 2", 1023, 2},
    {"Out 1\nIf x Then\nOut 2", 1014, 3},
    {"Out 1\nx = 1 2", 1025, 2},
    {"Out 1\n)", 1024, 2},
    {"For i = 1 To 2\nOut i", 1020, 2},
    {"Do\nOut 1", 1019, 2},
    {"While True\nOut 1", 1018, 2},
    {"x = \"abc", 1033, 1},
    {"x = 1 $ 2", 1032, 1},
    {"If x Out 1", 1017, 1},
    {"Out 1\n\nSub S(\nEnd Sub", 1010, 3},
    {"Loop", 1038, 1},
    {"Exit Foo", 1039, 1},
    {"Out 1\nExit Sub", 1039, 2},
    {"Select Case 1\nCase 1\nOut 1\nEnd If", 1022, 4},
    {"x = 1 +", 1023, 1},
};
INSTANTIATE_TEST_SUITE_P(Errors, Syntax, ::testing::ValuesIn(kSyntax));

TEST(Engine, GlobalsSurviveBetweenRuns) {
    Runner r;
    EXPECT_EQ(r.run("Dim counter\ncounter = 41\nFunction Next1()\n Next1 = counter + 1\nEnd Function"), "");
    EXPECT_EQ(r.run("counter = Next1()\nOut counter"), "42");
    EXPECT_EQ(r.run("Class K\n Public V\nEnd Class\nSet keep = New K\nkeep.V = \"kept\""), "");
    EXPECT_EQ(r.run("Out keep.V"), "kept");
    Variant v;
    ASSERT_TRUE(r.engine.global("counter", v));
    EXPECT_EQ(toLong(v), 42);
}

TEST(Engine, ErrorDoesNotLoseEarlierGlobals) {
    Runner r;
    EXPECT_EQ(r.run("a = 5\nb = 1 / 0"), "ERR 11: Division by zero @2");
    EXPECT_EQ(r.run("Out a"), "5");
}

TEST(Engine, RunawayRecursionIsOutOfStackSpace) {
    Runner r;
    EXPECT_EQ(r.run("Function F(n)\n F = F(n + 1)\nEnd Function\nx = F(0)"), "ERR 28: Out of stack space @2");
    // the engine stays usable
    EXPECT_EQ(r.run("Out 1 + 1"), "2");
    EXPECT_EQ(r.run("Sub S()\n Execute \"S\"\nEnd Sub\nS").substr(0, 6), "ERR 28");
}

TEST(Engine, ResumeNextDoesNotCatchStackOverflowForever) {
    Runner r;
    EXPECT_EQ(r.run("On Error Resume Next\nFunction F(n)\n F = F(n + 1)\nEnd Function\nx = F(0)\nOut Err.Number"), "28");
}

TEST(Engine, StopRequestEndsInfiniteLoop) {
    Runner r;
    int pumps = 0;
    r.engine.setPump([&] {
        if (++pumps == 5) r.engine.requestStop();
    }, 100);
    ScriptResult res = r.engine.executeStatement("On Error Resume Next\nDo\n x = x + 1\nLoop");
    EXPECT_FALSE(res.ok);
    EXPECT_TRUE(res.stopped);
    EXPECT_EQ(res.number, err::Stopped);
    EXPECT_GE(pumps, 5);
    // the next run starts afresh
    r.engine.setPump(nullptr);
    EXPECT_EQ(r.run("Out x > 0"), "True");
}

TEST(Engine, StopFromAnotherThread) {
    Runner r;
    std::thread t([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        r.engine.requestStop();
    });
    ScriptResult res = r.engine.executeStatement("While True\nWend");
    t.join();
    EXPECT_TRUE(res.stopped);
}

TEST(Engine, EvalAndCall) {
    Runner r;
    r.run("Function Mul(a, b)\n Mul = a * b\n a = 0\nEnd Function");
    Variant v;
    ASSERT_TRUE(r.engine.eval("Mul(6, 7) + 1", v).ok);
    EXPECT_EQ(toLong(v), 43);
    std::vector<Variant> args{Variant(int32_t{3}), Variant(int32_t{5})};
    ASSERT_TRUE(r.engine.call("Mul", args, v).ok);
    EXPECT_EQ(toLong(v), 15);
    EXPECT_EQ(toLong(args[0]), 0) << "arguments are passed by reference";
    EXPECT_EQ(r.engine.call("Nope", args, v).number, 35);
}

}  // namespace
}  // namespace vk::vbs::test
