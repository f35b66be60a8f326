#include "support/LoopbackPeers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace vk::test {
namespace {

int bindLoopback(int type, int& port) {
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

void sendAll(int fd, const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
        ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

void stopThread(int wake[2], std::thread& thread) {
    if (wake[1] >= 0) {
        char byte = 1;
        [[maybe_unused]] ssize_t n = ::write(wake[1], &byte, 1);
    }
    if (thread.joinable()) thread.join();
    for (int i = 0; i < 2; ++i)
        if (wake[i] >= 0) ::close(wake[i]);
}

}  // namespace

Pop3Peer::Pop3Peer(std::string user, std::string password) : user_(std::move(user)), password_(std::move(password)) {
    listener_ = bindLoopback(SOCK_STREAM, port_);
    if (listener_ < 0 || ::listen(listener_, 5) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) return;
    thread_ = std::thread([this] { run(); });
}

Pop3Peer::~Pop3Peer() {
    stopThread(wake_, thread_);
    if (listener_ >= 0) ::close(listener_);
}

std::string Pop3Peer::commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

void Pop3Peer::run() {
    while (true) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) <= 0 || fds[1].revents) return;
        int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        serve(client);
        ::close(client);
    }
}

void Pop3Peer::serve(int client) {
    sendAll(client, "+OK POP3 test server ready\r\n");
    std::string buffer;
    bool userOk = false;
    while (true) {
        pollfd fds[2] = {{client, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, 10000) <= 0 || fds[1].revents) return;
        char chunk[512];
        ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
        if (n <= 0) return;
        buffer.append(chunk, static_cast<std::size_t>(n));
        std::size_t end;
        while ((end = buffer.find("\r\n")) != std::string::npos) {
            std::string line = buffer.substr(0, end);
            buffer.erase(0, end + 2);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                commands_ += line + "\n";
            }
            std::string verb = line.substr(0, line.find(' '));
            std::string arg = line.find(' ') == std::string::npos ? "" : line.substr(line.find(' ') + 1);
            if (verb == "USER") {
                userOk = arg == user_;
                sendAll(client, "+OK send PASS\r\n");
            } else if (verb == "PASS") {
                if (userOk && arg == password_) {
                    sendAll(client, "+OK maildrop locked and ready\r\n");
                } else {
                    sendAll(client, "-ERR invalid password\r\n");
                    return;
                }
            } else if (verb == "QUIT") {
                sendAll(client, "+OK bye\r\n");
                return;
            } else {
                sendAll(client, "-ERR unknown command\r\n");
            }
        }
    }
}

UdpPeer::UdpPeer(std::function<std::string(const std::string&)> reply) : reply_(std::move(reply)) {
    socket_ = bindLoopback(SOCK_DGRAM, port_);
    if (socket_ < 0 || ::pipe2(wake_, O_CLOEXEC) != 0) return;
    thread_ = std::thread([this] { run(); });
}

UdpPeer::~UdpPeer() {
    stopThread(wake_, thread_);
    if (socket_ >= 0) ::close(socket_);
}

std::string UdpPeer::lastQuery() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastQuery_;
}

void UdpPeer::run() {
    while (true) {
        pollfd fds[2] = {{socket_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) <= 0 || fds[1].revents) return;
        char buffer[4096];
        sockaddr_storage from{};
        socklen_t length = sizeof from;
        ssize_t n = ::recvfrom(socket_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0) continue;
        std::string query(buffer, static_cast<std::size_t>(n));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            lastQuery_ = query;
        }
        ++received_;
        std::string answer = reply_(query);
        if (!answer.empty())
            ::sendto(socket_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from), length);
    }
}

ScriptedTcpPeer::ScriptedTcpPeer(std::string greeting, Reply reply)
    : greeting_(std::move(greeting)), reply_(std::move(reply)) {
    listener_ = bindLoopback(SOCK_STREAM, port_);
    if (listener_ < 0 || ::listen(listener_, 1) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) return;
    thread_ = std::thread([this] { run(); });
}

ScriptedTcpPeer::~ScriptedTcpPeer() {
    stopThread(wake_, thread_);
    if (listener_ >= 0) ::close(listener_);
}

void ScriptedTcpPeer::run() {
    pollfd wait[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    if (::poll(wait, 2, -1) <= 0 || wait[1].revents) return;
    int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    sendAll(client, greeting_);
    std::string buffer;
    while (true) {
        pollfd fds[2] = {{client, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(fds, 2, 10000) <= 0 || fds[1].revents) break;
        char chunk[512];
        ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        buffer.append(chunk, static_cast<std::size_t>(n));
        std::size_t end;
        bool hangUp = false;
        while (!hangUp && (end = buffer.find("\r\n")) != std::string::npos) {
            std::optional<std::string> answer = reply_(buffer.substr(0, end));
            buffer.erase(0, end + 2);
            if (!answer) {
                hangUp = true;
                break;
            }
            std::size_t split = answer->find('|');
            if (split == std::string::npos) {
                sendAll(client, *answer);
                continue;
            }
            sendAll(client, answer->substr(0, split));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            sendAll(client, answer->substr(split + 1));
        }
        if (hangUp) break;
    }
    ::close(client);
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

SilentTcpPeer::SilentTcpPeer() {
    listener_ = bindLoopback(SOCK_STREAM, port_);
    if (listener_ >= 0) ::listen(listener_, 5);
}

SilentTcpPeer::~SilentTcpPeer() {
    if (listener_ >= 0) ::close(listener_);
}

}  // namespace vk::test
