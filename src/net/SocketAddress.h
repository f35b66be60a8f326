#pragma once

#include <string>

#include "net/SocketHub.h"

namespace vk::net {

// A numeric IPv4 or IPv6 address as a resolved address with the given port;
// false when text is not such an address.
bool numericAddress(const std::string& text, long port, ResolvedAddress& out);

// The text form and port of a sockaddr held as bytes.
std::string addressText(const ResolvedAddress& address);
long addressPort(const ResolvedAddress& address);
void setAddressPort(ResolvedAddress& address, long port);

// The peer or local address of a socket ({} when unknown).
ResolvedAddress peerAddress(int fd);
ResolvedAddress localAddress(int fd);

}  // namespace vk::net
