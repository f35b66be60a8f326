#include "tools/LogAgent.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "support/TestDesktop.h"
#include "tools/ProcessList.h"

namespace vk::tools {
namespace {

using namespace platform;

std::vector<std::string> splitCrLf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find("\r\n", start);
        lines.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return lines;
        start = at + 2;
    }
}

std::string ownExe() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

class LogAgentTest : public ::testing::Test, protected vk::test::SystemFixture {};

TEST_F(LogAgentTest, SnapshotLineForLine) {
    const std::string sep(40, '=');
    registry.putString(kHkeyLocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Shell",
                       "Explorer.exe");
    registry.putString(kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Machine",
                       "C:\\m.exe");
    registry.putString(kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "User", "C:\\u.exe");
    registry.putDword(kHkeyCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
                      "DisableTaskMgr", 1);
    registry.putString(kHkeyCurrentUser, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page",
                       "http://example.org/");
    writeSystem(1, "clock.desktop", "[Desktop Entry]\nExec=clock --tray\n");
    writeUser("notes.desktop", "[Desktop Entry]\nExec=notes\nHidden=true\n");

    ProcessList processes;
    std::time_t now = 1700000000;
    auto lines = splitCrLf(takeSystemSnapshot(processes, now));

    char date[64];
    std::tm parts{};
    localtime_r(&now, &parts);
    std::strftime(date, sizeof date, "%x", &parts);
    std::vector<std::string> head = {sep, "VandrelKast Log Agent", sep, "", "", "VandrelKast Version: 1.4.0 Beta",
                                     std::string("Current System Date: ") + date, "", "", "Running Processes:", sep};
    ASSERT_GT(lines.size(), head.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(head.size())), head);

    // The process block runs to the next separator and holds this test.
    auto procEnd = std::find(lines.begin() + static_cast<long>(head.size()), lines.end(), sep);
    ASSERT_NE(procEnd, lines.end());
    EXPECT_NE(std::find(lines.begin() + static_cast<long>(head.size()), procEnd, ownExe()), procEnd);

    std::vector<std::string> tail = {
        sep,
        "Startup List",
        sep,
        "Winlogon Shell: Explorer.exe",
        "Winlogon Userinit: ",
        "Machine: C:\\m.exe",
        "User: C:\\u.exe",
        sep,
        "Critical System Configuration",
        sep,
        "HKCU\\Software\\Microsoft\\Internet Explorer\\Main\\\"Start Page\" = http://example.org/",
        "HKCU\\Software\\Microsoft\\Internet Explorer\\Main\\\"Window Title\" = ",
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\\"Hidden\" = ",
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\\"HideFileExt\" = ",
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced\\\"ShowSuperHidden\" = ",
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\\"NoFolderOptions\" = ",
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\\"NoDriveTypeAutoRun\" = ",
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\\"DisableTaskMgr\" = 1",
        "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\\"DisableRegistryTools\" = ",
        sep,
        "Linux Autostart",
        sep,
        systemFile(1, "clock.desktop") + ": clock --tray",
        userFile("notes.desktop") + ": notes (disabled)",
        sep,
        "",
        "",
        "Finished logging.",
    };
    EXPECT_EQ(std::vector<std::string>(procEnd, lines.end()), tail);
}

TEST_F(LogAgentTest, RunKeysTheUserMayOnlyReadAreListed) {
    registry.putString(kHkeyLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Machine",
                       "C:\\m.exe");
    registry.makeReadOnly();
    ProcessList processes;
    EXPECT_NE(takeSystemSnapshot(processes, 0).find("\r\nMachine: C:\\m.exe\r\n"), std::string::npos);
}

TEST_F(LogAgentTest, TwoSnapshotsNeverAccumulate) {
    ProcessList processes;
    std::string first = takeSystemSnapshot(processes, 0);
    std::string second = takeSystemSnapshot(processes, 0);
    EXPECT_EQ(second.find("VandrelKast Log Agent"), second.rfind("VandrelKast Log Agent"));
    EXPECT_TRUE(first.ends_with("Finished logging."));
}

TEST(LogAgent, AppendLogLineJoinsWithCrLf) {
    std::string log;
    appendLogLine(log, "a");
    appendLogLine(log, "\r\n");
    appendLogLine(log, "b");
    EXPECT_EQ(log, "a\r\n\r\n\r\nb");
}

TEST(LogAgent, SaveNameGetsTxtOnlyWhenItLacksIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"/tmp/log", "/tmp/log.txt"}, {"/tmp/log.txt", "/tmp/log.txt"}, {"/tmp/LOG.TXT", "/tmp/LOG.TXT"},
        {"/tmp/log.doc", "/tmp/log.doc.txt"}, {"/tmp/log.txt.bak", "/tmp/log.txt.bak.txt"}};
    for (auto [in, out] : cases) EXPECT_EQ(logFileName(in), out) << in;
}

TEST(LogAgent, SaveWritesTheTextWithALineEndOrSaysWhy) {
    vk::test::TempDir dir;
    std::string path = (dir / "log.txt").string();
    EXPECT_EQ(saveLog(path, "a\r\nb"), "");
    EXPECT_EQ(vk::test::readFile(path), "a\r\nb\r\n");
    std::string reason = saveLog((dir / "missing/log.txt").string(), "x");
    EXPECT_FALSE(reason.empty());
}

}  // namespace
}  // namespace vk::tools
