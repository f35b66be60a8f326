#include "support/DnsmasqPeer.h"

#include "support/LoopbackPeers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace vk::test {
namespace {

// dnsmasq answers once it has bound: ask it until it does.
bool answers(int port) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // A query for "probe.invalid" type A.
    const char query[] = "\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00\x05probe\x07invalid\x00\x00\x01\x00\x01";
    bool ok = false;
    if (::sendto(fd, query, sizeof query - 1, 0, reinterpret_cast<sockaddr*>(&address), sizeof address) > 0) {
        pollfd p{fd, POLLIN, 0};
        char buffer[512];
        ok = ::poll(&p, 1, 100) > 0 && ::recv(fd, buffer, sizeof buffer, 0) > 0;
    }
    ::close(fd);
    return ok;
}

}  // namespace

DnsmasqPeer::DnsmasqPeer(const std::vector<std::string>& records) {
    const std::string binary = "/usr/sbin/dnsmasq";
    if (!std::filesystem::exists(binary)) {
        failure_ = "dnsmasq is not installed (dnsmasq-base)";
        return;
    }
    port_ = freeLoopbackPort();
    std::vector<std::string> args = {"--keep-in-foreground", "--no-resolv", "--no-hosts", "--no-daemon",
                                     "--conf-file=/dev/null", "--listen-address=127.0.0.1", "--bind-interfaces",
                                     "--port=" + std::to_string(port_), "--user=root", "--pid-file=",
                                     "--log-facility=-", "--quiet-dhcp"};
    args.insert(args.end(), records.begin(), records.end());
    program_ = std::make_unique<BackgroundProcess>(binary, args);
    for (int i = 0; i < 50; ++i) {
        if (answers(port_)) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    failure_ = "dnsmasq did not start on port " + std::to_string(port_);
}

}  // namespace vk::test
