#include "tools/ExecutableRemoval.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "support/TempDir.h"
#include "tools/ProcessList.h"

extern char** environ;

namespace vk::tools {
namespace {

namespace fs = std::filesystem;

struct Child {
    pid_t pid = -1;
    ~Child() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

fs::path copySleep(const test::TempDir& dir, const std::string& name) {
    fs::path target = dir / name;
    fs::copy_file("/bin/sleep", target, fs::copy_options::overwrite_existing);
    fs::permissions(target, fs::perms::owner_all);
    return target;
}

pid_t start(const fs::path& program) {
    std::string path = program.string();
    char seconds[] = "30";
    char* argv[] = {path.data(), seconds, nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    return pid;
}

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
        program = copySleep(dir, name);
        child.pid = start(program);
        ASSERT_GT(child.pid, 0);
        list.refresh();
        index = indexOf(list, program.string());
        ASSERT_GE(index, 0);
    }
    bool terminate() {
        bool ended = list.terminateProcessItem(index);
        if (ended) {
            ::waitpid(child.pid, nullptr, 0);
            child.pid = -1;
        }
        return ended;
    }

    test::TempDir dir;
    fs::path program;
    Child child;
    ProcessList list;
    std::int64_t index = -1;
};

TEST_F(ExecutableRemovalTest, TheListRecordsWhichFileEachProcessRuns) {
    startListed("sleeper");
    struct stat st {};
    ASSERT_EQ(::stat(program.c_str(), &st), 0);
    ExecutableIdentity id = list.executableIdentity(index);
    EXPECT_TRUE(id.known);
    EXPECT_EQ(id.device, static_cast<std::uint64_t>(st.st_dev));
    EXPECT_EQ(id.inode, static_cast<std::uint64_t>(st.st_ino));
    EXPECT_FALSE(list.executableIdentity(list.count() + 1).known);
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
    EXPECT_FALSE(deleteExecutable(file.string(), {}));
    EXPECT_FALSE(deleteExecutable(file.string(), {static_cast<std::uint64_t>(st.st_dev),
                                                  static_cast<std::uint64_t>(st.st_ino) + 1, true}));
    EXPECT_FALSE(deleteExecutable("", {static_cast<std::uint64_t>(st.st_dev),
                                       static_cast<std::uint64_t>(st.st_ino), true}));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_TRUE(deleteExecutable(file.string(), {static_cast<std::uint64_t>(st.st_dev),
                                                 static_cast<std::uint64_t>(st.st_ino), true}));
    EXPECT_FALSE(fs::exists(file));
}

TEST(ProcessTermination, AnotherUsersProcessFailsAtOnce) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    test::TempDir dir;
    Child target;
    target.pid = start(copySleep(dir, "root-owned"));
    ASSERT_GT(target.pid, 0);
    pid_t tester = ::fork();
    ASSERT_GE(tester, 0);
    if (tester == 0) {
        // As nobody, the root-owned process must refuse the signal.
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
        auto begin = std::chrono::steady_clock::now();
        bool ended = ProcessList::killProcess(static_cast<std::uint32_t>(target.pid));
        bool quick = std::chrono::steady_clock::now() - begin < std::chrono::seconds(1);
        ::_exit(ended ? 1 : quick ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(tester, &status, 0), tester);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: ended anyway, 2: took too long, 3: could not become nobody";
    EXPECT_EQ(::waitpid(target.pid, &status, WNOHANG), 0) << "the target must still run";
}

}  // namespace
}  // namespace vk::tools
