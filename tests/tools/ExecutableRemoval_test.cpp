#include "tools/ExecutableRemoval.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "support/ChildProcess.h"
#include "support/TempDir.h"
#include "tools/ProcessList.h"

namespace vk::tools {
namespace {

namespace fs = std::filesystem;

std::int64_t indexOf(const ProcessList& list, const std::string& path) {
    for (std::int32_t i = 0; i <= list.count(); ++i) {
        if (list.exePath(i) == path) return i;
    }
    return -1;
}

class ExecutableRemovalTest : public ::testing::Test {
protected:
    // Starts a private copy of sleep and finds it in a fresh list.
    void startListed(const std::string& name) {
        program = test::copyProgram(dir, name);
        child = std::make_unique<test::ChildProcess>(program);
        ASSERT_TRUE(child->started());
        list.refresh();
        index = indexOf(list, program.string());
        ASSERT_GE(index, 0);
    }
    bool terminate() {
        return list.terminateProcessItem(index) && child->reapedByKill();
    }

    test::TempDir dir;
    fs::path program;
    std::unique_ptr<test::ChildProcess> child;
    ProcessList list;
    std::int64_t index = -1;
};

TEST_F(ExecutableRemovalTest, TheListRecordsWhichFileEachProcessRuns) {
    startListed("sleeper");
    struct stat st {};
    ASSERT_EQ(::stat(program.c_str(), &st), 0);
    ExecutableIdentity id = list.executableIdentity(index);
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(*id, platform::FileId::of(st));
    EXPECT_FALSE(list.executableIdentity(list.count() + 1).has_value());
}

TEST_F(ExecutableRemovalTest, TerminateAndDeleteRemovesTheCopiedExecutable) {
    startListed("to delete");
    ASSERT_TRUE(terminate());
    EXPECT_TRUE(deleteExecutable(list.exePath(index), list.executableIdentity(index)));
    EXPECT_FALSE(fs::exists(program));
}

TEST_F(ExecutableRemovalTest, AFileSwappedInUnderTheNameIsLeftAlone) {
    startListed("swapped");
    ASSERT_TRUE(terminate());
    // Another file takes the name: a new inode.
    fs::path other = dir.write("other", "not the program");
    fs::rename(other, program);
    EXPECT_FALSE(deleteExecutable(list.exePath(index), list.executableIdentity(index)));
    EXPECT_EQ(test::readFile(program), "not the program");
}

TEST_F(ExecutableRemovalTest, ALinkPutInPlaceOfTheNameIsNotFollowed) {
    startListed("linked");
    ASSERT_TRUE(terminate());
    // The original moves away and a link to it takes its name.
    fs::path moved = dir / "moved";
    fs::rename(program, moved);
    fs::create_symlink(moved, program);
    EXPECT_FALSE(deleteExecutable(list.exePath(index), list.executableIdentity(index)));
    EXPECT_TRUE(fs::exists(moved));
    EXPECT_TRUE(fs::is_symlink(program));
}

TEST(ExecutableRemoval, NothingIsDeletedWithoutAKnownIdentity) {
    test::TempDir dir;
    fs::path file = dir.write("file", "x");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    const platform::FileId id = platform::FileId::of(st);
    EXPECT_FALSE(deleteExecutable(file.string(), std::nullopt));
    EXPECT_FALSE(deleteExecutable(file.string(), platform::FileId{id.device, id.inode + 1}));
    EXPECT_FALSE(deleteExecutable("", id));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(deleteExecutable(file.string(), id));
    EXPECT_FALSE(fs::exists(file));
}

TEST(ProcessTermination, AnotherUsersProcessFailsAtOnce) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    test::TempDir dir;
    test::ChildProcess target(test::copyProgram(dir, "root-owned"));
    ASSERT_TRUE(target.started());
    pid_t tester = ::fork();
    ASSERT_GE(tester, 0);
    if (tester == 0) {
        // As nobody, the root-owned process must refuse the signal.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        auto begin = std::chrono::steady_clock::now();
        bool ended = ProcessList::killProcess(static_cast<std::uint32_t>(target.pid()));
        bool quick = std::chrono::steady_clock::now() - begin < std::chrono::seconds(1);
        ::_exit(ended ? 1 : quick ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(tester, &status, 0), tester);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: ended anyway, 2: took too long, 3: could not become nobody";
    EXPECT_FALSE(target.endedAlready()) << "the target must still run";
}

}  // namespace
}  // namespace vk::tools
