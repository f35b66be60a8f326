#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "script/ScriptStop.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

struct Stopped {
    int status = -1;
    std::string out;
};

// Starts vkrepair on script, sends sig once its output holds marker, and
// collects the rest. The child is killed if it does not end within 20 s.
Stopped stopWhenSeen(const fs::path& program, const fs::path& script, const std::string& drives,
                     const std::string& marker, int sig) {
    int pipeFd[2];
    if (::pipe(pipeFd) != 0) return {};
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFd[1], STDOUT_FILENO);
        ::close(pipeFd[0]);
        ::close(pipeFd[1]);
        ::setenv("VANDRELKAST_DRIVES", drives.c_str(), 1);
        ::execl(program.c_str(), "vkrepair", script.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(pipeFd[1]);
    Stopped result;
    bool signalled = false;
    for (int waited = 0; waited < 20000;) {
        pollfd p{pipeFd[0], POLLIN, 0};
        int ready = ::poll(&p, 1, 100);
        if (ready == 0) {
            waited += 100;
            continue;
        }
        char buffer[4096];
        ssize_t n = ::read(pipeFd[0], buffer, sizeof buffer);
        if (n <= 0) break;
        result.out.append(buffer, static_cast<std::size_t>(n));
        if (!signalled && result.out.find(marker) != std::string::npos) {
            ::kill(pid, sig);
            signalled = true;
        }
    }
    ::close(pipeFd[0]);
    int raw = 0;
    pid_t done = 0;
    for (int i = 0; i < 500 && (done = ::waitpid(pid, &raw, WNOHANG)) == 0; ++i) ::usleep(10000);
    if (done != pid) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &raw, 0);
        return result;
    }
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

TEST(VkRepairStop, SignalStopsTheRunWithItsLineAndStatus130) {
    const char* bin = std::getenv("VANDRELKAST_TEST_BIN");
    if (!bin) GTEST_SKIP() << "VANDRELKAST_TEST_BIN is not set";
    const fs::path program = fs::path(bin) / "vkrepair";
    vk::test::TempDir dir;
    for (int i = 0; i < 3000; ++i) dir.write("drive/f" + std::to_string(i) + ".bin", "x");
    const std::string drives = (dir / "drive").string() + "|1|1";
    struct Case {
        const char* name;
        const char* text;
        const char* marker;
        int sig;
    } cases[] = {
        {"loop.vks", "IOMessage \"tick\"\r\nDo\r\nLoop\r\n", "tick", SIGINT},
        {"pause.kst", "Do\r\n IOMessage \"tick\"\r\n Pause 1\r\nLoop\r\n", "tick", SIGTERM},
        {"scan.vki",
         "[Main]\r\nDoDisinfectDrives=1\r\n[DisinfectDrives]\r\nDisinfectDriveType=1\r\nRunScan=1\r\n",
         "Scanning File: ", SIGINT},
    };
    for (const Case& c : cases) {
        auto script = dir.write(c.name, c.text);
        Stopped r = stopWhenSeen(program, script, drives, c.marker, c.sig);
        EXPECT_EQ(r.status, 130) << c.name << "\n" << r.out.substr(0, 400);
        const std::string last = std::string(vk::script::kScriptStoppedLine) + "\n";
        EXPECT_TRUE(r.out.ends_with(last)) << c.name << "\n" << r.out.substr(r.out.size() > 300 ? r.out.size() - 300 : 0);
        EXPECT_EQ(r.out.find("Repair finished."), std::string::npos) << c.name;
    }
}

}  // namespace
