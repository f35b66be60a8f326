#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/BackgroundProcess.h"

namespace vk::test {

// dnsmasq answering from its own records only, on a free loopback port.
// records are dnsmasq options such as "--mx-host=example.test,mx1.example.test,10".
class DnsmasqPeer {
public:
    explicit DnsmasqPeer(const std::vector<std::string>& records);
    // Empty when it could not start (GTEST_SKIP with it).
    const std::string& failure() const { return failure_; }
    int port() const { return port_; }
    std::string server() const { return "127.0.0.1:" + std::to_string(port_); }

private:
    std::unique_ptr<BackgroundProcess> program_;
    std::string failure_;
    int port_ = 0;
};

}  // namespace vk::test
