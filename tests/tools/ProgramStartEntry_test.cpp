#include "tools/ProgramStartEntry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestDesktop.h"
#include "tools/AutostartEntries.h"
#include "tools/DesktopEntryFile.h"

namespace vk::tools {
namespace {

using namespace platform;
namespace fs = std::filesystem;

const char* const kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class ProgramStartTest : public ::testing::Test, protected vk::test::SystemFixture {};

TEST_F(ProgramStartTest, TickingWritesBothUntickingRemovesBoth) {
    EXPECT_FALSE(programStartEnabled());
    setProgramStartEnabled(true, "/opt/Vandrel Kast/vandrelkast");
    EXPECT_EQ(registry.getString(kHkeyLocalMachine, kRun, "VandrelKast"), "/opt/Vandrel Kast/vandrelkast /s");
    auto file = DesktopEntryFile::load(userFile("vandrelkast.desktop"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->get("Exec"), "\"/opt/Vandrel Kast/vandrelkast\" /s");
    EXPECT_EQ(file->get("Type"), "Application");
    EXPECT_TRUE(programStartEnabled());
    // The desktop lists it as any other entry.
    auto entries = listAutostartEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].enabled());

    setProgramStartEnabled(false, "/opt/Vandrel Kast/vandrelkast");
    EXPECT_EQ(registry.get(kHkeyLocalMachine, kRun, "VandrelKast"), std::nullopt);
    EXPECT_FALSE(fs::exists(userFile("vandrelkast.desktop")));
    EXPECT_FALSE(programStartEnabled());
}

TEST_F(ProgramStartTest, EitherHalfTicksTheBox) {
    registry.putString(kHkeyLocalMachine, kRun, "VandrelKast", "C:\\Tools\\vk.exe /s");
    EXPECT_TRUE(programStartEnabled());
    registry.putString(kHkeyLocalMachine, kRun, "VandrelKast", "");
    EXPECT_FALSE(programStartEnabled());
    writeUser("vandrelkast.desktop", "[Desktop Entry]\nExec=vk /s\n");
    EXPECT_TRUE(programStartEnabled());
    writeUser("vandrelkast.desktop", "[Desktop Entry]\nExec=vk /s\nHidden=true\n");
    EXPECT_FALSE(programStartEnabled());
}

TEST_F(ProgramStartTest, TickingAgainKeepsTheUsersOtherLines) {
    writeUser("vandrelkast.desktop", "[Desktop Entry]\n# tuned\nExec=old /s\nHidden=true\nX-GNOME-Autostart-Delay=5\n");
    setProgramStartEnabled(true, "/usr/bin/vandrelkast");
    EXPECT_EQ(vk::test::readFile(userFile("vandrelkast.desktop")),
              "[Desktop Entry]\n# tuned\nExec=/usr/bin/vandrelkast /s\nHidden=false\nX-GNOME-Autostart-Delay=5\n");
    EXPECT_EQ(programStartCommand("C:\\Tools\\vk.exe"), "C:\\Tools\\vk.exe /s");
}

}  // namespace
}  // namespace vk::tools
