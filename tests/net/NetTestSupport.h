#pragma once

#include <chrono>
#include <functional>

#include "net/SocketHub.h"

namespace vk::test {

// Delivers socket events until done() or timeoutMs; done()'s last answer.
inline bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        net::SocketHub::instance().processEvents(10);
    }
    return true;
}

}  // namespace vk::test
