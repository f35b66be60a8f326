#include "tools/AutostartEntries.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TestDesktop.h"

namespace vk::tools {
namespace {

namespace fs = std::filesystem;

class AutostartTest : public ::testing::Test, protected vk::test::SystemFixture {};

const AutostartEntry* find(const std::vector<AutostartEntry>& entries, const std::string& name) {
    for (const auto& e : entries)
        if (e.fileName == name) return &e;
    return nullptr;
}

TEST_F(AutostartTest, UserFileWinsAndFirstSystemFolderBeatsLaterOnes) {
    writeSystem(1, "a.desktop", "[Desktop Entry]\nExec=a-from-sys1\n");
    writeSystem(2, "a.desktop", "[Desktop Entry]\nExec=a-from-sys2\n");
    writeSystem(2, "b.desktop", "[Desktop Entry]\nExec=b-from-sys2\n");
    writeUser("b.desktop", "[Desktop Entry]\nExec=b-from-user\n");
    writeSystem(1, "notes.txt", "[Desktop Entry]\nExec=not-an-entry\n");
    auto entries = listAutostartEntries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].fileName, "a.desktop");
    EXPECT_EQ(entries[0].exec, "a-from-sys1");
    EXPECT_EQ(entries[0].path, systemFile(1, "a.desktop"));
    EXPECT_FALSE(entries[0].userOwned);
    EXPECT_EQ(entries[1].exec, "b-from-user");
    EXPECT_TRUE(entries[1].userOwned);
}

TEST_F(AutostartTest, HiddenAndDesktopFiltersDisable) {
    struct Case {
        const char* name;
        const char* body;
        bool enabled;
    };
    const Case cases[] = {
        {"plain.desktop", "", true},
        {"hidden.desktop", "Hidden=true\n", false},
        {"visible.desktop", "Hidden=false\n", true},
        {"hidden-word.desktop", "Hidden=True\n", true},  // booleans are lower case
        {"only-gnome.desktop", "OnlyShowIn=GNOME;\n", true},
        {"only-kde.desktop", "OnlyShowIn=KDE;XFCE;\n", false},
        {"not-ubuntu.desktop", "NotShowIn=ubuntu;\n", false},
        {"not-kde.desktop", "NotShowIn=KDE;\n", true},
    };
    for (const auto& c : cases) writeSystem(1, c.name, std::string("[Desktop Entry]\nExec=x\n") + c.body);
    auto entries = listAutostartEntries();
    for (const auto& c : cases) {
        const AutostartEntry* e = find(entries, c.name);
        ASSERT_TRUE(e) << c.name;
        EXPECT_EQ(e->enabled(), c.enabled) << c.name;
    }
}

TEST_F(AutostartTest, SystemEntryDisabledThroughAUserOverrideAndEnabledAgain) {
    const std::string system = "[Desktop Entry]\nType=Application\nName=Clock\nExec=clock --tray\n";
    writeSystem(1, "clock.desktop", system);
    ASSERT_TRUE(setAutostartEnabled("clock.desktop", false));
    EXPECT_EQ(vk::test::readFile(systemFile(1, "clock.desktop")), system);
    ASSERT_TRUE(fs::exists(userFile("clock.desktop")));
    auto entries = listAutostartEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].hidden);
    EXPECT_EQ(entries[0].exec, "clock --tray");

    ASSERT_TRUE(setAutostartEnabled("clock.desktop", true));
    EXPECT_FALSE(fs::exists(userFile("clock.desktop")));
    entries = listAutostartEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].enabled());
    EXPECT_EQ(entries[0].path, systemFile(1, "clock.desktop"));
}

TEST_F(AutostartTest, UsersOwnEntryKeepsEveryOtherLine) {
    const std::string own = "[Desktop Entry]\r\n# mine\r\nExec=sync-notes\r\nName[fr]=Notes\r\n";
    writeUser("notes.desktop", own);
    ASSERT_TRUE(setAutostartEnabled("notes.desktop", false));
    EXPECT_EQ(vk::test::readFile(userFile("notes.desktop")), own + "Hidden=true\r\n");
    ASSERT_TRUE(setAutostartEnabled("notes.desktop", true));
    EXPECT_EQ(vk::test::readFile(userFile("notes.desktop")), own + "Hidden=false\r\n");
    // A user's copy of a system entry is the user's: enabling does not delete it.
    writeSystem(1, "notes.desktop", "[Desktop Entry]\nExec=system-notes\n");
    ASSERT_TRUE(setAutostartEnabled("notes.desktop", false));
    ASSERT_TRUE(setAutostartEnabled("notes.desktop", true));
    EXPECT_EQ(vk::test::readFile(userFile("notes.desktop")), own + "Hidden=false\r\n");
}

TEST_F(AutostartTest, UnwritableUserFolderChangesNothing) {
    writeSystem(1, "clock.desktop", "[Desktop Entry]\nExec=clock\n");
    // A file where the folder should be: nothing can be created below it.
    xdg.write("user/autostart", "not a folder");
    EXPECT_FALSE(setAutostartEnabled("clock.desktop", false));
    EXPECT_TRUE(listAutostartEntries().at(0).enabled());
    EXPECT_FALSE(setAutostartEnabled("../escape.desktop", false));
}

}  // namespace
}  // namespace vk::tools
