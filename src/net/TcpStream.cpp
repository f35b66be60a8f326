#include "net/TcpStream.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <thread>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace vk::net {

namespace {

using Clock = std::chrono::steady_clock;
// Slices of a wait between two pumps.
constexpr int kSliceMs = 20;

void setNonBlocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

std::string numericAddress(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
    else if (address.ss_family == AF_INET6) {
        const auto& a6 = reinterpret_cast<const sockaddr_in6&>(address);
        // An IPv4 peer reached over a dual-stack socket reads as IPv4.
        if (IN6_IS_ADDR_V4MAPPED(&a6.sin6_addr))
            ::inet_ntop(AF_INET, &a6.sin6_addr.s6_addr[12], text, sizeof text);
        else
            ::inet_ntop(AF_INET6, &a6.sin6_addr, text, sizeof text);
    }
    return text;
}

struct AddrInfoDeleter {
    void operator()(addrinfo* a) const { ::freeaddrinfo(a); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoDeleter>;

AddrInfoList resolve(const std::string& host, std::uint16_t port, int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0) return nullptr;
    return AddrInfoList(found);
}

// Waits for fd with the pump running; false on time-out.
bool pollWithPump(int fd, short events, std::chrono::milliseconds timeout, platform::EventPump* pump) {
    const auto end = Clock::now() + timeout;
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left < 0) left = 0;
        pollfd p{fd, events, 0};
        int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, kSliceMs)));
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return true;  // let the call itself report the error
        if (pump) pump->pump();
        if (left == 0) return false;
    }
}

TcpStream connectTo(const addrinfo* list, std::chrono::milliseconds timeout, platform::EventPump* pump,
                    TcpStream::Status& status) {
    status = TcpStream::Status::Failed;
    const auto end = Clock::now() + timeout;
    for (const addrinfo* a = list; a; a = a->ai_next) {
        int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) continue;
        setNonBlocking(fd);
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
            status = TcpStream::Status::Ok;
            return TcpStream(fd);
        }
        if (errno == EINPROGRESS) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (left.count() > 0 && pollWithPump(fd, POLLOUT, left, pump)) {
                int error = 0;
                socklen_t size = sizeof error;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
                if (error == 0) {
                    status = TcpStream::Status::Ok;
                    return TcpStream(fd);
                }
            } else {
                status = TcpStream::Status::TimedOut;
            }
        }
        ::close(fd);
        if (status == TcpStream::Status::TimedOut) break;
    }
    return {};
}

}  // namespace

TcpStream::~TcpStream() { close(); }

TcpStream::TcpStream(TcpStream&& other) noexcept
    : fd_(other.fd_), pump_(other.pump_), buffer_(std::move(other.buffer_)) {
    other.fd_ = -1;
}

TcpStream& TcpStream::operator=(TcpStream&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        pump_ = other.pump_;
        buffer_ = std::move(other.buffer_);
        other.fd_ = -1;
    }
    return *this;
}

void TcpStream::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    buffer_.clear();
}

void TcpStream::shutdownSend() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
}

TcpStream TcpStream::connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
                             platform::EventPump* pump, Status& status) {
    const auto end = Clock::now() + timeout;
    // getaddrinfo cannot be interrupted: it runs on its own thread, which is
    // left to finish on its own when the wait gives up.
    auto lookup = std::make_shared<std::promise<AddrInfoList>>();
    std::future<AddrInfoList> answer = lookup->get_future();
    std::thread([lookup, host, port] { lookup->set_value(resolve(host, port, AI_ADDRCONFIG)); }).detach();
    while (answer.wait_for(std::chrono::milliseconds(kSliceMs)) != std::future_status::ready) {
        if (pump) pump->pump();
        if (Clock::now() >= end) {
            status = Status::TimedOut;
            return {};
        }
    }
    AddrInfoList list = answer.get();
    if (!list) {
        status = Status::NotResolved;
        return {};
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    TcpStream s = connectTo(list.get(), std::max(left, std::chrono::milliseconds(1)), pump, status);
    s.pump_ = pump;
    return s;
}

TcpStream TcpStream::connectNumeric(const std::string& address, std::uint16_t port, std::chrono::milliseconds timeout,
                                    platform::EventPump* pump, Status& status) {
    AddrInfoList list = resolve(address, port, AI_NUMERICHOST);
    if (!list) {
        status = Status::Failed;
        return {};
    }
    TcpStream s = connectTo(list.get(), timeout, pump, status);
    s.pump_ = pump;
    return s;
}

bool TcpStream::waitFor(short events, std::chrono::milliseconds timeout) {
    return pollWithPump(fd_, events, timeout, pump_);
}

TcpStream::Status TcpStream::writeAll(std::string_view bytes, std::chrono::milliseconds timeout) {
    if (fd_ < 0) return Status::Closed;
    const auto end = Clock::now() + timeout;
    while (!bytes.empty()) {
        ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (left.count() <= 0 || !waitFor(POLLOUT, left)) return Status::TimedOut;
            continue;
        }
        return errno == EPIPE || errno == ECONNRESET ? Status::Closed : Status::Failed;
    }
    return Status::Ok;
}

TcpStream::Status TcpStream::readLine(std::string& line, std::size_t maxLength, std::chrono::milliseconds timeout) {
    const auto end = Clock::now() + timeout;
    for (;;) {
        std::size_t nl = buffer_.find('\n');
        if (nl != std::string::npos) {
            if (nl > maxLength + 1) return Status::TooLong;
            line.assign(buffer_, 0, nl);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            buffer_.erase(0, nl + 1);
            return Status::Ok;
        }
        // An endless line is refused before it can fill memory.
        if (buffer_.size() > maxLength + 1) return Status::TooLong;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        std::string more;
        Status s = receive(more, 4096, std::max(left, std::chrono::milliseconds(0)));
        if (s != Status::Ok) return s;
        buffer_ += more;
    }
}

TcpStream::Status TcpStream::readSome(std::string& bytes, std::size_t maxBytes, std::chrono::milliseconds timeout) {
    bytes.clear();
    if (!buffer_.empty()) {
        std::size_t n = std::min(maxBytes, buffer_.size());
        bytes.assign(buffer_, 0, n);
        buffer_.erase(0, n);
        return Status::Ok;
    }
    return receive(bytes, maxBytes, timeout);
}

TcpStream::Status TcpStream::receive(std::string& bytes, std::size_t maxBytes, std::chrono::milliseconds timeout) {
    if (fd_ < 0) return Status::Closed;
    const auto end = Clock::now() + timeout;
    bytes.resize(maxBytes);
    for (;;) {
        ssize_t n = ::recv(fd_, bytes.data(), maxBytes, 0);
        if (n > 0) {
            bytes.resize(static_cast<std::size_t>(n));
            return Status::Ok;
        }
        if (n == 0) {
            bytes.clear();
            return Status::Closed;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (left.count() <= 0 || !waitFor(POLLIN, left)) {
                bytes.clear();
                return Status::TimedOut;
            }
            continue;
        }
        bytes.clear();
        return errno == ECONNRESET ? Status::Closed : Status::Failed;
    }
}

std::string TcpStream::localAddress() const {
    sockaddr_storage a{};
    socklen_t size = sizeof a;
    if (fd_ < 0 || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) != 0) return {};
    return numericAddress(a);
}

std::string TcpStream::peerAddress() const {
    sockaddr_storage a{};
    socklen_t size = sizeof a;
    if (fd_ < 0 || ::getpeername(fd_, reinterpret_cast<sockaddr*>(&a), &size) != 0) return {};
    return numericAddress(a);
}

bool TcpStream::isIpv6() const { return localAddress().find(':') != std::string::npos; }

TcpListener::~TcpListener() {
    if (fd_ >= 0) ::close(fd_);
}

bool TcpListener::listen(const std::string& address) {
    AddrInfoList list = resolve(address, 0, AI_NUMERICHOST | AI_PASSIVE);
    if (!list) return false;
    int fd = ::socket(list->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    if (::bind(fd, list->ai_addr, list->ai_addrlen) != 0 || ::listen(fd, 1) != 0) {
        ::close(fd);
        return false;
    }
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
    port_ = ntohs(bound.ss_family == AF_INET ? reinterpret_cast<sockaddr_in&>(bound).sin_port
                                             : reinterpret_cast<sockaddr_in6&>(bound).sin6_port);
    setNonBlocking(fd);
    fd_ = fd;
    return true;
}

TcpStream TcpListener::accept(const std::string& expectedPeer, std::chrono::milliseconds timeout,
                              platform::EventPump* pump, TcpStream::Status& status) {
    const auto end = Clock::now() + timeout;
    while (fd_ >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0 || !pollWithPump(fd_, POLLIN, left, pump)) break;
        sockaddr_storage peer{};
        socklen_t size = sizeof peer;
        int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;
        // Data offered from anywhere but the server is not ours to take.
        if (numericAddress(peer) != expectedPeer) {
            ::close(fd);
            continue;
        }
        status = TcpStream::Status::Ok;
        TcpStream s(fd);
        s.setPump(pump);
        return s;
    }
    status = TcpStream::Status::TimedOut;
    return {};
}

}  // namespace vk::net
