#pragma once

#include <cstdint>
#include <string>

namespace vk::net {

// The error numbers the FTP client reports, with the numbering of the Windows
// Internet functions whose interface it keeps.
inline constexpr std::int32_t kFtpErrFileNotFound = 2;
inline constexpr std::int32_t kFtpErrNoMoreFiles = 18;
inline constexpr std::int32_t kFtpErrTimeout = 12002;
// The server refused: the message is the server's own reply.
inline constexpr std::int32_t kFtpErrExtended = 12003;
inline constexpr std::int32_t kFtpErrNameNotResolved = 12007;
inline constexpr std::int32_t kFtpErrInvalidHandleState = 12019;
inline constexpr std::int32_t kFtpErrCannotConnect = 12029;
inline constexpr std::int32_t kFtpErrConnectionAborted = 12030;
inline constexpr std::int32_t kFtpErrConnectionReset = 12031;
inline constexpr std::int32_t kFtpErrProtocol = 12111;
inline constexpr std::int32_t kFtpErrFileAccess = 5;
inline constexpr std::int32_t kFtpErrInvalidHandle = 6;

// The message text of an error number.
std::string ftpErrorText(std::int32_t number);

}  // namespace vk::net
