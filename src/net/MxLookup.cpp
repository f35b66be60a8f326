#include "net/MxLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>

#include "net/SocketAddress.h"
#include "platform/Clock.h"
#include "platform/RuntimeError.h"

namespace vk::net {
namespace {

[[noreturn]] void fail(const char* description) {
    throw platform::RuntimeError(kMxQueryError, description, "MXQuery");
}

// "HOST", "HOST:PORT", "[V6]" or "[V6]:PORT"; a bare IPv6 address has no port.
bool serverAddress(const std::string& server, ResolvedAddress& out) {
    std::string host = server;
    long port = 53;
    if (!host.empty() && host.front() == '[') {
        std::size_t close = host.find(']');
        if (close == std::string::npos) return false;
        if (close + 1 < host.size() && host[close + 1] == ':') port = std::atol(host.c_str() + close + 2);
        host = host.substr(1, close - 1);
    } else if (std::size_t colon = host.find(':'); colon != std::string::npos && host.find(':', colon + 1) == std::string::npos) {
        port = std::atol(host.c_str() + colon + 1);
        host.erase(colon);
    }
    if (port < 1 || port > 65535) return false;
    if (numericAddress(host, port, out)) return true;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list) return false;
    out = {list->ai_family, std::string(reinterpret_cast<const char*>(list->ai_addr), list->ai_addrlen)};
    ::freeaddrinfo(list);
    setAddressPort(out, port);
    return true;
}

struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

const DnsSettings& MxLookup::settings() {
    if (!settings_ || settings_->servers.empty()) settings_ = discoverDnsSettings(resolvConf_);
    return *settings_;
}

std::string MxLookup::lookup(std::string domain) {
    records_.clear();
    best_.clear();
    bestPreference_ = -1;
    const DnsSettings& dns = settings();
    if (dns.servers.empty()) fail("No DNS entries found, MX Query cannot contine.");
    if (domain.empty()) domain = dns.localDomain;
    std::string base = domainBase(dns.localDomain);
    return query(domain, base);
}

std::string MxLookup::query(const std::string& domain, const std::string& base) {
    if (domain.size() < 5) fail("No Valid Domain Specified");
    ResolvedAddress server;
    if (!serverAddress(settings().servers.front(), server)) return {};
    Descriptor socket{::socket(server.family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)};
    if (socket.fd < 0) return {};
    std::optional<std::string> datagram = buildMxQuery(domain);
    if (!datagram) return {};
    ssize_t sent = ::sendto(socket.fd, datagram->data(), datagram->size(), 0,
                            reinterpret_cast<const sockaddr*>(server.sockaddr.data()), server.sockaddr.size());
    if (sent <= 0) fail("Problem sending MX query");

    // The reply may never come: wait a bounded time, keeping the window alive.
    char reply[kMxReplyLimit];
    ssize_t received = -1;
    double deadline = platform::steadySeconds() + timeout_;
    while (true) {
        pollfd p{socket.fd, POLLIN, 0};
        if (::poll(&p, 1, 10) > 0) {
            received = ::recv(socket.fd, reply, sizeof reply, 0);
            break;
        }
        if (pump_) pump_->pump();
        if (platform::steadySeconds() >= deadline) break;
    }
    if (received <= 0) fail("Problem receiving MX query");

    MxReply parsed = parseMxReply(std::string_view(reply, static_cast<std::size_t>(received)));
    if (!parsed.valid) return {};
    if (parsed.answerCount == 0) {
        std::size_t at = base.empty() ? std::string::npos : domain.find(base);
        std::size_t dot = domain.find('.');
        if (at != std::string::npos && at > 0 && dot != std::string::npos) return query(domain.substr(dot + 1), base);
        return {};
    }
    records_ = std::move(parsed.records);
    best_ = parsed.best;
    bestPreference_ = parsed.bestPreference;
    return best_;
}

std::string MxLookup::reverseLookup(const std::string& ipv4) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (::inet_pton(AF_INET, ipv4.c_str(), &address.sin_addr) != 1) return {};
    char host[NI_MAXHOST] = {};
    if (::getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host, sizeof host, nullptr, 0,
                      NI_NAMEREQD) != 0)
        return {};
    std::string name = host;
    if (name.size() > 256) name.resize(256);
    return name;
}

}  // namespace vk::net
