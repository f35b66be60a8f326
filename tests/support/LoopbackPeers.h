#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vk::test {

// A port on 127.0.0.1 that was free for both TCP and UDP a moment ago.
int freeLoopbackPort();

// A POP3 server on a free loopback port (RFC 1939 replies to USER, PASS and
// QUIT), on its own thread, accepting one user.
class Pop3Peer {
public:
    Pop3Peer(std::string user, std::string password);
    ~Pop3Peer();
    int port() const { return port_; }
    // The commands received, one per line, in order.
    std::string commands() const;

private:
    void run();
    void serve(int client);
    std::string user_, password_;
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::string commands_;
};

// A UDP server on a free loopback port that answers each datagram with what
// reply() makes of it (nothing when it returns "").
class UdpPeer {
public:
    explicit UdpPeer(std::function<std::string(const std::string&)> reply);
    ~UdpPeer();
    int port() const { return port_; }
    int received() const { return received_; }
    std::string lastQuery() const;

private:
    void run();
    std::function<std::string(const std::string&)> reply_;
    int socket_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::atomic<int> received_{0};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::string lastQuery_;
};

// A TCP server on a free loopback port for one connection: sends greeting,
// then answers every line received with reply(line): nothing for "", a hang-up
// for nullopt; a "|" in an answer sends it in two pieces 50 ms apart.
class ScriptedTcpPeer {
public:
    using Reply = std::function<std::optional<std::string>(const std::string&)>;
    ScriptedTcpPeer(std::string greeting, Reply reply);
    ~ScriptedTcpPeer();
    int port() const { return port_; }

private:
    void run();
    std::string greeting_;
    Reply reply_;
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

// A TCP listener on a free loopback port that accepts connections and never
// says a word.
class SilentTcpPeer {
public:
    SilentTcpPeer();
    ~SilentTcpPeer();
    int port() const { return port_; }

private:
    int listener_ = -1;
    int port_ = 0;
};

}  // namespace vk::test
