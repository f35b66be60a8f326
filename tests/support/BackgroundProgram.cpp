#include "support/BackgroundProgram.h"

#include "support/RunProgram.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace vk::test {

BackgroundProgram::BackgroundProgram(const std::string& program, const std::vector<std::string>& args) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return;
    }
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, 0);
        execProgram(program, args);
    }
    ::close(pipeFds[1]);
    pid_ = pid;
    out_ = pipeFds[0];
}

BackgroundProgram::~BackgroundProgram() { stop(); }

std::string BackgroundProgram::readLine(int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        std::size_t newline = pending_.find('\n');
        if (newline != std::string::npos) {
            std::string line = pending_.substr(0, newline);
            pending_.erase(0, newline + 1);
            return line;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (out_ < 0 || left.count() <= 0) return {};
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return {};
        char buffer[512];
        ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n <= 0) return {};
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

void BackgroundProgram::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 200; ++i) {
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
        }
    }
    if (out_ >= 0) ::close(out_);
    out_ = -1;
}

int freeLoopbackPort() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        int tcp = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(tcp, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::getsockname(tcp, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ::close(tcp);
            continue;
        }
        int udp = ::socket(AF_INET, SOCK_DGRAM, 0);
        bool udpFree = ::bind(udp, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(udp);
        ::close(tcp);
        if (udpFree) return ntohs(address.sin_port);
    }
    return 0;
}

}  // namespace vk::test
