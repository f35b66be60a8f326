#include <gtest/gtest.h>

#include "ScriptIniEngineTestSupport.h"
#include "platform/linux/HiveRegistry.h"
#include "support/SharedFixtures.h"
#include "support/TempDir.h"
#include "support/WindowsTree.h"

using vk::test::WindowsTree;

// A removal script repairs an offline Windows: its own hives, not the embedded store.
TEST(WindowsTargetScript, RegistryActionsChangeTheHives) {
    if (vk::test::sharedFixture("hives/minimal").empty()) GTEST_SKIP() << "shared/fixtures/hives is not beside the checkout";
    if (!WindowsTree::toolsAvailable()) GTEST_SKIP() << "hivexregedit (libwin-hivex-perl) is not installed";
    vk::test::TempDir dir;
    vk::test::ScopedEnv data("XDG_DATA_HOME", (dir / "data").c_str());
    WindowsTree tree(dir / "win");
    ASSERT_TRUE(tree.make(tree.hive("SOFTWARE"),
                          "[\\Microsoft]\n\n[\\Microsoft\\Windows]\n\n[\\Microsoft\\Windows\\CurrentVersion]\n\n"
                          "[\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
                          "\"Worm\"=hex(1):77,00,2e,00,65,00,78,00,65,00,00,00\n"
                          "\"Keep\"=hex(1):6b,00,00,00\n"));
    ASSERT_TRUE(tree.make(tree.userHive("Cy"), "[\\Software]\n\n[\\Software\\Worm]\n\n[\\Software\\Worm\\Leaf]\n"));
    {
        vk::platform::HiveRegistry hives(tree.root(), "", nullptr);
        vk::platform::setSystemRegistry(&hives);
        vk::script::testing::EngineHarness h;
        h.run("[Main]\r\nDoManageRegistry=1\r\n[ManageRegistry]\r\n"
              "RegistryChangeCount=1\r\n"
              "RegistryChange1_Key=HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\DisableTaskMgr\r\n"
              "RegistryChange1_Contents=0\r\nRegistryChange1_Type=REG_DWORD\r\n"
              "RegistryDeleteValueCount=1\r\n"
              "RegistryDeleteValue1=HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\Worm\r\n"
              "RegistryDeleteKeyCount=1\r\n"
              "RegistryDeleteKey1=HKCU\\Software\\Worm\\Leaf\r\n");
        vk::platform::setSystemRegistry(nullptr);
    }
    const std::string software = WindowsTree::exported(tree.hive("SOFTWARE"));
    EXPECT_EQ(software.find("\"Worm\""), std::string::npos) << software;
    EXPECT_NE(software.find("\"Keep\"=hex(1):6b,00,00,00"), std::string::npos) << software;
    const std::string user = WindowsTree::exported(tree.userHive("Cy"));
    EXPECT_NE(user.find("[\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System]\n\"DisableTaskMgr\"=dword:00000000"),
              std::string::npos)
        << user;
    EXPECT_EQ(user.find("Leaf"), std::string::npos);
    EXPECT_NE(user.find("[\\Software\\Worm]"), std::string::npos);
}
