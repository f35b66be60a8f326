#include "net/SocketMaster.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "net/SocketErrors.h"
#include "platform/RuntimeError.h"
#include "support/LoopbackPeers.h"
#include "NetTestSupport.h"

using namespace vk;
using namespace vk::net;
using vk::test::pumpUntil;

namespace {

struct Recorder : SocketMasterEvents {
    std::vector<std::string> log;
    std::vector<long> arrivals;
    int errorNumber = 0;
    std::string errorText, errorSource;
    long requestID = -1;
    std::function<void(long)> onRequest;
    void closeSck() override { log.push_back("close"); }
    void connect() override { log.push_back("connect"); }
    void connectionRequest(long id) override {
        requestID = id;
        log.push_back("request");
        if (onRequest) onRequest(id);
    }
    void dataArrival(long total) override { arrivals.push_back(total); }
    void error(int number, const std::string& text, long, const std::string& source, const std::string&, long,
               bool& cancel) override {
        errorNumber = number;
        errorText = text;
        errorSource = source;
        cancel = true;
        log.push_back("error");
    }
    void sendComplete() override { log.push_back("complete"); }
};

template <typename F>
void expectRaised(F action, long number, const std::string& source) {
    try {
        action();
        ADD_FAILURE() << "nothing raised, expected " << number;
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), number);
        EXPECT_EQ(e.source(), source);
        EXPECT_EQ(e.description(), socketErrorText(number));
    }
}

// A listening socket on loopback that accepts every connection into its own object.
struct Server {
    Recorder events;
    SocketMaster listener{&events};
    std::vector<std::unique_ptr<Recorder>> clientEvents;
    std::vector<std::unique_ptr<SocketMaster>> clients;
    Server() {
        listener.bind(0, std::string("127.0.0.1"));
        listener.listen();
        events.onRequest = [this](long id) {
            clientEvents.push_back(std::make_unique<Recorder>());
            clients.push_back(std::make_unique<SocketMaster>(clientEvents.back().get()));
            clients.back()->accept(id);
        };
    }
    long port() const { return listener.localPort(); }
};

}  // namespace

TEST(SocketMaster, PropertyChecksRaiseTheirNumbers) {
    SocketMaster socket;
    expectRaised([&] { socket.setRemotePort(70000); }, kErrArgumentRange, "CSocketMaster.RemotePort");
    expectRaised([&] { socket.setLocalPort(-1); }, kErrArgumentRange, "CSocketMaster.LocalPort");
    expectRaised([&] { socket.connect(std::string("127.0.0.1"), SocketValue(std::int32_t{0})); }, kErrArgumentRange,
                 "CSocketMaster.Connect");
    expectRaised([&] { socket.connect(std::string("127.0.0.1"), SocketValue(std::string("smtp"))); },
                 kErrUnsupportedType, "CSocketMaster.Connect");
    expectRaised([&] { socket.sendData(SocketValue(std::string("x"))); }, kErrWrongProtocolOrState,
                 "CSocketMaster.SendData");
    expectRaised([&] { socket.getData(); }, kErrWrongProtocolOrState, "CSocketMaster.GetData");
    EXPECT_EQ(socket.state(), kSckClosed);
}

TEST(SocketMaster, PropertiesRefuseChangesWhileConnected) {
    Server server;
    Recorder events;
    SocketMaster client(&events);
    client.connect(std::string("127.0.0.1"), SocketValue(std::string(std::to_string(server.port()))));
    ASSERT_TRUE(pumpUntil([&] { return client.state() == kSckConnected && !server.clients.empty(); }));
    EXPECT_EQ(client.remoteHostIP(), "127.0.0.1");
    EXPECT_EQ(client.remotePort(), server.port());
    expectRaised([&] { client.setRemotePort(25); }, kErrInvalidState, "CSocketMaster.RemotePort");
    expectRaised([&] { client.setRemoteHost("x"); }, kErrInvalidState, "CSocketMaster.RemoteHost");
    expectRaised([&] { client.connect(); }, kErrInvalidState, "CSocketMaster.Connect");
    expectRaised([&] { client.getData(SocketDataType::String, -1); }, kErrArgumentRange, "CSocketMaster.GetData");
    client.closeSck();
    EXPECT_EQ(client.state(), kSckClosed);
}

TEST(SocketMaster, RefusedConnectionEndsInErrorState) {
    // A port that was just listening and is closed again: nobody answers there.
    auto refusedPort = [] {
        vk::test::SilentTcpPeer peer;
        return peer.port();
    }();
    Recorder events;
    SocketMaster client(&events);
    client.connect(std::string("127.0.0.1"), SocketValue(static_cast<std::int32_t>(refusedPort)));
    ASSERT_TRUE(pumpUntil([&] { return client.state() == kSckError; }));
    EXPECT_EQ(events.errorNumber, kWsaConnectionRefused);
    EXPECT_EQ(events.errorText, "Connection refused.");
    EXPECT_EQ(events.errorSource, "CSocketMaster.PostSocket");
}

TEST(SocketMaster, DataArrivalReportsTheBufferedTotal) {
    Server server;
    Recorder events;
    SocketMaster client(&events);
    client.connect(std::string("127.0.0.1"), SocketValue(static_cast<std::int32_t>(server.port())));
    ASSERT_TRUE(pumpUntil([&] { return client.state() == kSckConnected && !server.clients.empty(); }));
    EXPECT_EQ(events.log.front(), "connect");
    SocketMaster& peer = *server.clients.front();
    peer.sendData(SocketValue(std::string("hello")));
    ASSERT_TRUE(pumpUntil([&] { return client.bytesReceived() == 5; }));
    peer.sendData(SocketValue(std::string(" world")));
    ASSERT_TRUE(pumpUntil([&] { return client.bytesReceived() == 11; }));
    ASSERT_EQ(events.arrivals.size(), 2u);
    EXPECT_EQ(events.arrivals[0], 5);
    EXPECT_EQ(events.arrivals[1], 11);
    EXPECT_EQ(std::get<std::string>(client.peekData(SocketDataType::String, 5)), "hello");
    EXPECT_EQ(client.bytesReceived(), 11);
    EXPECT_EQ(std::get<std::string>(client.getData(SocketDataType::String, 6)), "hello ");
    EXPECT_EQ(std::get<std::string>(client.getData()), "world");
    EXPECT_EQ(client.bytesReceived(), 0);
}

TEST(SocketMaster, ValuesTravelInTheirByteForms) {
    Server server;
    SocketMaster client;
    client.connect(std::string("127.0.0.1"), SocketValue(static_cast<std::int32_t>(server.port())));
    ASSERT_TRUE(pumpUntil([&] { return client.state() == kSckConnected && !server.clients.empty(); }));
    client.sendData(SocketValue(std::uint8_t{0x7F}));
    client.sendData(SocketValue(std::int16_t{-2}));
    client.sendData(SocketValue(std::int32_t{0x01020304}));
    client.sendData(SocketValue(2.5));
    client.sendData(SocketValue(std::vector<std::uint8_t>{0xAA, 0xBB}));
    SocketMaster& peer = *server.clients.front();
    ASSERT_TRUE(pumpUntil([&] { return peer.bytesReceived() == 1 + 2 + 4 + 8 + 2; }));
    EXPECT_EQ(std::get<std::uint8_t>(peer.getData(SocketDataType::Byte)), 0x7F);
    EXPECT_EQ(std::get<std::int16_t>(peer.getData(SocketDataType::Integer)), -2);
    EXPECT_EQ(std::get<std::string>(peer.peekData(SocketDataType::String, 4)), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(std::get<std::int32_t>(peer.getData(SocketDataType::Long)), 0x01020304);
    EXPECT_DOUBLE_EQ(std::get<double>(peer.getData(SocketDataType::Double)), 2.5);
    EXPECT_EQ(std::get<std::vector<std::uint8_t>>(peer.getData(SocketDataType::ByteArray)),
              (std::vector<std::uint8_t>{0xAA, 0xBB}));
    expectRaised([&] { client.sendData(SocketValue()); }, kErrUnsupportedType, "CSocketMaster.SendData");
}

TEST(SocketMaster, PeerCloseRaisesCloseSck) {
    Server server;
    Recorder events;
    SocketMaster client(&events);
    client.connect(std::string("127.0.0.1"), SocketValue(static_cast<std::int32_t>(server.port())));
    ASSERT_TRUE(pumpUntil([&] { return client.state() == kSckConnected && !server.clients.empty(); }));
    server.clients.front()->closeSck();
    ASSERT_TRUE(pumpUntil([&] { return client.state() == kSckClosing; }));
    EXPECT_EQ(events.log.back(), "close");
    client.closeSck();
    EXPECT_EQ(client.state(), kSckClosed);
}

TEST(SocketMaster, AHostNameResolvesWithoutBlocking) {
    Server server;
    Recorder events;
    SocketMaster client(&events);
    client.connect(std::string("localhost"), SocketValue(static_cast<std::int32_t>(server.port())));
    EXPECT_EQ(client.state(), kSckResolvingHost);
    // localhost may answer ::1 first, where nobody listens: the next address is tried.
    ASSERT_TRUE(pumpUntil([&] { return client.state() == kSckConnected || client.state() == kSckError; }));
    EXPECT_EQ(client.state(), kSckConnected) << events.errorText;
    EXPECT_EQ(client.remoteHostIP(), "127.0.0.1");
}

TEST(SocketMaster, ReceiveBufferStopsGrowingAtItsLimit) {
    Server server;
    SocketMaster client;
    client.setReceiveBufferLimit(4096);
    client.connect(std::string("127.0.0.1"), SocketValue(static_cast<std::int32_t>(server.port())));
    ASSERT_TRUE(pumpUntil([&] { return client.state() == kSckConnected && !server.clients.empty(); }));
    server.clients.front()->sendData(SocketValue(std::string(100000, 'x')));
    pumpUntil([&] { return false; }, 300);
    EXPECT_LE(client.bytesReceived(), 4096);
    EXPECT_GT(client.bytesReceived(), 0);
    std::size_t total = 0;
    ASSERT_TRUE(pumpUntil([&] {
        total += std::get<std::string>(client.getData()).size();
        return total == 100000;
    }));
}

TEST(SocketMaster, UdpDatagramsArriveWithTheirSizes) {
    Recorder receiverEvents;
    SocketMaster receiver(&receiverEvents);
    receiver.setProtocol(kSckUDPProtocol);
    receiver.bind(0, std::string("127.0.0.1"));
    EXPECT_EQ(receiver.state(), kSckOpen);
    SocketMaster sender;
    sender.setProtocol(kSckUDPProtocol);
    sender.connect(std::string("127.0.0.1"), SocketValue(static_cast<std::int32_t>(receiver.localPort())));
    EXPECT_EQ(sender.state(), kSckOpen);
    sender.sendData(SocketValue(std::string("datagram")));
    ASSERT_TRUE(pumpUntil([&] { return !receiverEvents.arrivals.empty(); }));
    EXPECT_EQ(receiverEvents.arrivals.front(), 8);
    EXPECT_EQ(std::get<std::string>(receiver.getData()), "datagram");
}

TEST(SocketMaster, AcceptTakesOnlyPendingRequests) {
    SocketMaster socket;
    try {
        socket.accept(12345);
        ADD_FAILURE() << "accepted an unknown request";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), kErrInvalidArgument);
        EXPECT_EQ(e.description(), "Invalid argument");
    }
}

TEST(SocketEventPump, DeliversSocketEventsAfterTheInnerPump) {
    struct Counting : platform::EventPump {
        int calls = 0;
        void pump() override { ++calls; }
    } inner;
    Server server;
    Recorder events;
    SocketMaster client(&events);
    client.connect(std::string("127.0.0.1"), SocketValue(static_cast<std::int32_t>(server.port())));
    SocketEventPump pump(&inner);
    for (int i = 0; i < 500 && client.state() != kSckConnected; ++i) {
        pump.pump();
        ::usleep(2000);
    }
    EXPECT_EQ(client.state(), kSckConnected);
    EXPECT_GT(inner.calls, 0);
}

TEST(SocketMaster, Ipv6LoopbackWhereTheSystemHasIt) {
    Recorder listenerEvents;
    SocketMaster listener(&listenerEvents);
    try {
        listener.bind(0, std::string("::1"));
    } catch (const platform::RuntimeError& e) {
        GTEST_SKIP() << "no IPv6 loopback: " << e.description();
    }
    listener.listen();
    std::unique_ptr<SocketMaster> accepted;
    listenerEvents.onRequest = [&](long id) {
        accepted = std::make_unique<SocketMaster>();
        accepted->accept(id);
    };
    SocketMaster client;
    client.connect(std::string("::1"), SocketValue(static_cast<std::int32_t>(listener.localPort())));
    ASSERT_TRUE(pumpUntil([&] { return client.state() == kSckConnected && accepted; }));
    EXPECT_EQ(client.remoteHostIP(), "::1");
    EXPECT_EQ(accepted->remoteHostIP(), "::1");
    accepted->sendData(SocketValue(std::string("v6")));
    ASSERT_TRUE(pumpUntil([&] { return client.bytesReceived() == 2; }));
}

TEST(SocketMaster, LocalHostNameIsTheSystemsName) {
    char name[256] = {};
    ASSERT_EQ(::gethostname(name, sizeof name - 1), 0);
    EXPECT_EQ(SocketMaster::localHostName(), name);
}
