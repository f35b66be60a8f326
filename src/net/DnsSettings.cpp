#include "net/DnsSettings.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "net/MxLookup.h"

namespace vk::net {

DnsSettings parseResolvConf(std::string_view text) {
    DnsSettings settings;
    std::istringstream in{std::string(text)};
    std::string line;
    while (std::getline(in, line)) {
        std::size_t comment = line.find_first_of("#;");
        if (comment != std::string::npos) line.erase(comment);
        std::istringstream words(line);
        std::string keyword, value;
        if (!(words >> keyword >> value)) continue;
        if (keyword == "nameserver") settings.servers.push_back(value);
        else if (keyword == "domain" || keyword == "search") settings.localDomain = value;
    }
    return settings;
}

DnsSettings discoverDnsSettings(const std::string& resolvConf) {
    DnsSettings settings;
    std::ifstream file(resolvConf);
    if (file) {
        std::ostringstream text;
        text << file.rdbuf();
        settings = parseResolvConf(text.str());
    }
    if (const char* override = std::getenv("VANDRELKAST_DNS"); override && *override)
        settings.servers = {override};
    if (settings.localDomain.empty() && !settings.servers.empty()) {
        std::string name = MxLookup::reverseLookup(settings.servers.front());
        std::size_t dot = name.find('.');
        if (dot != std::string::npos) settings.localDomain = name.substr(dot + 1);
    }
    return settings;
}

std::string domainBase(const std::string& domain) {
    std::size_t last = domain.rfind('.');
    if (last == std::string::npos || last == 0) return domain;
    std::size_t previous = domain.rfind('.', last - 1);
    return previous == std::string::npos ? domain : domain.substr(previous + 1);
}

}  // namespace vk::net
