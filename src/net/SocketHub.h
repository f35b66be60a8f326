#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/EventPump.h"

namespace vk::net {

class SocketMaster;

// One resolved address of a host: family and the raw sockaddr bytes.
struct ResolvedAddress {
    int family = 0;
    std::string sockaddr;
};

// What the socket objects share: the registry of live sockets by descriptor,
// the accept registry, and host look-ups that run on a helper thread and
// report back here. Everything else happens on the thread that calls
// processEvents.
class SocketHub {
public:
    static SocketHub& instance();

    // Waits at most timeoutMs for readiness and delivers the events that are
    // due; handlers may call it again while they wait.
    void processEvents(int timeoutMs);
    std::size_t socketCount() const { return sockets_.size(); }

    void registerSocket(int fd, SocketMaster* owner);
    void unregisterSocket(int fd);

    // Accepted connections waiting for an Accept call during ConnectionRequest.
    void addPendingAccept(int fd) { pendingAccepts_.push_back(fd); }
    bool takePendingAccept(int fd);

    // Starts resolving host; the owner's resolved() runs from processEvents.
    long startLookup(const std::string& host, SocketMaster* owner);
    void cancelLookup(long handle);

    // Where a socket error nobody cancelled is shown (text, title); unset,
    // nothing is shown.
    void setErrorDisplay(std::function<void(const std::string&, const std::string&)> display) {
        errorDisplay_ = std::move(display);
    }
    void displayError(const std::string& text, const std::string& title) const {
        if (errorDisplay_) errorDisplay_(text, title);
    }

    struct LookupQueue;

private:
    SocketHub();
    void deliverLookups();

    struct Entry {
        SocketMaster* owner;
        std::uint64_t serial;
    };
    std::map<int, Entry> sockets_;
    std::uint64_t nextSerial_ = 1;
    std::vector<int> pendingAccepts_;
    std::map<long, SocketMaster*> lookups_;
    long nextLookup_ = 1;
    std::shared_ptr<LookupQueue> queue_;
    int depth_ = 0;
    std::function<void(const std::string&, const std::string&)> errorDisplay_;
};

// An event pump that also delivers socket events: the given pump first, then
// the sockets' due events.
class SocketEventPump final : public platform::EventPump {
public:
    explicit SocketEventPump(platform::EventPump* inner = nullptr) : inner_(inner) {}
    void pump() override {
        if (inner_) inner_->pump();
        SocketHub::instance().processEvents(0);
    }

private:
    platform::EventPump* inner_;
};

}  // namespace vk::net
