#include <gtest/gtest.h>

#include <string>

#include "platform/linux/RegistryStore.h"
#include "script/Console.h"
#include "script/host/ScriptHost.h"
#include "support/TempDir.h"

namespace vk::script {
namespace {

class ShellTest : public ::testing::Test {
protected:
    test::TempDir dir;
    platform::RegistryStore store{dir.str()};
    Console console;
    ScriptHost host{console};
    void SetUp() override { platform::setSystemRegistry(&store); }
    void TearDown() override { platform::setSystemRegistry(nullptr); }
    std::string run(const std::string& body) {
        console.setText("");
        auto r = host.runScript("Set sh = CreateObject(\"WScript.Shell\")\r\n" + body);
        if (!r.ok) return "ERR " + std::to_string(r.number);
        return console.text();
    }
};

TEST_F(ShellTest, RegistryEnvironmentAndRun) {
    test::ScopedEnv env("VK_SHELL_T", "val");
    const std::pair<const char*, const char*> cases[] = {
        {"sh.RegWrite \"HKCU\\Software\\X\\Name\", \"abc\"\r\nIOMessage sh.RegRead(\"HKCU\\Software\\X\\Name\")", "abc"},
        {"sh.RegWrite \"HKCU\\Software\\X\\N\", 42, \"REG_DWORD\"\r\nIOMessage TypeName(sh.RegRead(\"HKCU\\Software\\X\\N\")) & sh.RegRead(\"HKCU\\Software\\X\\N\")", "Long42"},
        {"sh.RegDelete \"HKCU\\Software\\X\\Name\"\r\nx = sh.RegRead(\"HKCU\\Software\\X\\Name\")", "ERR -2147024894"},
        {"x = sh.RegRead(\"HKZZ\\Software\\X\\N\")", "ERR -2147024894"},
        {"sh.RegWrite \"HKCU\\Software\\New\\\", \"\"\r\nIOMessage \"[\" & sh.RegRead(\"HKCU\\Software\\New\\\") & \"]\"", "[]"},
        {"sh.RegDelete \"HKCU\\Software\\New\\\"\r\nx = sh.RegRead(\"HKCU\\Software\\New\\\")", "ERR -2147024894"},
        {"IOMessage sh.ExpandEnvironmentStrings(\"a%VK_SHELL_T%b%VK_NO_SUCH_X%c\")", "avalb%VK_NO_SUCH_X%c"},
        {"IOMessage sh.Run(\"exit 7\", 0, True) & sh.Run(\"exit 7\", 0, False)", "70"},
        {"x = CreateObject(\"WScript.NoShell\")", "ERR 429"},
    };
    for (const auto& [code, out] : cases) EXPECT_EQ(run(code), out) << code;
}

}  // namespace
}  // namespace vk::script
