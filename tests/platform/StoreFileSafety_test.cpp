// What a rewrite of a store or profile file keeps (owner, group, mode) and
// what a writer that dies on the way leaves behind (nothing).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/linux/RegistryStore.h"
#include "support/TempDir.h"

namespace vk::platform {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

long writeValue(RegistryStore& store, std::string_view value) {
    RegHandle h = 0;
    if (long st = store.createKey(kHkeyCurrentUser, "Software\\Owned", kKeyAllAccess, h)) return st;
    long st = store.setValue(h, "v", kRegSz, value);
    store.closeKey(h);
    return st;
}

TEST(StoreFileSafetyTest, ARewriteByRootKeepsTheUsersOwnershipAndMode) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the store to another user";
    test::TempDir dir;
    ASSERT_EQ(::chmod(dir.str().c_str(), 0711), 0);
    fs::path folder = dir / "registry";
    fs::path file = folder / "HKEY_CURRENT_USER.reg";
    dir.write("registry/HKEY_CURRENT_USER.reg", "Windows Registry Editor Version 5.00\r\n");
    ASSERT_EQ(::chown(folder.c_str(), kNobody, kNogroup), 0);
    ASSERT_EQ(::chown(file.c_str(), kNobody, kNogroup), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);

    {
        RegistryStore store(folder.string());
        ASSERT_EQ(writeValue(store, "by root\0"s), kErrorSuccess);
        RegHandle h = 0;
        ASSERT_EQ(store.createKey(kHkeyLocalMachine, "Software\\New", kKeyAllAccess, h), kErrorSuccess);
        store.closeKey(h);
    }
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody);
    EXPECT_EQ(st.st_gid, kNogroup);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // A root file root made in the user's store is the user's too.
    ASSERT_EQ(::stat((folder / "HKEY_LOCAL_MACHINE.reg").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody);

    // The user can still change their store afterwards (lock file included).
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(kNogroup) != 0 || ::setuid(kNobody) != 0) ::_exit(3);
        RegistryStore store(folder.string());
        ::_exit(writeValue(store, "by the user\0"s) == kErrorSuccess ? 0 : 4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(test::readFile(file).find("\"v\"=\"by the user\""), std::string::npos);
}

TEST(StoreFileSafetyTest, AWriterKilledInTheMiddleOfASaveLeavesNothing) {
    test::TempDir dir;
    fs::path file = dir.write("HKEY_CURRENT_USER.reg", "Windows Registry Editor Version 5.00\r\n");
    auto before = namesIn(dir.path());
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The file-size limit kills the writer with SIGXFSZ halfway through its write.
        rlimit core{0, 0};
        ::setrlimit(RLIMIT_CORE, &core);
        rlimit size{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &size);
        atomicReplaceFile(file.string(), std::string(1 << 20, 'x'));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer was not stopped mid-save";
    EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
    EXPECT_EQ(namesIn(dir.path()), before);
    EXPECT_EQ(test::readFile(file), "Windows Registry Editor Version 5.00\r\n");
}

TEST(StoreFileSafetyTest, TemporaryFilesOfDeadWritersGoAtTheNextSave) {
    test::TempDir dir;
    fs::path file = dir.write("config.ini", "[a]\r\n");
    pid_t dead = ::fork();
    ASSERT_GE(dead, 0);
    if (dead == 0) ::_exit(0);
    ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
    std::string deadTemp = ".config.ini." + std::to_string(dead) + ".Ab12Cd";
    std::string liveTemp = ".config.ini." + std::to_string(::getpid()) + ".Ef34Gh";
    dir.write(deadTemp, "half a file");
    dir.write(liveTemp, "a save in progress");
    dir.write(".other.ini." + std::to_string(dead) + ".Ij56Kl", "another file's");

    ASSERT_EQ(atomicReplaceFile(file.string(), "[b]\r\n"), 0);
    auto names = namesIn(dir.path());
    EXPECT_EQ(names.count(deadTemp), 0u);
    EXPECT_EQ(names.count(liveTemp), 1u);
    EXPECT_EQ(names.count(".other.ini." + std::to_string(dead) + ".Ij56Kl"), 1u);
    EXPECT_EQ(names.size(), 3u);
    EXPECT_EQ(test::readFile(file), "[b]\r\n");
}

}  // namespace
}  // namespace vk::platform
