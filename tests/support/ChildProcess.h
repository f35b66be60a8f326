#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace vk::test {

// A private copy of a system program (sleep by default) in dir, so that a
// test only ever finds and ends its own children.
std::filesystem::path copyProgram(const TempDir& dir, const std::string& name,
                                  const std::filesystem::path& source = "/bin/sleep");

// A child process the test started; killed and reaped with the object
// unless the test reaped it first.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args = {"30"});
    // With an argv[0] of its own and only this environment ("NAME=value" each).
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& argv,
                 const std::vector<std::string>& environment);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool started() const { return pid_ > 0; }
    // Waits for the child; true when SIGKILL ended it.
    bool reapedByKill();
    // True when the child has ended and was reaped now, without waiting.
    bool endedAlready();

private:
    pid_t pid_ = -1;
};

}  // namespace vk::test
