#include "net/MxLookup.h"

#include <gtest/gtest.h>

#include <chrono>

#include "DnsReplyBuilder.h"
#include "net/DnsSettings.h"
#include "platform/RuntimeError.h"
#include "support/DnsmasqPeer.h"
#include "support/LoopbackPeers.h"
#include "support/TempDir.h"

using namespace vk;
using namespace vk::net;
using vk::test::DnsReplyBuilder;

namespace {

DnsSettings serverAt(int port, std::string localDomain = "") {
    return DnsSettings{{"127.0.0.1:" + std::to_string(port)}, std::move(localDomain)};
}

std::string lookupFailure(MxLookup& mx, const std::string& domain) {
    try {
        mx.lookup(domain);
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), kMxQueryError);
        EXPECT_EQ(e.source(), "MXQuery");
        return e.description();
    }
    return "";
}

// The question name of a query datagram, as text.
std::string questionOf(const std::string& query) {
    std::string name;
    for (std::size_t at = 12; at < query.size() && query[at] != 0; at += 1 + static_cast<unsigned char>(query[at])) {
        if (!name.empty()) name += '.';
        name += query.substr(at + 1, static_cast<unsigned char>(query[at]));
    }
    return name;
}

}  // namespace

TEST(DnsSettings, ResolvConfGivesServersAndDomain) {
    DnsSettings s = parseResolvConf("# comment\nnameserver 10.0.0.1\nnameserver ::1\nsearch lan.example.org other\n");
    ASSERT_EQ(s.servers.size(), 2u);
    EXPECT_EQ(s.servers[0], "10.0.0.1");
    EXPECT_EQ(s.servers[1], "::1");
    EXPECT_EQ(s.localDomain, "lan.example.org");
    EXPECT_EQ(parseResolvConf("domain a.example\nsearch b.example\n").localDomain, "b.example");
    EXPECT_EQ(domainBase("lan.example.org"), "example.org");
    EXPECT_EQ(domainBase("example"), "example");
}

TEST(DnsSettings, EnvironmentReplacesTheServers) {
    vk::test::TempDir dir;
    auto conf = dir.write("resolv.conf", "nameserver 10.1.2.3\ndomain office.example.com\n");
    vk::test::ScopedEnv env("VANDRELKAST_DNS", "127.0.0.1:5353");
    DnsSettings s = discoverDnsSettings(conf.string());
    ASSERT_EQ(s.servers.size(), 1u);
    EXPECT_EQ(s.servers[0], "127.0.0.1:5353");
    EXPECT_EQ(s.localDomain, "office.example.com");
}

TEST(MxLookup, ShortDomainFailsWithoutTraffic) {
    vk::test::UdpPeer peer([](const std::string&) { return std::string(); });
    MxLookup mx;
    mx.setSettings(serverAt(peer.port()));
    EXPECT_EQ(lookupFailure(mx, "a.bc"), "No Valid Domain Specified");
    EXPECT_EQ(peer.received(), 0);
}

TEST(MxLookup, NoServerFailsBeforeAnyQuery) {
    vk::test::TempDir dir;
    auto conf = dir.write("resolv.conf", "# no nameserver here\nsearch example.test\n");
    vk::test::ScopedEnv env("VANDRELKAST_DNS", nullptr);
    MxLookup mx;
    mx.setResolvConf(conf.string());
    EXPECT_EQ(lookupFailure(mx, "example.test"), "No DNS entries found, MX Query cannot contine.");
}

TEST(MxLookup, AsksDnsmasqAndFollowsPreferences) {
    vk::test::DnsmasqPeer dns({"--mx-host=even.test,first.even.test,10", "--mx-host=even.test,second.even.test,10",
                               "--mx-host=order.test,high.order.test,20", "--mx-host=order.test,low.order.test,10",
                               "--cname=alias.test,order.test", "--address=/nomx.test/127.0.0.1"});
    if (!dns.failure().empty()) GTEST_SKIP() << dns.failure();
    MxLookup mx;
    mx.setSettings(serverAt(dns.port()));

    EXPECT_EQ(mx.lookup("order.test"), "low.order.test");
    EXPECT_EQ(mx.bestPreference(), 10);
    ASSERT_EQ(mx.records().size(), 2u);
    EXPECT_EQ(mx.records()[0].host, "low.order.test");
    EXPECT_EQ(mx.records()[1].preference, 20);

    std::string even = mx.lookup("even.test");
    ASSERT_EQ(mx.records().size(), 2u);
    EXPECT_EQ(even, mx.records()[0].host);  // the first listed of equal preferences
    EXPECT_TRUE(even == "first.even.test" || even == "second.even.test") << even;

    EXPECT_EQ(mx.lookup("alias.test"), "");  // the reply starts with the CNAME
    EXPECT_EQ(mx.lookup("nomx.test"), "");
    EXPECT_TRUE(mx.records().empty());
}

TEST(MxLookup, WalksUpToTheLocalDomain) {
    vk::test::DnsmasqPeer dns({"--mx-host=corp.example.test,mail.corp.example.test,5"});
    if (!dns.failure().empty()) GTEST_SKIP() << dns.failure();
    MxLookup mx;
    mx.setSettings(serverAt(dns.port(), "lan.corp.example.test"));  // base: example.test
    EXPECT_EQ(mx.lookup("deep.sub.corp.example.test"), "mail.corp.example.test");

    // Outside the local domain there is no walk.
    mx.setSettings(serverAt(dns.port(), "lan.elsewhere.test"));
    EXPECT_EQ(mx.lookup("deep.sub.corp.example.test"), "");
}

TEST(MxLookup, WalkStopsAtTheBase) {
    std::vector<std::string> asked;
    std::mutex mutex;
    vk::test::UdpPeer peer([&](const std::string& query) {
        std::lock_guard<std::mutex> lock(mutex);
        asked.push_back(questionOf(query));
        return DnsReplyBuilder(asked.back()).bytes();  // never an answer
    });
    MxLookup mx;
    mx.setSettings(serverAt(peer.port(), "host.example.test"));
    EXPECT_EQ(mx.lookup("a.b.example.test"), "");
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(asked, (std::vector<std::string>{"a.b.example.test", "b.example.test", "example.test"}));
}

TEST(MxLookup, ASilentServerTimesOut) {
    vk::test::UdpPeer peer([](const std::string&) { return std::string(); });
    MxLookup mx;
    mx.setSettings(serverAt(peer.port()));
    mx.setReplyTimeout(0.3);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(lookupFailure(mx, "example.test"), "Problem receiving MX query");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 0.25);
    EXPECT_LT(seconds, 3.0);
    EXPECT_EQ(peer.received(), 1);
}

TEST(MxLookup, HostileServersGiveNoResult) {
    struct Case {
        const char* what;
        std::function<std::string(const std::string&)> reply;
    } cases[] = {
        {"wrong identifier",
         [](const std::string& q) {
             DnsReplyBuilder r(questionOf(q), 4576);
             r.mx("mx.example.test", 10);
             return r.bytes();
         }},
        {"truncated",
         [](const std::string& q) {
             DnsReplyBuilder r(questionOf(q));
             r.mx("mx.example.test", 10);
             return r.bytes().substr(0, r.bytes().size() - 4);
         }},
        {"pointer loop",
         [](const std::string& q) {
             DnsReplyBuilder r(questionOf(q));
             std::size_t at = r.bytes().size() + 14;
             r.mxRaw(10, std::string("\xC0", 1) + static_cast<char>(at));
             return r.bytes();
         }},
    };
    for (const auto& c : cases) {
        vk::test::UdpPeer peer(c.reply);
        MxLookup mx;
        mx.setSettings(serverAt(peer.port()));
        EXPECT_EQ(mx.lookup("example.test"), "") << c.what;
        EXPECT_EQ(peer.received(), 1) << c.what;
    }
}

TEST(MxLookup, ReverseLookupOfLoopback) {
    EXPECT_FALSE(MxLookup::reverseLookup("127.0.0.1").empty());
    EXPECT_EQ(MxLookup::reverseLookup("not an address"), "");
}
