#include "net/SocketAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace vk::net {

bool numericAddress(const std::string& text, long port, ResolvedAddress& out) {
    sockaddr_in v4{};
    if (::inet_pton(AF_INET, text.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(static_cast<std::uint16_t>(port));
        out = {AF_INET, std::string(reinterpret_cast<const char*>(&v4), sizeof v4)};
        return true;
    }
    sockaddr_in6 v6{};
    if (::inet_pton(AF_INET6, text.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(static_cast<std::uint16_t>(port));
        out = {AF_INET6, std::string(reinterpret_cast<const char*>(&v6), sizeof v6)};
        return true;
    }
    return false;
}

std::string addressText(const ResolvedAddress& address) {
    char buffer[INET6_ADDRSTRLEN] = {};
    if (address.family == AF_INET && address.sockaddr.size() >= sizeof(sockaddr_in)) {
        sockaddr_in v4;
        std::memcpy(&v4, address.sockaddr.data(), sizeof v4);
        ::inet_ntop(AF_INET, &v4.sin_addr, buffer, sizeof buffer);
    } else if (address.family == AF_INET6 && address.sockaddr.size() >= sizeof(sockaddr_in6)) {
        sockaddr_in6 v6;
        std::memcpy(&v6, address.sockaddr.data(), sizeof v6);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, buffer, sizeof buffer);
    }
    return buffer;
}

long addressPort(const ResolvedAddress& address) {
    if (address.family == AF_INET && address.sockaddr.size() >= sizeof(sockaddr_in)) {
        sockaddr_in v4;
        std::memcpy(&v4, address.sockaddr.data(), sizeof v4);
        return ntohs(v4.sin_port);
    }
    if (address.family == AF_INET6 && address.sockaddr.size() >= sizeof(sockaddr_in6)) {
        sockaddr_in6 v6;
        std::memcpy(&v6, address.sockaddr.data(), sizeof v6);
        return ntohs(v6.sin6_port);
    }
    return 0;
}

void setAddressPort(ResolvedAddress& address, long port) {
    std::uint16_t net = htons(static_cast<std::uint16_t>(port));
    // sin_port and sin6_port sit at the same offset.
    if (address.sockaddr.size() >= offsetof(sockaddr_in, sin_port) + 2)
        std::memcpy(address.sockaddr.data() + offsetof(sockaddr_in, sin_port), &net, 2);
}

namespace {
template <typename F>
ResolvedAddress queryAddress(int fd, F call) {
    sockaddr_storage storage{};
    socklen_t length = sizeof storage;
    if (call(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) return {};
    return {storage.ss_family, std::string(reinterpret_cast<const char*>(&storage), length)};
}
}  // namespace

ResolvedAddress peerAddress(int fd) { return queryAddress(fd, ::getpeername); }
ResolvedAddress localAddress(int fd) { return queryAddress(fd, ::getsockname); }

}  // namespace vk::net
