#include "support/BackgroundProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace vk::test {

BackgroundProcess::BackgroundProcess(const std::string& program, const std::vector<std::string>& args) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    char errTemplate[] = "/tmp/vk-peer-stderr-XXXXXX";
    int err = ::mkstemp(errTemplate);
    errFile_ = errTemplate;
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(pipeFds[1], 1);
        if (err >= 0) ::dup2(err, 2);
        int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0) ::dup2(devNull, 0);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execvp(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (err >= 0) ::close(err);
    out_ = pipeFds[0];
}

BackgroundProcess::~BackgroundProcess() {
    stop();
    if (!errFile_.empty()) ::unlink(errFile_.c_str());
}

void BackgroundProcess::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
    }
    if (out_ >= 0) ::close(out_);
    out_ = -1;
}

std::string BackgroundProcess::readLine(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::size_t nl = buffer_.find('\n');
        if (nl != std::string::npos) {
            std::string line = buffer_.substr(0, nl);
            buffer_.erase(0, nl + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (out_ < 0 || left.count() <= 0) return {};
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        char chunk[512];
        ssize_t n = ::read(out_, chunk, sizeof chunk);
        if (n <= 0) return {};
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::string BackgroundProcess::errorOutput() const { return errFile_.empty() ? std::string() : readFile(errFile_); }

bool pythonHasModule(const std::string& module) {
    return runProgram("/usr/bin/python3", {"-c", "import " + module}).status == 0;
}

}  // namespace vk::test
