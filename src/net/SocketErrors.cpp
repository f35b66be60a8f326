#include "net/SocketErrors.h"

#include <cerrno>
#include <netdb.h>

namespace vk::net {

std::string socketErrorText(long number) {
    switch (number) {
        case kErrInvalidState: return "Invalid operation at current state";
        case kErrArgumentRange:
            return "The argument passed to a function was not in the correct format or in the specified range.";
        case kErrWrongProtocolOrState:
            return "Wrong protocol or connection state for the requested transaction or request";
        case kErrUnsupportedType: return "Unsupported variant type.";
        case 7: return "Out of memory";
        case 10004: return "Interrupted function call.";
        case 10013: return "Permission denied.";
        case 10014: return "Bad address.";
        case 10022: return "Invalid argument.";
        case 10024: return "Too many open files.";
        case 10035: return "Resource temporarily unavailable.";
        case 10036: return "Operation now in progress.";
        case 10037: return "Operation already in progress.";
        case 10038: return "Socket operation on nonsocket.";
        case 10039: return "Destination address required.";
        case 10040: return "Message too long.";
        case 10041: return "Protocol wrong type for socket.";
        case 10042: return "Bad protocol option.";
        case 10043: return "Protocol not supported.";
        case 10044: return "Socket type not supported.";
        case 10045: return "Operation not supported.";
        case 10046: return "Protocol family not supported.";
        case 10047: return "Address family not supported by protocol family.";
        case 10048: return "Address already in use.";
        case 10049: return "Cannot assign requested address.";
        case 10050: return "Network is down.";
        case 10051: return "Network is unreachable.";
        case 10052: return "Network dropped connection on reset.";
        case 10053: return "Software caused connection abort.";
        case 10054: return "Connection reset by peer.";
        case 10055: return "No buffer space available.";
        case 10056: return "Socket is already connected.";
        case 10057: return "Socket is not connected.";
        case 10058: return "Cannot send after socket shutdown.";
        case 10060: return "Connection timed out.";
        case 10061: return "Connection refused.";
        case 10065: return "No route to host.";
        case 10067: return "Too many processes.";
        case 10091: return "Network subsystem is unavailable.";
        case 10092: return "Winsock.dll version out of range.";
        case 10093: return "Successful WSAStartup not yet performed.";
        case 11001: return "Host not found.";
        case 11002: return "Nonauthoritative host not found.";
        case 11003: return "This is a nonrecoverable error.";
        case 11004: return "Valid name, no data record of requested type.";
        default: return "Unknown error.";
    }
}

long wsaErrorFromErrno(int error) {
    switch (error) {
        case EINTR: return 10004;
        case EACCES:
        case EPERM: return 10013;
        case EFAULT: return 10014;
        case EINVAL: return 10022;
        case EMFILE:
        case ENFILE: return 10024;
        case EAGAIN: return 10035;
        case EINPROGRESS: return 10036;
        case EALREADY: return 10037;
        case ENOTSOCK:
        case EBADF: return 10038;
        case EDESTADDRREQ: return 10039;
        case EMSGSIZE: return 10040;
        case EPROTOTYPE: return 10041;
        case ENOPROTOOPT: return 10042;
        case EPROTONOSUPPORT: return 10043;
        case ESOCKTNOSUPPORT: return 10044;
        case EOPNOTSUPP: return 10045;
        case EPFNOSUPPORT: return 10046;
        case EAFNOSUPPORT: return 10047;
        case EADDRINUSE: return 10048;
        case EADDRNOTAVAIL: return 10049;
        case ENETDOWN: return 10050;
        case ENETUNREACH: return 10051;
        case ENETRESET: return 10052;
        case ECONNABORTED: return 10053;
        case ECONNRESET:
        case EPIPE: return 10054;
        case ENOBUFS:
        case ENOMEM: return 10055;
        case EISCONN: return 10056;
        case ENOTCONN: return 10057;
        case ESHUTDOWN: return 10058;
        case ETIMEDOUT: return 10060;
        case ECONNREFUSED: return 10061;
        case EHOSTUNREACH:
        case EHOSTDOWN: return 10065;
        default: return 10091;
    }
}

long wsaErrorFromResolver(int gaiError) {
    switch (gaiError) {
        case EAI_NONAME: return 11001;
        case EAI_AGAIN: return 11002;
        case EAI_FAIL: return 11003;
#ifdef EAI_NODATA
        case EAI_NODATA: return 11004;
#endif
        case EAI_ADDRFAMILY: return 11004;
        case EAI_MEMORY: return 10055;
        case EAI_SYSTEM: return wsaErrorFromErrno(errno);
        default: return 11003;
    }
}

}  // namespace vk::net
