// Two processes writing the same file at once must not lose each other's writes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/IniProfile.h"
#include "platform/linux/RegistryStore.h"
#include "support/TempDir.h"

namespace vk::platform {
namespace {

using namespace std::string_literals;

constexpr int kWritesPerProcess = 150;

// Runs work(i) in two forked children at once; true when both exited 0.
template <class Work>
bool inTwoProcesses(Work work) {
    int gate[2];
    if (::pipe(gate) != 0) return false;
    std::vector<pid_t> children;
    for (int i = 0; i < 2; ++i) {
        pid_t pid = ::fork();
        if (pid < 0) return false;
        if (pid == 0) {
            ::close(gate[1]);
            char c;
            (void)!::read(gate[0], &c, 1);  // start together
            ::_exit(work(i));
        }
        children.push_back(pid);
    }
    ::close(gate[0]);
    (void)!::write(gate[1], "go", 2);
    ::close(gate[1]);
    bool ok = true;
    for (pid_t pid : children) {
        int status = 0;
        ok = ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0 && ok;
    }
    return ok;
}

TEST(RegistryConcurrencyTest, TwoProcessesWritingTheSameRootLoseNothing) {
    test::TempDir dir;
    ASSERT_TRUE(inTwoProcesses([&](int who) {
        RegistryStore store(dir.str());
        for (int n = 0; n < kWritesPerProcess; ++n) {
            RegHandle h = 0;
            if (store.createKey(kHkeyCurrentUser, "Software\\Race", kKeyAllAccess, h)) return 1;
            std::string name = "p" + std::to_string(who) + "_" + std::to_string(n);
            if (store.setValue(h, name, kRegSz, name + '\0')) return 2;
            store.closeKey(h);
        }
        return 0;
    }));
    RegistryStore store(dir.str());
    RegHandle h = 0;
    ASSERT_EQ(store.openKey(kHkeyCurrentUser, "Software\\Race", kKeyRead, h), kErrorSuccess);
    int found = 0;
    for (int who = 0; who < 2; ++who) {
        for (int n = 0; n < kWritesPerProcess; ++n) {
            std::string name = "p" + std::to_string(who) + "_" + std::to_string(n);
            std::uint32_t type = 0;
            std::string data;
            if (store.queryValue(h, name, type, data) == kErrorSuccess && data == name + '\0') ++found;
        }
    }
    EXPECT_EQ(found, 2 * kWritesPerProcess);
    EXPECT_FALSE(store.rootDamaged(kHkeyCurrentUser));
}

TEST(RegistryConcurrencyTest, TwoProcessesWritingTheSameIniFileLoseNothing) {
    test::TempDir dir;
    std::string file = (dir / "shared.ini").string();
    ASSERT_TRUE(inTwoProcesses([&](int who) {
        for (int n = 0; n < kWritesPerProcess; ++n) {
            std::string key = "k" + std::to_string(n);
            // Both write into the same section and each into its own.
            if (!writeProfileString(file, "Common", "p" + std::to_string(who) + key, key)) return 1;
            if (!writeProfileString(file, "Own" + std::to_string(who), key, key)) return 2;
        }
        return 0;
    }));
    int found = 0;
    for (int who = 0; who < 2; ++who) {
        for (int n = 0; n < kWritesPerProcess; ++n) {
            std::string key = "k" + std::to_string(n);
            found += getProfileString(file, "Common", "p" + std::to_string(who) + key, "") == key;
            found += getProfileString(file, "Own" + std::to_string(who), key, "") == key;
        }
    }
    EXPECT_EQ(found, 4 * kWritesPerProcess);
}

}  // namespace
}  // namespace vk::platform
