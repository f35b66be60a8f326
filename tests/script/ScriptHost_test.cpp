#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "Version.h"
#include "script/Console.h"
#include "script/host/ScriptHost.h"

namespace vk::script {
namespace {

struct CountingPump : platform::EventPump {
    void pump() override { ++calls; }
    int calls = 0;
};

struct FixedPrompt : FolderPrompt {
    std::optional<std::string> ask() override {
        ++asked;
        return answer;
    }
    std::optional<std::string> answer;
    int asked = 0;
};

std::string global(ScriptHost& host, const char* name) {
    vbs::Variant v;
    if (!host.engine().global(name, v)) return "<none>";
    return vbs::toUtf8(v);
}

TEST(ScriptHost, IoMessageWithAndWithoutPrefixWritesConsoleLines) {
    Console console;
    console.setText("old");
    ScriptHost host(console);
    auto r = host.runScript("ClearIOMessage\r\nIOMessage \"hello\"\r\nIO.IOMessage \"world\"\r\n");
    ASSERT_TRUE(r.ok) << r.description;
    EXPECT_EQ(console.text(), "hello\r\nworld");
    ASSERT_TRUE(host.runScript("IO.ClearIOMessage\r\nIOMessage 42").ok);
    EXPECT_EQ(console.text(), "42");
}

TEST(ScriptHost, GlobalsSurviveBetweenRuns) {
    Console console;
    ScriptHost host(console);
    ASSERT_TRUE(host.runScript("Dim counter\r\ncounter = 41\r\nFunction Twice(x)\r\nTwice = x * 2\r\nEnd Function").ok);
    auto r = host.runScript("counter = counter + 1\r\nIOMessage counter & \" \" & Twice(counter)");
    ASSERT_TRUE(r.ok) << r.description;
    EXPECT_EQ(console.text(), "42 84");
    EXPECT_EQ(global(host, "counter"), "42");
}

TEST(ScriptHost, ErrorTextAndErrorsOfScriptsAndObjects) {
    EXPECT_EQ(scriptErrorText(11, "Division by zero"),
              "KastScript Error:\r\n\r\nError Number:11\r\nError Description: Division by zero");
    EXPECT_EQ(scriptErrorText(-2147024894, "x"), "KastScript Error:\r\n\r\nError Number:-2147024894\r\nError Description: x");

    Console console;
    ScriptHost host(console);
    struct Case {
        const char* script;
        int number;
    } cases[] = {
        {"IOMessage \"before\"\r\nx = 1 / 0\r\nIOMessage \"after\"", 11},
        {"If Then", 1023},
        {"IO.NoSuchThing", 438},
        {"FileIO.CopyFile \"a\"", 450},
        {"FileIO.ShellFolders 70000", 6},
        {"Err.Raise 1234, \"me\", \"custom\"", 1234},
    };
    for (const auto& c : cases) {
        console.clear();
        auto r = host.runScript(c.script);
        EXPECT_FALSE(r.ok) << c.script;
        EXPECT_EQ(r.number, c.number) << c.script;
        EXPECT_FALSE(r.description.empty()) << c.script;
        EXPECT_EQ(console.text().find("after"), std::string::npos);
    }
    auto r = host.runScript("Err.Raise 1234, \"me\", \"custom\"");
    EXPECT_EQ(scriptErrorText(r.number, r.description), "KastScript Error:\r\n\r\nError Number:1234\r\nError Description: custom");
}

TEST(ScriptHost, VersionMembers) {
    Console console;
    ScriptHost host(console);
    ASSERT_TRUE(host.runScript("v = VandrelKastMajorVersion & \".\" & IO.VandrelKastMinorVersion & \".\" & "
                               "VandrelKastBuildVersion\r\nt = TypeName(VandrelKastMajorVersion)")
                    .ok);
    EXPECT_EQ(global(host, "v"), std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
                                     std::to_string(kVersionRevision));
    EXPECT_EQ(global(host, "t"), "Integer");
}

TEST(ScriptHost, ShowScanFileDialogAnswersAndCancels) {
    Console console;
    FixedPrompt prompt;
    ScriptHost host(console, nullptr, &prompt);
    struct Case {
        std::optional<std::string> answer;
        const char* call;
        int error;  // 0: the call succeeds
        const char* result;
    } cases[] = {
        {"/media/stick", "ShowScanFileDialog(\"\")", 0, "/media/stick"},
        {"/media/stick", "ShowScanFileDialog()", 0, "/media/stick"},
        {std::nullopt, "ShowScanFileDialog(\"\")", 0, ""},
        {std::nullopt, "IO.ShowScanFileDialog(\"none\")", 0, "none"},
        {std::nullopt, "ShowScanFileDialog()", 13, ""},
        {std::nullopt, "ShowScanFileDialog", 13, ""},
    };
    for (const auto& c : cases) {
        prompt.answer = c.answer;
        int before = prompt.asked;
        auto r = host.runScript(std::string("folder = \"unset\"\r\nfolder = ") + c.call);
        EXPECT_EQ(prompt.asked, before + 1) << c.call;
        if (c.error) {
            EXPECT_EQ(r.number, c.error) << c.call;
            EXPECT_EQ(global(host, "folder"), "unset") << c.call;
        } else {
            ASSERT_TRUE(r.ok) << c.call << ": " << r.description;
            EXPECT_EQ(global(host, "folder"), c.result) << c.call;
        }
    }
}

TEST(ScriptHost, PausePumpsWhileItWaits) {
    Console console;
    CountingPump pump;
    ScriptHost host(console, &pump);
    pump.calls = 0;  // the process list pumps while it fills
    ASSERT_TRUE(host.runScript("Pause 0").ok);
    EXPECT_EQ(pump.calls, 1);
    pump.calls = 0;
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(host.runScript("IO.Pause 0.3").ok);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(300));
    // Slept between pumps: not one pump per microsecond, yet several while waiting.
    EXPECT_GT(pump.calls, 3);
    EXPECT_LT(pump.calls, 300);
}

TEST(ScriptHost, StopEndsAPause) {
    Console console;
    struct StoppingPump : platform::EventPump {
        void pump() override {
            if (host && ++calls == 3) host->requestStop();
        }
        ScriptHost* host = nullptr;
        int calls = 0;
    } pump;
    ScriptHost host(console, &pump);
    pump.host = &host;
    auto start = std::chrono::steady_clock::now();
    auto r = host.runScript("Pause 30\r\nIOMessage \"after\"");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(r.stopped);
    EXPECT_TRUE(console.empty());
    // The next run is not stopped.
    EXPECT_TRUE(host.runScript("IOMessage \"next\"").ok);
    EXPECT_EQ(console.text(), "next");
}

TEST(ScriptHost, FullConsoleIsEmptiedAndPausedBeforeTheNextMessage) {
    Console console;
    struct StoppingPump : platform::EventPump {
        void pump() override {
            if (host) {
                ++calls;
                host->io().stop();  // ends the 3 s pause at once
            }
        }
        ScriptHost* host = nullptr;
        int calls = 0;
    } pump;
    ScriptHost host(console, &pump);
    pump.host = &host;
    console.setText(std::string(kConsoleClearLimit, 'a'));
    ASSERT_TRUE(host.runScript("IOMessage \"x\"").ok);
    EXPECT_EQ(console.text(), std::string(kConsoleClearLimit, 'a') + "\r\nx") << "at the limit nothing is emptied";
    EXPECT_EQ(pump.calls, 0);
    ASSERT_TRUE(host.runScript("IOMessage \"y\"\r\nIOMessage \"z\"").ok);
    EXPECT_EQ(console.text(), "y\r\nz");
    EXPECT_EQ(pump.calls, 1) << "the pause before writing";
}

TEST(ScriptHost, ScriptFileBytesBecomeUtf8Text) {
    struct Case {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"IOMessage \"caf\xC3\xA9\"", "IOMessage \"caf\xC3\xA9\""},  // UTF-8 stays
        {"\xEF\xBB\xBFx = 1", "x = 1"},                                 // BOM dropped
        {"s = \"caf\xE9 \x80\"", "s = \"caf\xC3\xA9 \xE2\x82\xAC\""},       // Windows-1252
        {"s = \"\xC3\"", "s = \"\xC3\x83\""},                           // cut UTF-8 sequence
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(scriptTextFromBytes(c.bytes), c.text) << c.bytes;
}

}  // namespace
}  // namespace vk::script
