#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ScriptIniEngineTestSupport.h"
#include "script/KastScriptFiles.h"
#include "script/ScriptStop.h"
#include "script/host/ScriptHost.h"

namespace vk::script {
namespace {

using testing::EngineHarness;

// Runs a hook at the nth pump: the test's Stop button.
struct StopAtPump : platform::EventPump {
    void pump() override {
        if (++calls == at && press) press();
    }
    int calls = 0;
    int at = 1;
    std::function<void()> press;
};

TEST(IniEngineStop, StopsAtTheNextConsoleLineAndLaterRunsAreWhole) {
    EngineHarness h;
    StopAtPump pump;
    pump.at = 3;  // after the header, the threat line and the first banner
    pump.press = [&] { h.engine.requestStop(); };
    h.console.setPump(&pump);
    const std::string script = "[Main]\r\nTitle=T\r\nThreatName=W\r\n";
    h.run(script);
    EXPECT_TRUE(h.engine.lastRunStopped());
    EXPECT_EQ(h.console.text().find("Deleting W's files..."), std::string::npos) << h.console.text();
    EXPECT_EQ(h.console.text().find("Repair finished."), std::string::npos);
    EXPECT_TRUE(h.clipboard.copies.empty());
    EXPECT_NE(h.console.text().find("Terminating Processes of W..."), std::string::npos);

    // The request does not outlive its run.
    pump.press = nullptr;
    h.run(script);
    EXPECT_FALSE(h.engine.lastRunStopped());
    EXPECT_NE(h.console.text().find("Repair finished."), std::string::npos);
}

TEST(IniEngineStop, StopsADriveScanBetweenFiles) {
    EngineHarness h;
    for (int i = 0; i < 50; ++i) h.dir.write("drive/f" + std::to_string(i) + ".bin", "x");
    test::ScopedEnv drives("VANDRELKAST_DRIVES", ((h.dir / "drive").string() + "|1|1").c_str());
    StopAtPump pump;
    int scanned = 0;
    struct Counter : ConsoleListener {
        std::function<void(std::string_view)> f;
        void lineAppended(std::string_view line, bool) override { f(line); }
    } counter;
    counter.f = [&](std::string_view line) {
        if (line.starts_with("Scanning File: ") && ++scanned == 5) h.engine.requestStop();
    };
    h.console.addListener(&counter);
    h.run("[Main]\r\nDoDisinfectDrives=1\r\n[DisinfectDrives]\r\nDisinfectDriveType=1\r\nRunScan=1\r\n");
    h.console.removeListener(&counter);
    EXPECT_TRUE(h.engine.lastRunStopped());
    EXPECT_EQ(scanned, 5);
}

TEST(ScriptHostStop, EndsALoopThatNeverPausesAndKeepsTheHostUsable) {
    Console console;
    StopAtPump pump;
    ScriptHost host(console, &pump);
    pump.calls = 0;  // the objects pump while they are made
    pump.at = 5;
    pump.press = [&] { host.requestStop(); };
    auto r = host.runScript("n = 0\r\nDo\r\n  n = n + 1\r\nLoop\r\n");
    EXPECT_TRUE(r.stopped);
    EXPECT_FALSE(r.ok);
    EXPECT_GE(pump.calls, 5);
    pump.press = nullptr;
    auto again = host.runScript("IOMessage \"after \" & (n > 0)\r\n");
    EXPECT_TRUE(again.ok) << again.description;
    EXPECT_EQ(console.text(), "after True");
}

TEST(ScriptStop, StoppedLineEndsTheConsole) {
    Console console;
    console.setText("one");
    appendStoppedLine(console);
    EXPECT_EQ(console.text(), "one\r\n" + std::string(kScriptStoppedLine));
}

TEST(KastScriptFiles, EngineByExtensionInAnyCase) {
    struct Case {
        const char* path;
        KastScriptKind kind;
    } cases[] = {{"/k/X.VKI", KastScriptKind::Ini},     {"X.Kst", KastScriptKind::VBScript},
                 {"a/b.vks", KastScriptKind::VBScript}, {"X.txt", KastScriptKind::Other},
                 {"vki", KastScriptKind::Other},        {"dir.vki/readme", KastScriptKind::Other},
                 {"x.vki.bak", KastScriptKind::Other}};
    for (const Case& c : cases) EXPECT_EQ(kastScriptKindOf(c.path), c.kind) << c.path;
}

TEST(KastScriptFiles, KillersFolderListsKastScriptsOnly) {
    test::TempDir dir;
    EXPECT_TRUE(listKillerScripts((dir / "missing").string()).empty());
    dir.write("k/a.txt", "x");
    EXPECT_TRUE(listKillerScripts((dir / "k").string()).empty());
    dir.write("k/Fix1.vki", "[Main]");
    dir.write("k/b.KST", "'");
    dir.write("k/sub/c.vki", "[Main]");
    auto list = listKillerScripts((dir / "k").string());
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].caption, "b");
    EXPECT_EQ(list[0].path, (dir / "k/b.KST").string());
    EXPECT_EQ(list[1].caption, "Fix1");
    EXPECT_EQ(list[1].path, (dir / "k/Fix1.vki").string());
}

}  // namespace
}  // namespace vk::script
