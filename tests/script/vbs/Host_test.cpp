#include <gtest/gtest.h>

#include "VbsTestSupport.h"

namespace vk::vbs::test {
namespace {

// A host object with a by-reference out parameter, a collection and a default member.
class Files : public Object {
public:
    std::string typeName() const override { return "Files"; }
    bool enumerate(std::vector<Variant>& items) override {
        for (const auto& n : names) items.push_back(Variant::fromUtf8(n));
        return true;
    }
    Variant invoke(std::string_view name, InvokeKind kind, CallArgs args) override {
        if (equalsNoCase(name, "count")) return Variant(static_cast<int32_t>(names.size()));
        if (name.empty() || equalsNoCase(name, "item")) {
            if (kind == InvokeKind::Let) {
                names.at(static_cast<size_t>(toLong(args[0]))) = toUtf8(args[1]);
                return Variant();
            }
            return Variant::fromUtf8(names.at(static_cast<size_t>(toLong(args[0]))));
        }
        if (equalsNoCase(name, "split")) {  // Split text, ByRef first, ByRef rest
            std::string t = toUtf8(args[0]);
            auto sp = t.find(' ');
            args[1] = Variant::fromUtf8(t.substr(0, sp));
            args[2] = Variant::fromUtf8(sp == std::string::npos ? "" : t.substr(sp + 1));
            return Variant(true);
        }
        if (equalsNoCase(name, "fail")) throw ScriptError(70, "Permission denied", "Files.Fail");
        if (equalsNoCase(name, "throw")) throw ScriptError(toLong(args[0]), "from the object", "Files.Throw");
        if (equalsNoCase(name, "label")) {
            if (kind == InvokeKind::Let) {
                label = toUtf8(args[0]);
                return Variant();
            }
            return Variant::fromUtf8(label);
        }
        throw ScriptError(438);
    }
    std::vector<std::string> names{"a.txt", "b.txt"};
    std::string label;
};

// The IO-style object whose members are global.
class Io : public Object {
public:
    std::string typeName() const override { return "IO"; }
    bool hasMember(std::string_view n) const override { return equalsNoCase(n, "IOMessage") || equalsNoCase(n, "Version"); }
    Variant invoke(std::string_view name, InvokeKind, CallArgs args) override {
        if (equalsNoCase(name, "IOMessage")) {
            console.push_back(toUtf8(args[0]));
            return Variant();
        }
        if (equalsNoCase(name, "Version")) return Variant(int32_t{1});
        throw ScriptError(438);
    }
    std::vector<std::string> console;
};

struct Dlg : Dialogs {
    int msgBox(const std::string& prompt, int buttons, const std::string& title) override {
        seen = prompt + "/" + std::to_string(buttons) + "/" + title;
        return 6;
    }
    std::optional<std::string> inputBox(const std::string& prompt, const std::string&, const std::string& d) override {
        if (prompt == "cancel") return std::nullopt;
        return "typed:" + d;
    }
    std::string seen;
};

TEST(Host, ObjectsMethodsAndByRefWriteBack) {
    Runner r;
    Ref<Files> files(new Files);
    r.engine.addObject("Files", files);
    EXPECT_EQ(r.run("ok = Files.Split(\"one two three\", a, b)\nOut ok, a, \"/\" & b"), "True one /two three");
    EXPECT_EQ(r.run("For Each f In Files : Out f : Next\nOut Files.Count, Files(1), TypeName(Files)"),
              "a.txt|b.txt|2 b.txt Files");
    EXPECT_EQ(r.run("Files(0) = \"z.txt\"\nFiles.Label = \"L\"\nOut Files.Item(0), Files.Label"), "z.txt L");
    EXPECT_EQ(files->label, "L");
    EXPECT_EQ(r.run("Files.Fail"), "ERR 70: Permission denied @1");
    EXPECT_EQ(r.run("On Error Resume Next\nFiles.Fail\nOut Err.Number, Err.Source"), "70 Files.Fail");
    EXPECT_EQ(r.run("Files.Nope 1"), "ERR 438: Object doesn't support this property or method @1");
}

TEST(Host, HresultsFromObjectsBecomeVBScriptNumbers) {
    Runner r;
    r.engine.addObject("Files", Ref<Object>(new Files));
    EXPECT_EQ(r.run("On Error Resume Next\nFiles.Throw &h8007000E&\nOut Err.Number, Err.Description, Err.Source\n"
                    "Files.Throw &h800A0046&\nOut Err.Number, Err.Description\n"
                    "Files.Throw &h80080008&\nOut Hex(Err.Number), Err.Description\n"
                    "Files.Throw 70\nOut Err.Number, Err.Description"),
              "7 Out of memory Files.Throw|70 Permission denied|80080008 from the object|70 from the object");
}

TEST(Host, GlobalMembersCallableWithoutPrefix) {
    Runner r;
    Ref<Io> io(new Io);
    r.engine.addObject("IO", io, true);
    EXPECT_EQ(r.run("IOMessage \"hello\"\nIO.IOMessage \"world\"\nOut Version + 1"), "2");
    ASSERT_EQ(io->console.size(), 2u);
    EXPECT_EQ(io->console[0], "hello");
    EXPECT_EQ(io->console[1], "world");
}

TEST(Host, ProgIdRegistry) {
    Runner r;
    int made = 0;
    r.engine.registerProgId("Test.Files", [&] {
        ++made;
        return Ref<Object>(new Files);
    });
    r.engine.registerProgId("Test.Broken", [] { return Ref<Object>(); });
    EXPECT_EQ(r.run("Set f = CreateObject(\"test.files\")\nOut f.Count"), "2");
    EXPECT_EQ(made, 1);
    EXPECT_EQ(r.run("Set f = CreateObject(\"Test.Broken\")"), "ERR 429: ActiveX component can't create object @1");
}

TEST(Host, DialogsAnswerMsgBoxAndInputBox) {
    Runner r;
    EXPECT_EQ(r.run("Out MsgBox(\"x\"), InputBox(\"p\") = \"\""), "1 True") << "no dialogs: OK and empty text";
    Dlg d;
    r.engine.setDialogs(&d);
    EXPECT_EQ(r.run("Out MsgBox(\"Sure?\", vbYesNo + vbQuestion, \"T\") = vbYes"), "True");
    EXPECT_EQ(d.seen, "Sure?/36/T");
    EXPECT_EQ(r.run("Out InputBox(\"p\", \"t\", \"d\"), \"[\" & InputBox(\"cancel\") & \"]\""), "typed:d []");
}

TEST(Host, Utf8RoundTrip) {
    Runner r;
    EXPECT_EQ(r.run("s = \"Grüße €\"\nOut Len(s), s, AscW(Mid(s, 7, 1))"), "7 Grüße € 8364");
}

TEST(Host, PumpIsCalledWhileRunning) {
    Runner r;
    int calls = 0;
    r.engine.setPump([&] { ++calls; }, 10);
    EXPECT_EQ(r.run("For i = 1 To 1000 : x = i : Next\nOut x"), "1000");
    EXPECT_GE(calls, 50);
}

TEST(Hostile, NeverCrashes) {
    Runner r;
    std::string deep(5000, '(');
    EXPECT_EQ(r.run("x = " + deep + "1").substr(0, 6), "ERR 28");
    std::string chain = "x = 1";
    for (int i = 0; i < 20000; ++i) chain += " + 1";
    EXPECT_EQ(r.run(chain).substr(0, 6), "ERR 28");
    std::string ifs;
    for (int i = 0; i < 2000; ++i) ifs += "If 1 Then\n";
    EXPECT_EQ(r.run(ifs).substr(0, 6), "ERR 28");
    EXPECT_EQ(r.run("ReDim a(100000000)"), "ERR 7: Out of memory @1");
    EXPECT_EQ(r.run("s = Space(300000000)"), "ERR 14: Out of string space @1");
    EXPECT_EQ(r.run("s = String(2000000000, \"x\")"), "ERR 14: Out of string space @1");
    // odd bytes and unterminated constructs are syntax errors, not crashes
    for (const char* bad : {"\x01\x02", "#1/1", "[abc", "x = &H", "Class", "Sub", "With", "x.", "Set = 1", "Case 1",
                            "End", "On Error", "ReDim", "Dim a(", "x = \"", "Call", "If Then", "For Each In"}) {
        ScriptResult res = r.engine.executeStatement(bad);
        EXPECT_FALSE(res.ok) << bad;
    }
    EXPECT_EQ(r.run("Out 1"), "1");
}

TEST(Hostile, TerminateErrorsAreContained) {
    Runner r;
    EXPECT_EQ(r.run("Class C\n Sub Class_Terminate()\n  x = 1 / 0\n End Sub\nEnd Class\nSet c = New C\nSet c = Nothing\nOut \"ok\", Err.Number"),
              "ok 0");
    // an object that is still referenced when the engine goes away is terminated then
    auto* out = new Capture;
    Ref<Capture> keep(out);
    {
        Engine e;
        e.addObject("Host", keep, true);
        e.executeStatement("Class C\n Sub Class_Terminate()\n  Out \"end\"\n End Sub\nEnd Class\nSet g = New C");
    }
    ASSERT_EQ(out->lines.size(), 1u);
    EXPECT_EQ(out->lines[0], "end");
}

}  // namespace
}  // namespace vk::vbs::test

namespace vk::vbs::test {
namespace {

// A removal script in the usual style: constants, helpers defined after use, error checks.
TEST(Scripts, TypicalRemovalScript) {
    Runner r;
    Ref<Files> files(new Files);
    files->names = {"autorun.inf", "readme.txt", "WORM.EXE", "photo.jpg"};
    r.engine.addObject("Files", files);
    const char* script = R"VBS(Option Explicit
Private Const BAD_LIST = "autorun.inf|worm.exe"
Dim bad, f, found, i
bad = Split(BAD_LIST, "|")
found = 0
For Each f In Files
  If IsBad(f) Then
    found = found + 1
    Report "removing " & _
           UCase(f)
  End If
Next
Out "found " & found & " of " & Files.Count

Function IsBad(name)
  Dim k
  IsBad = False
  For k = 0 To UBound(bad)
    If LCase(name) = bad(k) Then IsBad = True: Exit Function
  Next
End Function

Sub Report(msg)
  On Error Resume Next
  Files.Fail
  If Err.Number <> 0 Then msg = msg & " (" & Err.Description & ")"
  Out msg
End Sub

Select Case LCase(Files(2))
  Case "worm.exe": Out "third is the worm"
  Case Else: Out "?"
End Select)VBS";
    EXPECT_EQ(r.run(script),
              "removing AUTORUN.INF (Permission denied)|removing WORM.EXE (Permission denied)|found 2 of 4|"
              "third is the worm");
}

}  // namespace
}  // namespace vk::vbs::test

namespace vk::vbs::test {
namespace {

TEST(Hostile, LongChainsAreFreedWithoutRecursion) {
    Runner r;
    EXPECT_EQ(r.run("Class Node\n Public Nxt\nEnd Class\nSet head = Nothing\nFor i = 1 To 200000\n Set n = New Node\n Set n.Nxt = head\n Set head = n\nNext\nSet n = Nothing\nSet head = Nothing\nOut \"freed\""),
              "freed");
    EXPECT_EQ(r.run("Class T\n Public Nxt\n Sub Class_Terminate()\n  cnt = cnt + 1\n End Sub\nEnd Class\ncnt = 0\nSet head = Nothing\nFor i = 1 To 5000\n Set n = New T\n Set n.Nxt = head\n Set head = n\nNext\nSet n = Nothing\nSet head = Nothing\nOut cnt"),
              "5000");
    // nested arrays: copying is bounded, freeing is not recursive
    EXPECT_EQ(r.run("Set d = CreateObject(\"Scripting.Dictionary\")\nFor i = 1 To 100000\n Set e = CreateObject(\"Scripting.Dictionary\")\n e.Add \"p\", d\n Set d = e\nNext\nSet e = Nothing\nSet d = Nothing\nOut \"ok\""),
              "ok");
    EXPECT_EQ(r.run("a = Empty\nFor i = 1 To 5000\n a = Array(a)\nNext").substr(0, 6), "ERR 28");
}

}  // namespace
}  // namespace vk::vbs::test

namespace vk::vbs::test {
namespace {

// Random token soup must only ever produce results, never crashes or hangs.
TEST(Hostile, RandomScripts) {
    const char* words[] = {
        "If", "Then", "Else", "End", "For", "To", "Next", "Each", "In", "Do", "Loop", "While", "Wend", "Until",
        "Sub", "Function", "Class", "Property", "Get", "Let", "Set", "Dim", "ReDim", "Preserve", "Call", "With",
        "Select", "Case", "Exit", "On", "Error", "Resume", "GoTo", "0", "New", "Nothing", "Null", "Empty", "Me",
        "x", "y", "a", "f", "(", ")", ",", ".", "=", "<>", "<", "+", "-", "*", "/", "\\", "&", "^", "Mod", "And",
        "Not", "Is", "\"s\"", "1", "2.5", "&HFF", "#1/1/2020#", ":", "\n", "\n", "Array", "Split", "Mid", "Execute",
        "Eval", "GetRef", "Err", "Raise", "CreateObject", "\"Scripting.Dictionary\"", "Out", "UBound", "Len", "_\n",
        "Public", "Private", "Default", "ByVal", "ByRef", "Const", "Erase", "Step", "Option", "Explicit", "Class_Terminate",
    };
    const size_t n = sizeof(words) / sizeof(words[0]);
    uint32_t seed = 12345;
    auto rnd = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    Runner r;
    unsigned statements = 0;
    r.engine.setPump([&] {
        if (++statements > 200) r.engine.requestStop();
    }, 50);
    int ran = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string s;
        int len = 3 + static_cast<int>(rnd() % 40);
        for (int k = 0; k < len; ++k) {
            s += words[rnd() % n];
            s += ' ';
        }
        statements = 0;
        ScriptResult res = r.engine.executeStatement(s);
        if (res.ok || res.number < 1000 || res.number > 1100) ++ran;
    }
    EXPECT_GT(ran, 0);
    EXPECT_EQ(r.run("Out 1"), "1");
}

}  // namespace
}  // namespace vk::vbs::test

namespace vk::vbs::test {
namespace {

// Valid statements in random order: the run-time paths meet each other's leftovers.
TEST(Hostile, RandomStatementSequences) {
    const char* stmts[] = {
        "x = Array(1, 2, 3)", "y = x(1)", "ReDim Preserve x(5)", "Erase x", "ReDim x(2, 2)",
        "Set d = CreateObject(\"Scripting.Dictionary\")", "d.Add y, x", "d(y) = d", "For Each z In d : y = z : Next",
        "a = a & \"xy\"", "Execute \"b = b + 1\"", "f = Eval(\"1+\")", "On Error Resume Next", "On Error GoTo 0",
        "x = 1 / 0", "Set o = New K", "Set o.P = o", "o.P = x", "S x(0)", "S y", "S (a)", "y = Mid(a, 2)",
        "x = Split(a, \"x\")", "Set re = New RegExp : re.Pattern = \"(x+)\" : re.Global = True",
        "y = re.Replace(a, \"$1$1\")", "Err.Raise 5", "z = Not z", "Set o = Nothing", "With o : .P = 1 : End With",
        "y = CInt(y)", "a = Left(a, 100)", "Set g = GetRef(\"S\") : g x", "x = o.M(x)", "Set x = o",
        "y = x + y", "y = y & x", "x(0) = x", "z = UBound(x)", "Set d = Nothing", "y = d.Items()(0)",
        "For i = 0 To 3 : x(i) = i : Next", "o.M(1) = 2", "Set o.Q = d", "Call o.M(o)",
    };
    const size_t n = sizeof(stmts) / sizeof(stmts[0]);
    uint32_t seed = 777;
    auto rnd = [&] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    Runner r;
    ASSERT_EQ(r.run("Class K\n Public P, Q\n Function M(v)\n  Set Q = Me\n  M = v\n End Function\n"
                    " Sub Class_Terminate()\n  term = term + 1\n End Sub\nEnd Class\n"
                    "Sub S(q)\n q = a\nEnd Sub"),
              "");
    unsigned statements = 0;
    r.engine.setPump([&] {
        if (++statements > 500) r.engine.requestStop();
    }, 20);
    int ok = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string s;
        for (int k = 0; k < 12; ++k) {
            s += stmts[rnd() % n];
            s += '\n';
        }
        statements = 0;
        if (r.engine.executeStatement(s).ok) ++ok;
    }
    EXPECT_GT(ok, 0);
    EXPECT_EQ(r.run("Out 2"), "2");
}

}  // namespace
}  // namespace vk::vbs::test

namespace vk::vbs::test {
namespace {

TEST(Engine, CyclesAreBrokenWhenTheEngineGoes) {
    Ref<Capture> out(new Capture);
    {
        Engine e;
        e.addObject("Host", out, true);
        ASSERT_TRUE(e.executeStatement("Class C\n Public Self\n Sub Class_Terminate()\n  Out \"term\"\n End Sub\nEnd Class\n"
                                       "Sub Make()\n Dim c\n Set c = New C\n Set c.Self = c\n Set d = CreateObject(\"Scripting.Dictionary\")\n"
                                       " d.Add \"me\", d\n d.Add \"c\", c\nEnd Sub\nMake\nOut \"made\"")
                        .ok);
        ASSERT_EQ(out->lines.size(), 1u) << "a cycle keeps the object alive while the engine runs";
    }
    ASSERT_EQ(out->lines.size(), 2u);
    EXPECT_EQ(out->lines[1], "term");
}

}  // namespace
}  // namespace vk::vbs::test
