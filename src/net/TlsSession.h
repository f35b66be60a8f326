#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace vk::net {

struct TlsOptions {
    // Check the server's certificate against the system's store (or
    // $SSL_CERT_FILE) and its name against hostName.
    bool verify = true;
    std::string hostName;
};

// A TLS client session over a connected non-blocking socket.
class TlsSession {
public:
    enum class Io { Done, WantRead, WantWrite, Closed, Failed };

    // nullptr with error set when the library refuses the settings.
    static std::unique_ptr<TlsSession> create(int fd, const TlsOptions& options, std::string& error);
    ~TlsSession();
    TlsSession(const TlsSession&) = delete;
    TlsSession& operator=(const TlsSession&) = delete;

    Io handshake();
    Io read(char* buffer, std::size_t size, std::size_t& got);
    Io write(const char* data, std::size_t size, std::size_t& sent);
    bool hasBufferedInput() const;
    void shutdown();

    // Why the last step failed, for the socket's Error event.
    const std::string& lastError() const { return lastError_; }
    // The protocol agreed ("TLSv1.3").
    std::string version() const;

private:
    struct Impl;
    explicit TlsSession(std::unique_ptr<Impl> impl);
    Io classify(int result, const char* step);
    std::unique_ptr<Impl> impl_;
    std::string lastError_;
};

}  // namespace vk::net
