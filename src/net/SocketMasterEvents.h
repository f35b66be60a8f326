#pragma once

#include <string>

namespace vk::net {

// The socket object's events, in their declaration order, and one of this
// system's own: the TLS upgrade has finished.
struct SocketMasterEvents {
    virtual ~SocketMasterEvents() = default;
    virtual void closeSck() {}
    virtual void connect() {}
    virtual void connectionRequest(long /*requestID*/) {}
    virtual void dataArrival(long /*bytesTotal*/) {}
    virtual void error(int /*number*/, const std::string& /*description*/, long /*sCode*/,
                       const std::string& /*source*/, const std::string& /*helpFile*/, long /*helpContext*/,
                       bool& /*cancelDisplay*/) {}
    virtual void sendComplete() {}
    virtual void sendProgress(long /*bytesSent*/, long /*bytesRemaining*/) {}
    virtual void tlsEstablished() {}
};

}  // namespace vk::net
