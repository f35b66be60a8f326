#include "tools/StartupEntries.h"

#include <gtest/gtest.h>

#include "support/TestDesktop.h"
#include "tools/AutostartEntries.h"

namespace vk::tools {
namespace {

using namespace platform;
using namespace std::string_literals;

const char* const kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char* const kRunDisabled = "Software\\Microsoft\\Windows\\CurrentVersion\\Run-";

class StartupEntriesTest : public ::testing::Test, protected vk::test::SystemFixture {};

std::vector<std::pair<std::string, bool>> texts(const std::vector<StartupLine>& lines) {
    std::vector<std::pair<std::string, bool>> out;
    for (const auto& l : lines) out.emplace_back(l.text, l.checked);
    return out;
}

TEST_F(StartupEntriesTest, FourPassesThenAutostartWithTheirTextsAndMarks) {
    registry.putString(kHkeyCurrentUser, kRun, "Updater", "C:\\u.exe");
    registry.putRaw(kHkeyCurrentUser, kRun, "Expanded", kRegExpandSz, "%TEMP%\\x.exe\0"s);
    registry.putDword(kHkeyCurrentUser, kRun, "Number", 7);
    registry.putString(kHkeyCurrentUser, kRun, "", "default value");
    registry.putString(kHkeyCurrentUser, kRun, "Second", "C:\\two.exe");
    registry.putString(kHkeyLocalMachine, kRun, "Updater", "C:\\u.exe");
    registry.putString(kHkeyCurrentUser, kRunDisabled, "Old", "C:\\old.exe");
    registry.putString(kHkeyLocalMachine, kRunDisabled, "Machine", "C:\\m.exe");
    writeSystem(1, "clock.desktop", "[Desktop Entry]\nExec=clock --tray\n");
    writeSystem(1, "tracker.desktop", "[Desktop Entry]\nExec=tracker\nOnlyShowIn=KDE;\n");

    auto lines = loadStartupList();
    std::vector<std::pair<std::string, bool>> expected = {
        {"C:\\u.exe", true},           {"C:\\two.exe", true},      {"C:\\u.exe (Updater)", true},
        {"C:\\old.exe (Old)", false},  {"C:\\m.exe (Machine)", false}, {"clock --tray (clock.desktop)", true},
        {"tracker (tracker.desktop)", false}};
    EXPECT_EQ(texts(lines), expected);
    ASSERT_EQ(lines.size(), expected.size());
    EXPECT_EQ(lines[2].entry.root, kHkeyLocalMachine);
    EXPECT_EQ(lines[2].entry.name, "Updater");
    EXPECT_EQ(lines[5].entry.source, StartupEntry::Source::Autostart);
}

TEST_F(StartupEntriesTest, UncheckMovesToTheTwinKeyAndCheckMovesBack) {
    registry.putString(kHkeyLocalMachine, kRun, "First", "C:\\first.exe");
    registry.putString(kHkeyLocalMachine, kRun, "Updater", "C:\\u.exe");
    auto lines = loadStartupList();
    ASSERT_EQ(lines.size(), 2u);
    StartupEntry entry = lines[1].entry;

    ASSERT_TRUE(moveStartupEntry(entry, false));
    EXPECT_EQ(registry.getString(kHkeyLocalMachine, kRun, "Updater"), std::nullopt);
    EXPECT_EQ(registry.getString(kHkeyLocalMachine, kRunDisabled, "Updater"), "C:\\u.exe");
    EXPECT_EQ(registry.getString(kHkeyCurrentUser, kRunDisabled, "Updater"), std::nullopt);
    EXPECT_EQ(entry.keyPath, kRunDisabled);

    ASSERT_TRUE(moveStartupEntry(entry, true));
    EXPECT_EQ(registry.getString(kHkeyLocalMachine, kRun, "Updater"), "C:\\u.exe");
    EXPECT_EQ(registry.getString(kHkeyLocalMachine, kRunDisabled, "Updater"), std::nullopt);
    EXPECT_EQ(entry.keyPath, kRun);
}

TEST_F(StartupEntriesTest, RefusedWriteLosesNothing) {
    registry.putString(kHkeyLocalMachine, kRun, "Updater", "C:\\u.exe");
    auto lines = loadStartupList();
    ASSERT_EQ(lines.size(), 1u);
    registry.makeReadOnly();
    auto before = registry.files();
    StartupEntry entry = lines[0].entry;
    EXPECT_FALSE(moveStartupEntry(entry, false));
    EXPECT_EQ(entry.keyPath, lines[0].entry.keyPath);
    EXPECT_EQ(registry.files(), before);
    EXPECT_EQ(registry.getString(kHkeyLocalMachine, kRun, "Updater"), "C:\\u.exe");
}

TEST_F(StartupEntriesTest, KeysTheUserMayOnlyReadAreListed) {
    registry.putString(kHkeyLocalMachine, kRun, "Hidden", "C:\\malware.exe");
    registry.putString(kHkeyLocalMachine, kRunDisabled, "Parked", "C:\\parked.exe");
    registry.makeReadOnly();
    auto lines = loadStartupList();
    std::vector<std::pair<std::string, bool>> expected = {{"C:\\malware.exe (Hidden)", true},
                                                          {"C:\\parked.exe (Parked)", false}};
    EXPECT_EQ(texts(lines), expected);
}

TEST_F(StartupEntriesTest, AutostartEntryDisabledAndEnabledThroughTheList) {
    const std::string system = "[Desktop Entry]\nType=Application\nExec=clock --tray\n# keep me\n";
    writeSystem(2, "clock.desktop", system);
    auto lines = loadStartupList();
    ASSERT_EQ(lines.size(), 1u);
    StartupEntry entry = lines[0].entry;
    ASSERT_TRUE(moveStartupEntry(entry, false));
    EXPECT_FALSE(loadStartupList()[0].checked);
    ASSERT_TRUE(moveStartupEntry(entry, true));
    EXPECT_TRUE(loadStartupList()[0].checked);
    EXPECT_EQ(vk::test::readFile(systemFile(2, "clock.desktop")), system);
}

}  // namespace
}  // namespace vk::tools
