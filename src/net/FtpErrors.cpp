#include "net/FtpErrors.h"

namespace vk::net {

std::string ftpErrorText(std::int32_t number) {
    switch (number) {
        case kFtpErrFileNotFound: return "The system cannot find the file specified.";
        case kFtpErrFileAccess: return "Access is denied.";
        case kFtpErrInvalidHandle: return "The handle is invalid.";
        case kFtpErrNoMoreFiles: return "There are no more files.";
        case kFtpErrTimeout: return "The operation timed out";
        case kFtpErrExtended: return "An extended error was returned from the server.";
        case kFtpErrNameNotResolved: return "The server name or address could not be resolved";
        case kFtpErrInvalidHandleState: return "The operation is invalid for the current state of the connection";
        case kFtpErrCannotConnect: return "A connection with the server could not be established";
        case kFtpErrConnectionAborted: return "The connection with the server was terminated abnormally";
        case kFtpErrConnectionReset: return "The connection with the server was reset";
        case kFtpErrProtocol: return "The FTP operation was not completed because the session was aborted";
        default: return "Unknown error.";
    }
}

}  // namespace vk::net
