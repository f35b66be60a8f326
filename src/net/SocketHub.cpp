#include "net/SocketHub.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>

#include "net/SocketErrors.h"
#include "net/SocketMaster.h"

namespace vk::net {

struct SocketHub::LookupQueue {
    struct Answer {
        long handle;
        long error;
        std::vector<ResolvedAddress> addresses;
    };
    std::mutex mutex;
    std::vector<Answer> answers;
    int wakeRead = -1;
    int wakeWrite = -1;
    ~LookupQueue() {
        if (wakeRead >= 0) ::close(wakeRead);
        if (wakeWrite >= 0) ::close(wakeWrite);
    }
};

namespace {
constexpr int kMaxNesting = 8;
}

SocketHub& SocketHub::instance() {
    static SocketHub hub;
    return hub;
}

SocketHub::SocketHub() : queue_(std::make_shared<LookupQueue>()) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        queue_->wakeRead = fds[0];
        queue_->wakeWrite = fds[1];
    }
}

void SocketHub::registerSocket(int fd, SocketMaster* owner) { sockets_[fd] = Entry{owner, nextSerial_++}; }

void SocketHub::unregisterSocket(int fd) { sockets_.erase(fd); }

bool SocketHub::takePendingAccept(int fd) {
    auto it = std::find(pendingAccepts_.begin(), pendingAccepts_.end(), fd);
    if (it == pendingAccepts_.end()) return false;
    pendingAccepts_.erase(it);
    return true;
}

long SocketHub::startLookup(const std::string& host, SocketMaster* owner) {
    long handle = nextLookup_++;
    lookups_[handle] = owner;
    std::shared_ptr<LookupQueue> queue = queue_;
    // getaddrinfo blocks; the answer comes back through the wake pipe.
    std::thread([queue, handle, host] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_ADDRCONFIG;
        addrinfo* list = nullptr;
        int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &list);
        LookupQueue::Answer answer{handle, 0, {}};
        if (rc != 0) {
            answer.error = wsaErrorFromResolver(rc);
        } else {
            for (addrinfo* ai = list; ai; ai = ai->ai_next) {
                if (ai->ai_family != AF_INET && ai->ai_family != AF_INET6) continue;
                answer.addresses.push_back(
                    {ai->ai_family, std::string(reinterpret_cast<const char*>(ai->ai_addr), ai->ai_addrlen)});
            }
            ::freeaddrinfo(list);
            if (answer.addresses.empty()) answer.error = 11004;
        }
        std::lock_guard<std::mutex> lock(queue->mutex);
        queue->answers.push_back(std::move(answer));
        char byte = 1;
        [[maybe_unused]] ssize_t n = ::write(queue->wakeWrite, &byte, 1);
    }).detach();
    return handle;
}

void SocketHub::cancelLookup(long handle) { lookups_.erase(handle); }

void SocketHub::deliverLookups() {
    char drain[64];
    while (::read(queue_->wakeRead, drain, sizeof drain) > 0) {
    }
    std::vector<LookupQueue::Answer> answers;
    {
        std::lock_guard<std::mutex> lock(queue_->mutex);
        answers.swap(queue_->answers);
    }
    for (auto& answer : answers) {
        auto it = lookups_.find(answer.handle);
        if (it == lookups_.end()) continue;
        SocketMaster* owner = it->second;
        lookups_.erase(it);
        owner->resolved(answer.handle, answer.error, answer.addresses);
    }
}

void SocketHub::processEvents(int timeoutMs) {
    // Handlers may wait for more events (as a message loop allows), but not
    // without end.
    if (depth_ >= kMaxNesting) {
        if (timeoutMs > 0) ::poll(nullptr, 0, timeoutMs);
        return;
    }
    ++depth_;
    std::vector<pollfd> fds;
    std::vector<std::pair<int, std::uint64_t>> owners;
    fds.push_back({queue_->wakeRead, POLLIN, 0});
    owners.emplace_back(-1, 0);
    for (auto& [fd, entry] : sockets_) {
        short interest = entry.owner->pollInterest();
        // A socket that wants nothing now is left out (poll ignores negative
        // descriptors), so a hang-up it cannot take yet does not spin the loop.
        fds.push_back({interest ? fd : -1, interest, 0});
        owners.emplace_back(fd, entry.serial);
    }
    int ready = ::poll(fds.data(), fds.size(), timeoutMs);
    if (ready > 0) {
        if (fds[0].revents) deliverLookups();
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            auto it = sockets_.find(owners[i].first);
            // A handler may have closed or replaced the socket meanwhile.
            if (it == sockets_.end() || it->second.serial != owners[i].second) continue;
            it->second.owner->ready(fds[i].revents);
        }
    }
    --depth_;
}

}  // namespace vk::net
