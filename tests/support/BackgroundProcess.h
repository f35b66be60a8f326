#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vk::test {

// A peer program a test starts (a server on loopback) and that ends with the
// object. Standard error goes to a file for the test's messages.
class BackgroundProcess {
public:
    BackgroundProcess(const std::string& program, const std::vector<std::string>& args);
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    bool started() const { return pid_ > 0; }
    // One line of standard output (without its line end); "" at time-out or end.
    std::string readLine(std::chrono::milliseconds timeout);
    std::string errorOutput() const;
    void stop();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string errFile_;
    std::string buffer_;
};

// Whether python3 can import a module (a peer's library), so a test can skip
// with the reason when it cannot.
bool pythonHasModule(const std::string& module);

}  // namespace vk::test
