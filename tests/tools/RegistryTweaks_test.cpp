#include "tools/RegistryTweaks.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>

#include "support/TestRegistry.h"
#include "tools/ProcessList.h"

extern char** environ;

namespace vk::tools {
namespace {

using namespace platform;
using namespace std::string_literals;

const TweakCheck& check(const char* control) {
    for (const auto& t : kTweakChecks)
        if (std::string(t.control) == control) return t;
    throw std::logic_error(control);
}

TEST(RegistryTweaks, LoadTestsOfTheTable) {
    test::TestRegistry registry;
    struct Case {
        const char* control;
        std::optional<std::uint32_t> stored;
        std::optional<bool> checked;
    };
    const Case cases[] = {
        {"chkTaskMgr", 1, false},     {"chkTaskMgr", 0, true},      {"chkTaskMgr", 2, true},
        {"chkTaskMgr", std::nullopt, std::nullopt},
        {"chkWEShowRun", 2, false},   {"chkWEShowRun", 0, true},    {"chkWEShowRun", 1, false},
        {"chkWEFolOpt", 2, true},     {"chkWEFolOpt", 1, false},    {"chkWEShowFile", 1, true},
        {"chkWEShowFile", 2, false},  {"chkWECtrlPanel", 0, true},  {"chkWECtrlPanel", 5, false},
        {"chkIELockHome", 1, true},   {"chkWEFileExt", 1, false},   {"chkWEFileExt", 0, true},
    };
    for (const auto& c : cases) {
        const TweakCheck& t = check(c.control);
        if (c.stored) registry.putDword(t.root, t.key, t.valueName, *c.stored);
        else registry.remove(t.root, t.key, t.valueName);
        EXPECT_EQ(readTweak(t), c.checked) << c.control << " " << c.stored.value_or(99);
    }
    // Text that reads as a number compares as one; other text cannot be compared.
    const TweakCheck& run = check("chkWEShowRun");
    registry.putString(run.root, run.key, run.valueName, "0");
    EXPECT_EQ(readTweak(run), true);
    registry.putString(run.root, run.key, run.valueName, "off");
    EXPECT_EQ(readTweak(run), std::nullopt);
}

TEST(RegistryTweaks, ClicksWriteTheTabledNumbersUnderTheTabledRoot) {
    test::TestRegistry registry;
    const TweakCheck& task = check("chkTaskMgr");
    writeTweak(task, true);
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, task.key, "DisableTaskMgr"), 0u);
    writeTweak(task, false);
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, task.key, "DisableTaskMgr"), 1u);
    const TweakCheck& panel = check("chkWECtrlPanel");
    writeTweak(panel, true);
    EXPECT_EQ(registry.getDword(kHkeyLocalMachine, panel.key, "NoControlPanel"), 0u);
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, panel.key, "NoControlPanel"), std::nullopt);
    const TweakCheck& hidden = check("chkWEShowFile");
    writeTweak(hidden, true);
    EXPECT_EQ(registry.getDword(kHkeyCurrentUser, hidden.key, "Hidden"), 1u);
}

TEST(RegistryTweaks, BlankTitleDeletesBlankHomePageWrites) {
    test::TestRegistry registry;
    const TweakText& title = kTweakTexts[kTweakCaption];
    const TweakText& home = kTweakTexts[kTweakHomepage];
    writeTweakText(title, "Hacked by worm");
    EXPECT_EQ(readTweakText(title), "Hacked by worm");
    writeTweakText(title, "   ");
    EXPECT_EQ(registry.get(kHkeyCurrentUser, title.key, "Window Title"), std::nullopt);
    writeTweakText(home, "http://example.org/");
    writeTweakText(home, "");
    EXPECT_EQ(registry.getString(kHkeyCurrentUser, home.key, "Start Page"), "");
    registry.putDword(kHkeyLocalMachine, kTweakTexts[kTweakShell].key, "Shell", 42);
    EXPECT_EQ(readTweakText(kTweakTexts[kTweakShell]), "42");
}

// Copies of sleep named as the Windows shell, so only the test's own children match.
TEST(RegistryTweaks, ApplyChangesRestartsOnlyTheFirstShellFound) {
    test::TempDir dir;
    std::vector<std::string> paths;
    std::vector<pid_t> pids;
    for (const char* sub : {"a", "b"}) {
        auto target = dir / sub / "EXPLORER.EXE";
        std::filesystem::create_directories(target.parent_path());
        std::filesystem::copy_file("/bin/sleep", target);
        std::filesystem::permissions(target, std::filesystem::perms::owner_all);
        std::string path = target.string();
        char* argv[] = {path.data(), const_cast<char*>("30"), nullptr};
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ), 0);
        paths.push_back(path);
        pids.push_back(pid);
    }
    ProcessList list;
    std::int64_t first = -1;
    for (std::int64_t i = 0; i <= list.count() && first < 0; ++i)
        if (list.exePath(i).find("xplorer") != std::string::npos || list.exePath(i).find("XPLORER") != std::string::npos)
            first = i;
    ASSERT_GE(first, 0);
    const std::string firstPath = list.exePath(first);
    const bool firstIsA = firstPath == paths[0];

    std::vector<std::string> started;
    auto restarted = restartShell(list, [&](const std::string& p) { started.push_back(p); });
    ASSERT_TRUE(restarted);
    EXPECT_EQ(*restarted, firstPath);
    EXPECT_EQ(started, std::vector<std::string>{firstPath});
    int status = 0;
    pid_t killed = firstIsA ? pids[0] : pids[1];
    pid_t kept = firstIsA ? pids[1] : pids[0];
    EXPECT_EQ(waitpid(killed, &status, WNOHANG), killed);
    EXPECT_EQ(waitpid(kept, &status, WNOHANG), 0);
    kill(kept, SIGKILL);
    waitpid(kept, &status, 0);
}

TEST(RegistryTweaks, ApplyChangesWithoutAShellDoesNothing) {
    ProcessList list;
    bool started = false;
    // The test runs no program with that name.
    for (std::int64_t i = 0; i <= list.count(); ++i)
        if (list.exePath(i).find("explorer.exe") != std::string::npos) GTEST_SKIP() << "a shell runs here";
    EXPECT_FALSE(restartShell(list, [&](const std::string&) { started = true; }));
    EXPECT_FALSE(started);
}

}  // namespace
}  // namespace vk::tools
