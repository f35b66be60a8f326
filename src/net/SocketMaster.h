#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/SocketHub.h"
#include "net/SocketMasterEvents.h"
#include "net/SocketValue.h"
#include "net/TlsSession.h"

namespace vk::net {

enum SocketState : int {
    kSckClosed = 0,
    kSckOpen = 1,
    kSckListening = 2,
    kSckConnectionPending = 3,
    kSckResolvingHost = 4,
    kSckHostResolved = 5,
    kSckConnecting = 6,
    kSckConnected = 7,
    kSckClosing = 8,
    kSckError = 9,
};

enum SocketProtocol : int { kSckTCPProtocol = 0, kSckUDPProtocol = 1 };

// An event-driven TCP/UDP socket: operations return at once, outcomes arrive
// as events from SocketHub::processEvents. Synchronous checks throw
// platform::RuntimeError with the source "CSocketMaster." + operation.
class SocketMaster {
public:
    explicit SocketMaster(SocketMasterEvents* events = nullptr);
    ~SocketMaster();
    SocketMaster(const SocketMaster&) = delete;
    SocketMaster& operator=(const SocketMaster&) = delete;

    void setEvents(SocketMasterEvents* events) { events_ = events; }

    long remotePort() const { return remotePort_; }
    void setRemotePort(long port);
    const std::string& remoteHost() const { return remoteHost_; }
    void setRemoteHost(std::string host);
    const std::string& remoteHostIP() const { return remoteHostIP_; }
    long localPort() const { return localPort_; }
    void setLocalPort(long port);
    int state() const { return state_; }
    static std::string localHostName();
    static std::string localIP();
    long bytesReceived() const { return static_cast<long>(receiveBuffer_.size()); }
    int socketHandle() const { return fd_; }
    const std::string& tag() const { return tag_; }
    void setTag(std::string tag) { tag_ = std::move(tag); }
    int protocol() const { return protocol_; }
    void setProtocol(int protocol);

    void connect(std::optional<std::string> remoteHost = std::nullopt,
                 std::optional<SocketValue> remotePort = std::nullopt);
    void closeSck();
    void bind(std::optional<long> localPort = std::nullopt, std::optional<std::string> localIP = std::nullopt);
    void listen();
    void accept(long requestID);
    void sendData(const SocketValue& data);
    SocketValue getData(SocketDataType type = SocketDataType::String, std::optional<long> maxLen = std::nullopt);
    SocketValue peekData(SocketDataType type = SocketDataType::String, std::optional<long> maxLen = std::nullopt);

    // Bytes handed to sendData that the system has not taken yet.
    std::size_t bytesQueued() const { return sendBuffer_.size(); }

    // Upgrades a connected TCP socket to TLS; tlsEstablished or Error follows.
    void startTls(const TlsOptions& options);
    bool encrypted() const { return tls_ != nullptr && !tlsHandshaking_; }
    std::string tlsVersion() const { return tls_ ? tls_->version() : std::string(); }

    // The receive buffer stops taking data at this size until it is read,
    // so a peer that never stops sending cannot exhaust memory.
    void setReceiveBufferLimit(std::size_t bytes) { receiveLimit_ = bytes; }
    static constexpr std::size_t kDefaultReceiveLimit = 1 << 20;

    // Called by SocketHub.
    short pollInterest() const;
    void ready(short revents);
    void resolved(long handle, long error, const std::vector<ResolvedAddress>& addresses);

private:
    bool socketExists(int family);
    void closeDescriptor();
    void connectToNext();
    void onConnectReady();
    void onReadable();
    void onAcceptable();
    void sendBufferedData();
    void continueHandshake();
    void raiseSocketError(long number, const std::string& source, const std::string& description = {});
    SocketValue takeData(SocketDataType type, std::optional<long> maxLen, bool remove, const char* source);

    SocketMasterEvents* events_;
    int fd_ = -1;
    int family_ = 0;
    int state_ = kSckClosed;
    int protocol_ = kSckTCPProtocol;
    std::string remoteHost_;
    std::string remoteHostIP_;
    long remotePort_ = 0;
    long localPort_ = 0;
    std::string tag_;
    std::string sendBuffer_;
    std::string receiveBuffer_;
    std::size_t sendChunk_ = 8192;
    std::size_t receiveChunk_ = 8192;
    std::size_t receiveLimit_ = kDefaultReceiveLimit;
    long lookupHandle_ = 0;
    std::vector<ResolvedAddress> addresses_;
    std::size_t nextAddress_ = 0;
    std::unique_ptr<TlsSession> tls_;
    bool tlsHandshaking_ = false;
    bool tlsWantsWrite_ = false;
    bool peerClosed_ = false;
};

}  // namespace vk::net
