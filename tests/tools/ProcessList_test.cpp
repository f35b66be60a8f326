#include "tools/ProcessList.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "support/TempDir.h"

extern char** environ;

namespace vk::tools {
namespace {

namespace fs = std::filesystem;

// A private copy of sleep, so the test can only ever hit its own children.
fs::path copySleep(const test::TempDir& dir, const std::string& name) {
    fs::path target = dir / name;
    fs::create_directories(target.parent_path());
    fs::copy_file("/bin/sleep", target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_all);
    return target;
}

pid_t start(const fs::path& program, const char* seconds = "30") {
    std::string path = program.string();
    char* argv[] = {path.data(), const_cast<char*>(seconds), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    return pid;
}

// Reaps the child; true when it died of SIGKILL.
bool reapedByKill(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

std::int64_t indexOf(const ProcessList& list, const std::string& path) {
    for (std::int32_t i = 0; i <= list.count(); ++i) {
        if (list.exePath(i) == path) return i;
    }
    return -1;
}

TEST(ProcessList, FindsAStartedProgramByPathAndEndsIt) {
    test::TempDir dir;
    fs::path program = copySleep(dir, "with space/sleeper");
    pid_t pid = start(program);
    ASSERT_GT(pid, 0);

    ProcessList list;
    std::int64_t i = indexOf(list, program.string());
    ASSERT_GE(i, 0) << "started program not listed";
    EXPECT_EQ(list.processID(i), static_cast<std::uint32_t>(pid));

    EXPECT_TRUE(list.terminateProcessItem(i));
    // True means ended: the child is already a zombie, reaping must not block.
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    list.refresh();
    EXPECT_EQ(indexOf(list, program.string()), -1);
}

TEST(ProcessList, EntriesRunFromZeroToCountInclusive) {
    ProcessList list;
    ASSERT_GE(list.count(), 0);
    bool sawSelf = false;
    for (std::int32_t i = 0; i <= list.count(); ++i) {
        EXPECT_NE(list.processID(i), 0u) << i;
        EXPECT_FALSE(list.exePath(i).empty()) << i;
        if (list.processID(i) == static_cast<std::uint32_t>(getpid())) sawSelf = true;
    }
    EXPECT_TRUE(sawSelf);
    EXPECT_EQ(list.processID(list.count() + 1), 0u);
    EXPECT_EQ(list.exePath(list.count() + 1), "");
    EXPECT_EQ(list.processID(-1), 0u);
    EXPECT_EQ(list.exePath(-1), "");
    EXPECT_FALSE(list.terminateProcessItem(list.count() + 1));
}

TEST(ProcessList, ProcessesWeMayNotInspectAreMissing) {
    char buf[PATH_MAX];
    if (readlink("/proc/1/exe", buf, sizeof buf) >= 0) GTEST_SKIP() << "process 1 is inspectable here";
    ProcessList list;
    for (std::int32_t i = 0; i <= list.count(); ++i) EXPECT_NE(list.processID(i), 1u);
}

TEST(ProcessList, KillRefusesIdentifiersThatWouldHitOthersOrItself) {
    // 0 and anything above INT_MAX would become a process-group or
    // all-process signal; our own process would end the caller.
    EXPECT_FALSE(ProcessList::killProcess(0));
    EXPECT_FALSE(ProcessList::killProcess(UINT32_MAX));
    EXPECT_FALSE(ProcessList::killProcess(static_cast<std::uint32_t>(INT_MAX) + 1u));
    EXPECT_FALSE(ProcessList::killProcess(static_cast<std::uint32_t>(getpid())));
}

TEST(ProcessList, KillOfAProcessThatHasGoneIsFalse) {
    test::TempDir dir;
    fs::path program = copySleep(dir, "quick");
    pid_t pid = start(program, "0");
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_FALSE(ProcessList::killProcess(static_cast<std::uint32_t>(pid)));
}

TEST(ProcessList, KillByIdentifierEndsTheProcess) {
    test::TempDir dir;
    fs::path program = copySleep(dir, "sleeper");
    pid_t pid = start(program);
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(ProcessList::killProcess(static_cast<std::uint32_t>(pid)));
    EXPECT_TRUE(reapedByKill(pid));
}

TEST(ProcessList, ItemWhoseProcessEndedMeanwhileIsNotReportedEnded) {
    test::TempDir dir;
    fs::path program = copySleep(dir, "sleeper");
    pid_t pid = start(program);
    ASSERT_GT(pid, 0);
    ProcessList list;
    std::int64_t i = indexOf(list, program.string());
    ASSERT_GE(i, 0);
    kill(pid, SIGKILL);
    ASSERT_TRUE(reapedByKill(pid));
    EXPECT_FALSE(list.terminateProcessItem(i));
}

}  // namespace
}  // namespace vk::tools
