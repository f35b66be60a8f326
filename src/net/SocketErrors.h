#pragma once

#include <string>

namespace vk::net {

// Error numbers the socket object raises from its synchronous checks.
inline constexpr long kErrInvalidState = 40020;
inline constexpr long kErrArgumentRange = 40014;
inline constexpr long kErrWrongProtocolOrState = 40006;
inline constexpr long kErrUnsupportedType = 40018;
inline constexpr long kErrInvalidArgument = 10022;

// Sockets-library numbers used by name elsewhere.
inline constexpr long kWsaWouldBlock = 10035;
inline constexpr long kWsaConnectionRefused = 10061;
inline constexpr long kWsaHostNotFound = 11001;

// The text of an error number the socket object raises or reports
// ("Unknown error." for numbers outside the table).
std::string socketErrorText(long number);

// The sockets-library number for an errno value, and for a getaddrinfo result.
long wsaErrorFromErrno(int error);
long wsaErrorFromResolver(int gaiError);

}  // namespace vk::net
