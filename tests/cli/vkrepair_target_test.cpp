#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/RunProgram.h"
#include "support/SharedFixtures.h"
#include "support/TempDir.h"
#include "support/WindowsTree.h"

using vk::test::readFile;
using vk::test::runProgram;
using vk::test::TempDir;
using vk::test::WindowsTree;
namespace fs = std::filesystem;

namespace {

const char kScript[] =
    "[Main]\r\nDoManageRegistry=1\r\n[ManageRegistry]\r\nRegistryDeleteValueCount=1\r\n"
    "RegistryDeleteValue1=HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Worm\r\n";

class VkRepairTarget : public ::testing::Test {
protected:
    void SetUp() override {
        program = vk::test::builtProgram("vkrepair");
        if (program.empty()) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
        script = dir.write("fix.vki", kScript).string();
    }
    vk::test::ProgramResult run(const std::vector<std::string>& args) {
        return runProgram(program, args,
                          {{"XDG_DATA_HOME", (dir / "data").string()}, {"VANDRELKAST_REGISTRY", (dir / "store").string()},
                           {"VANDRELKAST_DRIVES", ""}, {"VANDRELKAST_TARGET", "local"}});
    }
    TempDir dir;
    std::string program, script;
};

}  // namespace

TEST_F(VkRepairTarget, RepairsAnOfflineWindows) {
    if (vk::test::sharedFixture("hives/minimal").empty()) GTEST_SKIP() << "shared/fixtures/hives is not beside the checkout";
    if (!WindowsTree::toolsAvailable()) GTEST_SKIP() << "hivexregedit (libwin-hivex-perl) is not installed";
    WindowsTree tree(dir / "win");
    ASSERT_TRUE(tree.make(tree.hive("SOFTWARE"),
                          "[\\Microsoft]\n\n[\\Microsoft\\Windows]\n\n[\\Microsoft\\Windows\\CurrentVersion]\n\n"
                          "[\\Microsoft\\Windows\\CurrentVersion\\Run]\n\"Worm\"=dword:00000001\n\"Keep\"=dword:00000002\n"));
    auto r = run({"--target", "windows:" + tree.root(), script});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Deleting registry value: \"HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Worm\""),
              std::string::npos)
        << r.out;
    const std::string after = WindowsTree::exported(tree.hive("SOFTWARE"));
    EXPECT_EQ(after.find("\"Worm\""), std::string::npos);
    EXPECT_NE(after.find("\"Keep\"=dword:00000002"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "store"));  // the embedded store was not the target
}

TEST_F(VkRepairTarget, CleansAWinePrefixAndRefusesBadTargets) {
    fs::create_directories(dir / "prefix" / "drive_c");
    std::ofstream(dir / "prefix" / "system.reg")
        << "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"
           "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Run] 1\n\"Worm\"=\"C:\\\\w.exe\"\n\"Keep\"=\"k\"\n";
    std::ofstream(dir / "prefix" / "user.reg") << "WINE REGISTRY Version 2\n";
    auto r = run({"--target=wine:" + (dir / "prefix").string(), script});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string text = readFile(dir / "prefix" / "system.reg");
    EXPECT_EQ(text.find("Worm"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Keep\"=\"k\""), std::string::npos);

    auto bad = run({"--target", "windows:" + (dir / "none").string(), script});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.err, "vkrepair: " + (dir / "none").string() + " is not a folder\n");
    auto missing = run({script, "--target"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, "vkrepair: --target needs a value\n");
}
