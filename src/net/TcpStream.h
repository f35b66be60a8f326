#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/EventPump.h"

namespace vk::net {

// A TCP connection for request-reply protocols: every wait has a time-out and
// keeps the owner's event pump running, so a silent peer never hangs the
// program and a window stays responsive.
class TcpStream {
public:
    enum class Status { Ok, TimedOut, Closed, Failed, TooLong, NotResolved };

    TcpStream() = default;
    explicit TcpStream(int fd) : fd_(fd) {}
    ~TcpStream();
    TcpStream(TcpStream&& other) noexcept;
    TcpStream& operator=(TcpStream&& other) noexcept;
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;

    // Resolves host (name, IPv4 or IPv6 literal) off the caller's thread and
    // connects to the first address that answers.
    static TcpStream connect(const std::string& host, std::uint16_t port, std::chrono::milliseconds timeout,
                             platform::EventPump* pump, Status& status);
    // Connects to a numeric address.
    static TcpStream connectNumeric(const std::string& address, std::uint16_t port, std::chrono::milliseconds timeout,
                                    platform::EventPump* pump, Status& status);

    bool isOpen() const { return fd_ >= 0; }
    void close();
    // Half-closes the sending side, so the peer sees the end of the data.
    void shutdownSend();

    Status writeAll(std::string_view bytes, std::chrono::milliseconds timeout);
    // One line without its CR LF (or LF); longer than maxLength is TooLong.
    Status readLine(std::string& line, std::size_t maxLength, std::chrono::milliseconds timeout);
    // Up to maxBytes; Closed at the end of the stream.
    Status readSome(std::string& bytes, std::size_t maxBytes, std::chrono::milliseconds timeout);

    // Numeric addresses of both ends ("127.0.0.1", "::1").
    std::string localAddress() const;
    std::string peerAddress() const;
    bool isIpv6() const;

    void setPump(platform::EventPump* pump) { pump_ = pump; }
    int fd() const { return fd_; }

private:
    bool waitFor(short events, std::chrono::milliseconds timeout);
    // From the socket only, past what readLine has buffered.
    Status receive(std::string& bytes, std::size_t maxBytes, std::chrono::milliseconds timeout);

    int fd_ = -1;
    platform::EventPump* pump_ = nullptr;
    std::string buffer_;
};

// A listening socket for the server's data connection in active mode.
class TcpListener {
public:
    TcpListener() = default;
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    // Listens on an ephemeral port of a numeric local address.
    bool listen(const std::string& address);
    std::uint16_t port() const { return port_; }
    // The first connection from expectedPeer (numeric); others are refused.
    TcpStream accept(const std::string& expectedPeer, std::chrono::milliseconds timeout, platform::EventPump* pump,
                     TcpStream::Status& status);

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace vk::net
