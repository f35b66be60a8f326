#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vk::net {

// The DNS servers (in discovery order; "HOST", "HOST:PORT" or "[V6]:PORT")
// and the computer's own DNS domain.
struct DnsSettings {
    std::vector<std::string> servers;
    std::string localDomain;
};

// nameserver lines, and the domain line or the first search domain (the
// later of the two lines wins, as the resolver has it).
DnsSettings parseResolvConf(std::string_view text);

// The system's settings: $VANDRELKAST_DNS (HOST[:PORT]) replaces the servers
// of /etc/resolv.conf; with no domain there, the part after the first "." of
// the first server's reverse name.
DnsSettings discoverDnsSettings(const std::string& resolvConf = "/etc/resolv.conf");

// The last two labels of a domain (the whole domain when it has fewer).
std::string domainBase(const std::string& domain);

}  // namespace vk::net
