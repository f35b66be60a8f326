#pragma once

#include <string>

namespace vk::net {

// The mail client's events, in their declaration order.
struct SendMailEvents {
    virtual ~SendMailEvents() = default;
    virtual void sendSuccesful() {}
    virtual void sendFailed(const std::string& /*explanation*/) {}
    virtual void status(const std::string& /*status*/) {}
    virtual void progress(long /*percentComplete*/) {}
};

}  // namespace vk::net
