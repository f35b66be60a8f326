#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/BackgroundProcess.h"
#include "support/TempDir.h"

namespace vk::test {

// aiosmtpd on a free loopback port (tests/support/smtp_peer.py), keeping every
// message it receives.
class SmtpPeer {
public:
    struct Options {
        std::string auth;     // "USER:PASSWORD" for AUTH LOGIN
        bool tls = false;     // offer STARTTLS with a certificate made now
    };
    explicit SmtpPeer(Options options);
    SmtpPeer() : SmtpPeer(Options{}) {}

    // Empty when the peer could not start (GTEST_SKIP with it).
    const std::string& failure() const { return failure_; }
    int port() const { return port_; }
    // The certificate the peer shows (with tls), for a trust store.
    std::string certificate() const { return (dir_ / "cert.pem").string(); }

    // Waits up to timeoutMs for message n (from 1).
    bool waitForMessage(int n, int timeoutMs = 10000) const;
    std::string message(int n) const;
    std::string meta(int n) const;
    std::string events() const;

private:
    TempDir dir_;
    std::unique_ptr<BackgroundProcess> program_;
    std::string failure_;
    int port_ = 0;
};

// The folder of the test support files.
std::string supportFile(const std::string& name);

}  // namespace vk::test
