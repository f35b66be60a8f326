#include "net/SocketMaster.h"

#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "net/SocketAddress.h"
#include "net/SocketErrors.h"
#include "platform/RuntimeError.h"

namespace vk::net {
namespace {

constexpr std::size_t kUdpMessageSize = 65507;

[[noreturn]] void raise(long number, const char* operation) {
    throw platform::RuntimeError(number, socketErrorText(number), std::string("CSocketMaster.") + operation);
}

// A port given as any value: numbers as they are, text when it is a whole
// decimal number.
std::optional<long> numericPort(const SocketValue& value) {
    struct Visitor {
        std::optional<long> operator()(std::monostate) const { return std::nullopt; }
        std::optional<long> operator()(std::uint8_t v) const { return v; }
        std::optional<long> operator()(std::int16_t v) const { return v; }
        std::optional<long> operator()(std::int32_t v) const { return v; }
        std::optional<long> operator()(float v) const { return std::lround(v); }
        std::optional<long> operator()(double v) const {
            if (!std::isfinite(v) || std::fabs(v) > 1e9) return -1;
            return std::lround(v);
        }
        std::optional<long> operator()(Currency v) const { return static_cast<long>(v.scaled / 10000); }
        std::optional<long> operator()(DateValue) const { return std::nullopt; }
        std::optional<long> operator()(const std::string& v) const {
            std::size_t start = v.find_first_not_of(' ');
            std::size_t end = v.find_last_not_of(' ');
            if (start == std::string::npos) return std::nullopt;
            std::string digits = v.substr(start, end - start + 1);
            if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
                return std::nullopt;
            return std::strtol(digits.c_str(), nullptr, 10);
        }
        std::optional<long> operator()(const std::vector<std::uint8_t>&) const { return std::nullopt; }
    };
    return std::visit(Visitor{}, value);
}

}  // namespace

SocketMaster::SocketMaster(SocketMasterEvents* events) : events_(events) {}

SocketMaster::~SocketMaster() {
    events_ = nullptr;
    closeDescriptor();
}

void SocketMaster::setRemotePort(long port) {
    if (protocol_ != kSckTCPProtocol || state_ != kSckClosed) raise(kErrInvalidState, "RemotePort");
    if (port < 0 || port > 65535) raise(kErrArgumentRange, "RemotePort");
    remotePort_ = port;
}

void SocketMaster::setRemoteHost(std::string host) {
    if (protocol_ != kSckTCPProtocol || state_ != kSckClosed) raise(kErrInvalidState, "RemoteHost");
    remoteHost_ = std::move(host);
}

void SocketMaster::setLocalPort(long port) {
    if (state_ != kSckClosed) raise(kErrInvalidState, "LocalPort");
    if (port < 0 || port > 65535) raise(kErrArgumentRange, "LocalPort");
    localPort_ = port;
}

void SocketMaster::setProtocol(int protocol) {
    if (state_ != kSckClosed) raise(kErrInvalidState, "Protocol");
    if (protocol != kSckTCPProtocol && protocol != kSckUDPProtocol) raise(kErrArgumentRange, "Protocol");
    if (protocol != protocol_) closeDescriptor();
    protocol_ = protocol;
}

std::string SocketMaster::localHostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return {};
    return name;
}

std::string SocketMaster::localIP() {
    std::string host = localHostName();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) return {};
    std::string text;
    if (list) text = addressText({list->ai_family, std::string(reinterpret_cast<const char*>(list->ai_addr),
                                                                list->ai_addrlen)});
    ::freeaddrinfo(list);
    return text;
}

bool SocketMaster::socketExists(int family) {
    if (fd_ >= 0 && family_ == family) return true;
    if (fd_ >= 0) closeDescriptor();
    int type = protocol_ == kSckTCPProtocol ? SOCK_STREAM : SOCK_DGRAM;
    int fd = ::socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        raiseSocketError(wsaErrorFromErrno(errno), "CSocketMaster.SocketExists");
        return false;
    }
    fd_ = fd;
    family_ = family;
    if (protocol_ == kSckTCPProtocol) {
        int size = 0;
        socklen_t length = sizeof size;
        if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, &length) == 0 && size > 0) receiveChunk_ = size;
        length = sizeof size;
        if (::getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, &length) == 0 && size > 0) sendChunk_ = size;
    } else {
        int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        receiveChunk_ = sendChunk_ = kUdpMessageSize;
    }
    SocketHub::instance().registerSocket(fd, this);
    return true;
}

void SocketMaster::closeDescriptor() {
    if (lookupHandle_) SocketHub::instance().cancelLookup(lookupHandle_);
    lookupHandle_ = 0;
    if (tls_) {
        if (!tlsHandshaking_) tls_->shutdown();
        tls_.reset();
    }
    tlsHandshaking_ = tlsWantsWrite_ = false;
    if (fd_ >= 0) {
        SocketHub::instance().unregisterSocket(fd_);
        ::close(fd_);
    }
    fd_ = -1;
    family_ = 0;
    peerClosed_ = false;
    sendBuffer_.clear();
    receiveBuffer_.clear();
    addresses_.clear();
    nextAddress_ = 0;
}

void SocketMaster::closeSck() {
    if (fd_ < 0 && !lookupHandle_) {
        state_ = kSckClosed;
        return;
    }
    state_ = kSckClosing;
    closeDescriptor();
    state_ = kSckClosed;
}

void SocketMaster::connect(std::optional<std::string> remoteHost, std::optional<SocketValue> remotePort) {
    if (state_ != kSckClosed) raise(kErrInvalidState, "Connect");
    if (remoteHost) remoteHost_ = *remoteHost;
    if (remotePort) {
        std::optional<long> port = numericPort(*remotePort);
        if (!port) raise(kErrUnsupportedType, "Connect");
        if (*port < 1 || *port > 65535) raise(kErrArgumentRange, "Connect");
        remotePort_ = *port;
    }
    ResolvedAddress literal;
    bool isLiteral = numericAddress(remoteHost_, remotePort_, literal);
    if (protocol_ == kSckUDPProtocol) {
        if (!socketExists(isLiteral ? literal.family : AF_INET)) return;
        state_ = kSckOpen;
        return;
    }
    addresses_.clear();
    nextAddress_ = 0;
    if (isLiteral) {
        addresses_.push_back(literal);
        connectToNext();
        return;
    }
    state_ = kSckResolvingHost;
    lookupHandle_ = SocketHub::instance().startLookup(remoteHost_, this);
}

void SocketMaster::resolved(long handle, long error, const std::vector<ResolvedAddress>& addresses) {
    if (handle != lookupHandle_ || state_ != kSckResolvingHost) return;
    lookupHandle_ = 0;
    if (error) {
        raiseSocketError(error, "CSocketMaster.PostGetHostEvent");
        return;
    }
    state_ = kSckHostResolved;
    addresses_ = addresses;
    for (auto& a : addresses_) setAddressPort(a, remotePort_);
    nextAddress_ = 0;
    connectToNext();
}

void SocketMaster::connectToNext() {
    ResolvedAddress target = addresses_[nextAddress_++];
    if (fd_ >= 0) {
        SocketHub::instance().unregisterSocket(fd_);
        ::close(fd_);
        fd_ = -1;
    }
    if (!socketExists(target.family)) return;
    if (localPort_ != 0) {
        ResolvedAddress any;
        numericAddress(target.family == AF_INET6 ? "::" : "0.0.0.0", localPort_, any);
        if (::bind(fd_, reinterpret_cast<const sockaddr*>(any.sockaddr.data()), any.sockaddr.size()) != 0) {
            raiseSocketError(wsaErrorFromErrno(errno), "CSocketMaster.ConnectToIP");
            return;
        }
    }
    state_ = kSckConnecting;
    remoteHostIP_ = addressText(target);
    if (::connect(fd_, reinterpret_cast<const sockaddr*>(target.sockaddr.data()), target.sockaddr.size()) == 0 ||
        errno == EINPROGRESS) {
        return;  // the connect notification follows
    }
    long error = wsaErrorFromErrno(errno);
    if (nextAddress_ < addresses_.size()) {
        connectToNext();
        return;
    }
    raiseSocketError(error, "CSocketMaster.ConnectToIP");
}

short SocketMaster::pollInterest() const {
    if (fd_ < 0) return 0;
    switch (state_) {
        case kSckConnecting: return POLLOUT;
        case kSckListening: return POLLIN;
        case kSckOpen: return receiveBuffer_.size() < receiveLimit_ ? POLLIN : 0;
        case kSckConnected: {
            if (tlsHandshaking_) return tlsWantsWrite_ ? POLLOUT : POLLIN;
            short interest = 0;
            if (!peerClosed_ && receiveBuffer_.size() < receiveLimit_) interest |= POLLIN;
            if (!sendBuffer_.empty() || tlsWantsWrite_) interest |= POLLOUT;
            return interest;
        }
        default: return 0;
    }
}

void SocketMaster::ready(short revents) {
    switch (state_) {
        case kSckConnecting: onConnectReady(); return;
        case kSckListening: onAcceptable(); return;
        case kSckOpen: onReadable(); return;
        case kSckConnected: break;
        default: return;
    }
    if (tlsHandshaking_) {
        continueHandshake();
        return;
    }
    short interest = pollInterest();
    if ((interest & POLLIN) && (revents & (POLLIN | POLLHUP | POLLERR))) onReadable();
    if (state_ == kSckConnected && (revents & POLLOUT) && !sendBuffer_.empty()) sendBufferedData();
    if (state_ == kSckConnected && (revents & POLLERR) && !(interest & POLLIN)) {
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error) raiseSocketError(wsaErrorFromErrno(error), "CSocketMaster.PostSocket");
    }
}

void SocketMaster::onConnectReady() {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error) {
        if (nextAddress_ < addresses_.size()) {
            connectToNext();
            return;
        }
        raiseSocketError(wsaErrorFromErrno(error), "CSocketMaster.PostSocket");
        return;
    }
    ResolvedAddress peer = peerAddress(fd_);
    if (peer.family == 0) return;  // a stale readiness: still connecting
    remoteHostIP_ = addressText(peer);
    remotePort_ = addressPort(peer);
    state_ = kSckConnected;
    if (events_) events_->connect();
}

void SocketMaster::onReadable() {
    if (protocol_ == kSckUDPProtocol) {
        std::string datagram(receiveChunk_, '\0');
        sockaddr_storage from{};
        socklen_t length = sizeof from;
        ssize_t n = ::recvfrom(fd_, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0) {
            if (errno != EAGAIN) raiseSocketError(wsaErrorFromErrno(errno), "CSocketMaster.PostSocket");
            return;
        }
        ResolvedAddress sender{from.ss_family, std::string(reinterpret_cast<const char*>(&from), length)};
        remoteHostIP_ = addressText(sender);
        remotePort_ = addressPort(sender);
        receiveBuffer_.append(datagram.data(), static_cast<std::size_t>(n));
        if (events_) events_->dataArrival(static_cast<long>(n));
        return;
    }
    std::size_t room = receiveLimit_ > receiveBuffer_.size() ? receiveLimit_ - receiveBuffer_.size() : 0;
    std::size_t want = std::min(receiveChunk_, room);
    if (want == 0) return;
    std::size_t before = receiveBuffer_.size();
    bool closed = false;
    if (tls_) {
        std::string chunk(want, '\0');
        std::size_t got = 0;
        // Decrypted bytes may wait inside the session without the socket
        // showing readiness, so take what it holds now.
        while (receiveBuffer_.size() - before < want) {
            TlsSession::Io io = tls_->read(chunk.data(), want - (receiveBuffer_.size() - before), got);
            if (io == TlsSession::Io::Done) {
                receiveBuffer_.append(chunk.data(), got);
                if (!tls_->hasBufferedInput()) break;
                continue;
            }
            if (io == TlsSession::Io::WantWrite) tlsWantsWrite_ = true;
            if (io == TlsSession::Io::Closed) closed = true;
            if (io == TlsSession::Io::Failed) {
                raiseSocketError(10054, "CSocketMaster.PostSocket", tls_->lastError());
                return;
            }
            break;
        }
    } else {
        std::string chunk(want, '\0');
        ssize_t n = ::recv(fd_, chunk.data(), want, 0);
        if (n > 0) {
            receiveBuffer_.append(chunk.data(), static_cast<std::size_t>(n));
        } else if (n == 0) {
            closed = true;
        } else if (errno != EAGAIN && errno != EINTR) {
            raiseSocketError(wsaErrorFromErrno(errno), "CSocketMaster.PostSocket");
            return;
        }
    }
    if (receiveBuffer_.size() > before && events_) events_->dataArrival(static_cast<long>(receiveBuffer_.size()));
    if (closed && state_ == kSckConnected) {
        peerClosed_ = true;
        state_ = kSckClosing;
        if (events_) events_->closeSck();
    }
}

void SocketMaster::onAcceptable() {
    int accepted = ::accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (accepted < 0) {
        if (errno != EAGAIN && errno != ECONNABORTED)
            raiseSocketError(wsaErrorFromErrno(errno), "CSocketMaster.PostSocket");
        return;
    }
    SocketHub& hub = SocketHub::instance();
    hub.addPendingAccept(accepted);
    std::string host = remoteHost_, hostIP = remoteHostIP_;
    long port = remotePort_;
    ResolvedAddress peer = peerAddress(accepted);
    remoteHostIP_ = remoteHost_ = addressText(peer);
    remotePort_ = addressPort(peer);
    if (events_) events_->connectionRequest(accepted);
    remoteHost_ = host;
    remoteHostIP_ = hostIP;
    remotePort_ = port;
    if (hub.takePendingAccept(accepted)) ::close(accepted);
}

void SocketMaster::accept(long requestID) {
    if (state_ != kSckClosed) raise(kErrInvalidState, "Accept");
    int fd = static_cast<int>(requestID);
    if (!SocketHub::instance().takePendingAccept(fd))
        throw platform::RuntimeError(kErrInvalidArgument, "Invalid argument", "CSocketMaster.Accept");
    closeDescriptor();
    protocol_ = kSckTCPProtocol;
    fd_ = fd;
    ResolvedAddress peer = peerAddress(fd);
    family_ = peer.family;
    remoteHostIP_ = remoteHost_ = addressText(peer);
    remotePort_ = addressPort(peer);
    int size = 0;
    socklen_t length = sizeof size;
    if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, &length) == 0 && size > 0) receiveChunk_ = size;
    length = sizeof size;
    if (::getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, &length) == 0 && size > 0) sendChunk_ = size;
    SocketHub::instance().registerSocket(fd, this);
    state_ = kSckConnected;
}

void SocketMaster::bind(std::optional<long> localPort, std::optional<std::string> localIP) {
    if (state_ != kSckClosed) raise(kErrInvalidState, "Bind");
    if (localPort) {
        if (*localPort < 0 || *localPort > 65535) raise(kErrArgumentRange, "Bind");
        localPort_ = *localPort;
    }
    ResolvedAddress address;
    std::string ip = localIP.value_or("");
    if (ip.empty()) ip = "0.0.0.0";
    if (!numericAddress(ip, localPort_, address)) raise(kErrArgumentRange, "Bind");
    if (!socketExists(address.family)) return;
    int on = 1;
    if (protocol_ == kSckTCPProtocol) ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(address.sockaddr.data()), address.sockaddr.size()) != 0) {
        long error = wsaErrorFromErrno(errno);
        throw platform::RuntimeError(error, socketErrorText(error), "CSocketMaster.Bind");
    }
    localPort_ = addressPort(localAddress(fd_));
    if (protocol_ == kSckUDPProtocol) state_ = kSckOpen;
}

void SocketMaster::listen() {
    if (state_ != kSckClosed && state_ != kSckOpen) raise(kErrInvalidState, "Listen");
    if (fd_ < 0) bind();
    if (fd_ < 0) return;
    if (::listen(fd_, 5) != 0) {
        long error = wsaErrorFromErrno(errno);
        throw platform::RuntimeError(error, socketErrorText(error), "CSocketMaster.Listen");
    }
    localPort_ = addressPort(localAddress(fd_));
    state_ = kSckListening;
}

void SocketMaster::sendData(const SocketValue& data) {
    std::string bytes;
    if (protocol_ == kSckTCPProtocol) {
        if (state_ != kSckConnected) raise(kErrWrongProtocolOrState, "SendData");
        if (!socketBytesOf(data, bytes)) raise(kErrUnsupportedType, "SendData");
        sendBuffer_ += bytes;
        if (!tlsHandshaking_) sendBufferedData();
        return;
    }
    if (!socketBytesOf(data, bytes)) raise(kErrUnsupportedType, "SendData");
    ResolvedAddress target;
    if (!numericAddress(remoteHost_, remotePort_, target)) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* list = nullptr;
        int rc = ::getaddrinfo(remoteHost_.c_str(), nullptr, &hints, &list);
        if (rc != 0 || !list) {
            raiseSocketError(rc ? wsaErrorFromResolver(rc) : kWsaHostNotFound, "CSocketMaster.SendData");
            return;
        }
        target = {list->ai_family, std::string(reinterpret_cast<const char*>(list->ai_addr), list->ai_addrlen)};
        ::freeaddrinfo(list);
        setAddressPort(target, remotePort_);
    }
    if (!socketExists(target.family)) return;
    if (state_ == kSckClosed) state_ = kSckOpen;
    ssize_t n = ::sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL,
                         reinterpret_cast<const sockaddr*>(target.sockaddr.data()), target.sockaddr.size());
    if (n < 0) {
        raiseSocketError(wsaErrorFromErrno(errno), "CSocketMaster.SendData");
        return;
    }
    if (events_) {
        events_->sendProgress(static_cast<long>(n), 0);
        events_->sendComplete();
    }
}

void SocketMaster::sendBufferedData() {
    long sent = 0;
    while (!sendBuffer_.empty()) {
        std::size_t size = std::min(sendChunk_, sendBuffer_.size());
        std::size_t done = 0;
        bool wouldBlock = false;
        if (tls_) {
            TlsSession::Io io = tls_->write(sendBuffer_.data(), size, done);
            tlsWantsWrite_ = io == TlsSession::Io::WantWrite;
            if (io == TlsSession::Io::WantRead || io == TlsSession::Io::WantWrite) wouldBlock = true;
            else if (io != TlsSession::Io::Done) {
                raiseSocketError(10054, "CSocketMaster.SendBufferedData", tls_->lastError());
                return;
            }
        } else {
            ssize_t n = ::send(fd_, sendBuffer_.data(), size, MSG_NOSIGNAL);
            if (n >= 0) done = static_cast<std::size_t>(n);
            else if (errno == EAGAIN || errno == EINTR) wouldBlock = true;
            else {
                raiseSocketError(wsaErrorFromErrno(errno), "CSocketMaster.SendBufferedData");
                return;
            }
        }
        if (wouldBlock) {
            if (events_) events_->sendProgress(sent, static_cast<long>(sendBuffer_.size()));
            return;
        }
        sendBuffer_.erase(0, done);
        sent += static_cast<long>(done);
    }
    if (events_) {
        events_->sendProgress(sent, 0);
        events_->sendComplete();
    }
}

SocketValue SocketMaster::takeData(SocketDataType type, std::optional<long> maxLen, bool remove,
                                   const char* source) {
    bool stateOk = protocol_ == kSckTCPProtocol ? state_ == kSckConnected : state_ == kSckOpen;
    if (!stateOk) raise(kErrWrongProtocolOrState, source);
    if (maxLen && *maxLen < 0) raise(kErrArgumentRange, source);
    std::size_t count = receiveBuffer_.size();
    if (maxLen) count = std::min(count, static_cast<std::size_t>(*maxLen));
    if (std::size_t size = socketTypeSize(type)) count = std::min(count, size);
    SocketValue value = socketValueFrom(std::string_view(receiveBuffer_).substr(0, count), type);
    if (remove) receiveBuffer_.erase(0, count);
    return value;
}

SocketValue SocketMaster::getData(SocketDataType type, std::optional<long> maxLen) {
    return takeData(type, maxLen, true, "GetData");
}

SocketValue SocketMaster::peekData(SocketDataType type, std::optional<long> maxLen) {
    return takeData(type, maxLen, false, "PeekData");
}

void SocketMaster::startTls(const TlsOptions& options) {
    if (protocol_ != kSckTCPProtocol || state_ != kSckConnected || tls_) raise(kErrWrongProtocolOrState, "StartTls");
    std::string error;
    tls_ = TlsSession::create(fd_, options, error);
    if (!tls_) {
        raiseSocketError(10045, "CSocketMaster.StartTls", error);
        return;
    }
    tlsHandshaking_ = true;
    continueHandshake();
}

void SocketMaster::continueHandshake() {
    TlsSession::Io io = tls_->handshake();
    switch (io) {
        case TlsSession::Io::Done:
            tlsHandshaking_ = tlsWantsWrite_ = false;
            if (events_) events_->tlsEstablished();
            if (state_ == kSckConnected && !sendBuffer_.empty()) sendBufferedData();
            return;
        case TlsSession::Io::WantRead: tlsWantsWrite_ = false; return;
        case TlsSession::Io::WantWrite: tlsWantsWrite_ = true; return;
        default: raiseSocketError(10053, "CSocketMaster.StartTls", tls_->lastError()); return;
    }
}

void SocketMaster::raiseSocketError(long number, const std::string& source, const std::string& description) {
    state_ = kSckError;
    std::string text = description.empty() ? socketErrorText(number) : description;
    bool cancelDisplay = false;
    if (events_) events_->error(static_cast<int>(number), text, number, source, "", 0, cancelDisplay);
    if (!cancelDisplay) SocketHub::instance().displayError(text, source);
}

}  // namespace vk::net
