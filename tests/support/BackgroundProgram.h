#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vk::test {

// A program the test starts and stops: runs until destroyed (SIGTERM, then
// SIGKILL), its standard output readable line by line.
class BackgroundProgram {
public:
    BackgroundProgram(const std::string& program, const std::vector<std::string>& args);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    bool running() const { return pid_ > 0; }
    // The next line of its standard output, "" after timeoutMs or at its end.
    std::string readLine(int timeoutMs = 10000);
    void stop();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string pending_;
};

// A port on 127.0.0.1 that was free for both TCP and UDP a moment ago.
int freeLoopbackPort();

}  // namespace vk::test
