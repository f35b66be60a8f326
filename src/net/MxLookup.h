#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/DnsSettings.h"
#include "net/MxReply.h"
#include "platform/EventPump.h"

namespace vk::net {

inline constexpr long kMxQueryError = 20000;
inline constexpr double kDefaultMxTimeout = 5.0;

// Finds a domain's mail exchanger with one MX query over UDP to the first
// DNS server. Failures throw platform::RuntimeError 20000 from "MXQuery";
// resolver and socket failures give an empty result.
class MxLookup {
public:
    explicit MxLookup(platform::EventPump* pump = nullptr) : pump_(pump) {}

    void setPump(platform::EventPump* pump) { pump_ = pump; }
    // Loaded from the system on first use (and while it lists no server)
    // unless set; resolvConf names the file discovery reads.
    void setSettings(DnsSettings settings) { settings_ = std::move(settings); }
    void setResolvConf(std::string path) { resolvConf_ = std::move(path); }
    const DnsSettings& settings();

    // How long to wait for the reply; then the lookup fails as a lost reply.
    void setReplyTimeout(double seconds) { timeout_ = seconds; }
    double replyTimeout() const { return timeout_; }

    std::string lookup(std::string domain);
    const std::vector<MxRecord>& records() const { return records_; }
    int bestPreference() const { return bestPreference_; }

    // The name of a dotted IPv4 address, or "".
    static std::string reverseLookup(const std::string& ipv4);

private:
    std::string query(const std::string& domain, const std::string& base);

    platform::EventPump* pump_;
    std::optional<DnsSettings> settings_;
    std::string resolvConf_ = "/etc/resolv.conf";
    double timeout_ = kDefaultMxTimeout;
    std::vector<MxRecord> records_;
    std::string best_;
    int bestPreference_ = -1;
};

}  // namespace vk::net
