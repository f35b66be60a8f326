#include "net/SendMail.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <regex>
#include <thread>

#include "DnsReplyBuilder.h"
#include "net/MailEncoding.h"
#include "support/LoopbackPeers.h"
#include "support/SmtpPeer.h"
#include "support/TempDir.h"

using namespace vk;
using namespace vk::net;

namespace {

struct MailRecorder : SendMailEvents {
    std::vector<std::string> statuses;
    std::vector<std::string> failures;
    std::vector<long> percents;
    int successes = 0;
    void sendSuccesful() override { ++successes; }
    void sendFailed(const std::string& explanation) override { failures.push_back(explanation); }
    void status(const std::string& text) override { statuses.push_back(text); }
    void progress(long percent) override { percents.push_back(percent); }
    bool sawStatus(const std::string& text) const {
        return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
    }
};

// A client with its settings store in a temporary folder, pointed at a port.
struct Client {
    vk::test::TempDir dir;
    MailRecorder events;
    SendMail mail{&events, nullptr, MailSettingsStore((dir / "PostWarden.ini").string())};
    explicit Client(int port) {
        mail.setSmtpHost("127.0.0.1");
        mail.setSmtpPort(port);
        mail.setConnectTimeout(5);
        mail.setMessageTimeout(5);
        mail.setFrom("scanner@example.com");
        mail.setRecipient("monitor@example.org");
        mail.setSubject("Farwatch Report");
    }
};

#define SKIP_WITHOUT(peer) \
    if (!(peer).failure().empty()) GTEST_SKIP() << (peer).failure()

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

}  // namespace

TEST(SendMail, APlainMessageArrivesByteForByte) {
    vk::test::SmtpPeer peer;
    SKIP_WITHOUT(peer);
    Client c(peer.port());
    std::string longLine(2000, 'z');
    c.mail.setMessage("\r\nFirst line\r\n.hidden dot\r\n" + longLine + "\r\nlast");
    c.mail.send();
    ASSERT_TRUE(c.events.failures.empty()) << c.events.failures.front();
    EXPECT_EQ(c.events.successes, 1);
    ASSERT_TRUE(peer.waitForMessage(1));
    EXPECT_NE(peer.events().find("HELO example.com"), std::string::npos) << peer.events();
    EXPECT_NE(peer.events().find("QUIT"), std::string::npos);
    EXPECT_NE(peer.meta(1).find("from=scanner@example.com\nto=monitor@example.org\ntls=0"), std::string::npos);

    std::vector<std::string> got = lines(peer.message(1));
    ASSERT_GE(got.size(), 15u);
    EXPECT_TRUE(std::regex_match(got[0], std::regex(R"(Message-ID: <\d{17}\.[A-Za-z0-8]{20}@.+>)"))) << got[0];
    EXPECT_EQ(got[1], "From: \"scanner@example.com\" <scanner@example.com>");
    EXPECT_EQ(got[2], "To: \"monitor@example.org\" <monitor@example.org>");
    EXPECT_EQ(got[3], "Subject: Farwatch Report");
    EXPECT_TRUE(std::regex_match(got[4], std::regex(R"(Date: \w{3}, \d{1,2} \w{3} \d{4} \d\d:\d\d:\d\d [+-]\d{4})")))
        << got[4];
    EXPECT_EQ(got[5], "MIME-Version: 1.0");
    EXPECT_EQ(got[6], "Content-Type: text/plain;");
    EXPECT_EQ(got[7], "\tcharset=\"iso-8859-1\"");
    EXPECT_EQ(got[8], "Content-Transfer-Encoding: 7bit");
    EXPECT_EQ(got[9], "");
    EXPECT_EQ(got[10], "");
    EXPECT_EQ(got[11], "First line");
    EXPECT_EQ(got[12], ".hidden dot");  // stuffed on the wire, unstuffed by the server
    EXPECT_EQ(got[13], std::string(998, 'z'));
    EXPECT_EQ(got[14], std::string(998, 'z'));
    EXPECT_EQ(got[15], "zzzz");
    EXPECT_EQ(got[16], "last");
    EXPECT_EQ(got.size(), 17u);

    for (const char* status : {"Connecting to SMTP Server (127.0.0.1)...", "Initializing Communications...",
                               "Sending Sender Information...", "Sending Recipient Information...",
                               "Sending Message...", "Transmission Complete...", "Closing Connection..."})
        EXPECT_TRUE(c.events.sawStatus(status)) << status;
    ASSERT_FALSE(c.events.percents.empty());
    EXPECT_EQ(c.events.percents.back(), 100);
}

TEST(SendMail, MimeAttachmentsAndEncodedWords) {
    vk::test::SmtpPeer peer;
    SKIP_WITHOUT(peer);
    Client c(peer.port());
    std::string binary;
    for (int i = 0; i < 30000; ++i) binary += static_cast<char>(i * 7);
    auto file = c.dir.write("data.bin", binary);
    auto text = c.dir.write("notes.txt", "hello\r\n");
    c.mail.setAttachment(file.string() + ";" + text.string());
    c.mail.setSubject("Bericht für Ada");
    c.mail.setRecipient("one@example.org;two@example.net");
    c.mail.setRecipientDisplayName("Ada Müller");
    c.mail.setMessage("Grüße");
    c.mail.setPriority(1);
    c.mail.send();
    ASSERT_TRUE(c.events.failures.empty()) << c.events.failures.front();
    ASSERT_TRUE(peer.waitForMessage(1));
    EXPECT_NE(peer.meta(1).find("to=one@example.org,two@example.net"), std::string::npos);
    const std::string m = peer.message(1);
    EXPECT_NE(m.find("To: =?ISO-8859-1?B?QWRhIE38bGxlcg==?= <one@example.org>,\r\n\t\"two@example.net\" "
                     "<two@example.net>\r\n"),
              std::string::npos);
    EXPECT_NE(m.find("Subject: =?ISO-8859-1?B?"), std::string::npos);
    EXPECT_NE(m.find("X-Priority: 1\r\nX-MSMail-Priority: High\r\n"), std::string::npos);
    std::smatch boundary;
    ASSERT_TRUE(std::regex_search(m, boundary, std::regex("Content-Type: multipart/mixed;\r\n\tboundary=\"(----_=_NextPart_000_[0-9A-F]{8}\\.[0-9A-F]{8})\"\r\n\r\nThis is a multi-part message in MIME format.\r\n\r\n--")));
    const std::string b = boundary[1];
    EXPECT_NE(m.find("Content-Transfer-Encoding: 8bit\r\n\r\n" + toWireText("Grüße") + "\r\n\r\n--" + b +
                     "\r\nContent-Type: application/octet-stream;\r\n\tname=\"data.bin\"\r\n"
                     "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment;\r\n"
                     "\tfilename=\"data.bin\"\r\n\r\n"),
              std::string::npos);
    std::size_t start = m.find("filename=\"data.bin\"\r\n\r\n") + 23;
    std::size_t end = m.find("\r\n\r\n--" + b, start);
    ASSERT_NE(end, std::string::npos);
    std::string encoded = m.substr(start, end - start + 2);
    EXPECT_EQ(encoded, encodeBase64Bytes(binary));
    std::string flat;
    for (char ch : encoded)
        if (ch != '\r' && ch != '\n') flat += ch;
    EXPECT_EQ(decodeBase64String(flat), binary);
    EXPECT_NE(m.find("filename=\"notes.txt\"\r\n\r\naGVsbG8NCg==\r\n\r\n--" + b + "--\r\n"), std::string::npos);
    EXPECT_TRUE(c.events.sawStatus("Sending Attachment, data.bin..."));
}

TEST(SendMail, UuencodedBodyWithoutMimeHeaders) {
    vk::test::SmtpPeer peer;
    SKIP_WITHOUT(peer);
    Client c(peer.port());
    auto file = c.dir.write("cat.txt", "Cat");
    c.mail.setEncodeType(1);
    c.mail.setAttachment(file.string());
    c.mail.setMessage("body");
    c.mail.send();
    ASSERT_TRUE(c.events.failures.empty()) << c.events.failures.front();
    ASSERT_TRUE(peer.waitForMessage(1));
    const std::string m = peer.message(1);
    EXPECT_EQ(m.find("MIME-Version"), std::string::npos);
    EXPECT_EQ(m.find("This is a multi-part message"), std::string::npos);
    EXPECT_NE(m.find("\r\n\r\nbody\r\n\r\nbegin 600 cat.txt\r\n#0V%T\r\nend\r\n"), std::string::npos) << m;
}

TEST(SendMail, AuthLoginAcceptedAndRefused) {
    vk::test::SmtpPeer peer({"ada:s3cret", false});
    SKIP_WITHOUT(peer);
    {
        Client c(peer.port());
        c.mail.setUseAuthentication(true);
        c.mail.setUsername("ada");
        c.mail.setPassword("s3cret");
        c.mail.setMessage("authenticated");
        c.mail.send();
        ASSERT_TRUE(c.events.failures.empty()) << c.events.failures.front();
        EXPECT_TRUE(c.events.sawStatus("Sending Login Authentication..."));
        EXPECT_TRUE(c.events.sawStatus("Host Login OK!"));
        ASSERT_TRUE(peer.waitForMessage(1));
        EXPECT_NE(peer.meta(1).find("login=ada"), std::string::npos) << peer.meta(1);
        EXPECT_NE(peer.events().find("EHLO example.com"), std::string::npos);
        EXPECT_NE(peer.events().find("AUTH LOGIN ok"), std::string::npos);
    }
    {
        Client c(peer.port());
        c.mail.setUseAuthentication(true);
        c.mail.setUsername("ada");
        c.mail.setPassword("wrong");
        c.mail.send();
        std::string seen;
        for (const auto& s : c.events.statuses) seen += s + "|";
        ASSERT_EQ(c.events.failures.size(), 1u) << seen;
        EXPECT_EQ(c.events.failures[0].substr(0, 3), "535") << c.events.failures[0];
        EXPECT_EQ(c.events.successes, 0);
        EXPECT_TRUE(c.events.sawStatus("Host Login Failed!"));
        EXPECT_FALSE(peer.waitForMessage(2, 300));
    }
}

TEST(SendMail, StartTlsEncryptsWhenOffered) {
    vk::test::SmtpPeer peer({"ada:s3cret", true});
    SKIP_WITHOUT(peer);
    struct Case {
        const char* what;
        bool verify;
        const char* host;
        bool trustPeer;
        bool delivered;
    } cases[] = {
        {"no check", false, "127.0.0.1", false, true},
        {"checked against its certificate", true, "localhost", true, true},
        {"untrusted certificate", true, "localhost", false, false},
    };
    int delivered = 0;
    for (const auto& k : cases) {
        vk::test::ScopedEnv trust("SSL_CERT_FILE", k.trustPeer ? peer.certificate().c_str() : "/dev/null");
        Client c(peer.port());
        c.mail.setSmtpHost(k.host);
        c.mail.setUseStartTls(true);
        c.mail.setTlsVerify(k.verify);
        c.mail.setUseAuthentication(true);
        c.mail.setUsername("ada");
        c.mail.setPassword("s3cret");
        c.mail.setMessage(k.what);
        c.mail.send();
        if (!k.delivered) {
            ASSERT_EQ(c.events.failures.size(), 1u) << k.what;
            EXPECT_NE(c.events.failures[0].find("certificate verify failed"), std::string::npos) << c.events.failures[0];
            continue;
        }
        ASSERT_TRUE(c.events.failures.empty()) << k.what << ": " << c.events.failures.front();
        ++delivered;
        ASSERT_TRUE(peer.waitForMessage(delivered)) << k.what;
        EXPECT_NE(peer.meta(delivered).find("tls=1"), std::string::npos) << k.what;
        EXPECT_NE(peer.meta(delivered).find("login=ada"), std::string::npos) << k.what;
        EXPECT_TRUE(c.mail.sentEncrypted());
        bool encryptedStatus = false;
        for (const auto& s : c.events.statuses) encryptedStatus |= s.rfind("Message Sent Encrypted (TLS", 0) == 0;
        EXPECT_TRUE(encryptedStatus) << k.what;
    }
}

TEST(SendMail, StatusSaysWhenTheServerOffersNoEncryption) {
    vk::test::SmtpPeer peer;
    SKIP_WITHOUT(peer);
    Client c(peer.port());
    c.mail.setUseStartTls(true);
    c.mail.setMessage("clear");
    c.mail.send();
    ASSERT_TRUE(c.events.failures.empty()) << c.events.failures.front();
    EXPECT_TRUE(c.events.sawStatus("Encryption Not Offered by Host, Continuing..."));
    EXPECT_TRUE(c.events.sawStatus("Message Sent Without Encryption..."));
    EXPECT_FALSE(c.mail.sentEncrypted());
}

TEST(SendMail, ConnectKeepsOneConnectionForTwoMessages) {
    vk::test::SmtpPeer peer;
    SKIP_WITHOUT(peer);
    Client c(peer.port());
    ASSERT_TRUE(c.mail.connect());
    c.mail.setMessage("one");
    c.mail.send();
    c.mail.setMessage("two");
    c.mail.send();
    ASSERT_TRUE(peer.waitForMessage(2));
    EXPECT_EQ(peer.events(), "CONNECT\nHELO example.com\n");
    c.mail.disConnect();
    EXPECT_EQ(c.mail.socket().state(), kSckClosed);
    for (int i = 0; i < 100 && peer.events().find("QUIT") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(peer.events(), "CONNECT\nHELO example.com\nQUIT\n");
    EXPECT_EQ(c.events.successes, 2);
}

TEST(SendMail, ASilentServerTimesOut) {
    vk::test::SilentTcpPeer silent;
    Client c(silent.port());
    c.mail.setConnectTimeout(1);
    c.mail.setMessage("never");
    c.mail.send();
    ASSERT_EQ(c.events.failures.size(), 1u);
    EXPECT_EQ(c.events.failures[0], "Timeout occurred: The SMTP Host did not respond to the request\r\n");
    EXPECT_EQ(c.mail.socket().state(), kSckClosed);
}

TEST(SendMail, ARefusedConnectionIsReportedOnce) {
    int port = [] {
        vk::test::SilentTcpPeer gone;
        return gone.port();
    }();
    Client c(port);
    c.mail.setMessage("refused");
    c.mail.send();
    ASSERT_EQ(c.events.failures.size(), 1u);
    EXPECT_EQ(c.events.failures[0], "Connection refused.\r\n");
}

TEST(SendMail, PopLoginBeforeSmtp) {
    vk::test::SmtpPeer peer;
    SKIP_WITHOUT(peer);
    struct Case {
        const char* password;
        bool delivered;
    } cases[] = {{"right", true}, {"wrong", false}};
    for (const auto& k : cases) {
        vk::test::Pop3Peer pop("ada", "right");
        Client c(peer.port());
        c.mail.setUsePopAuthentication(true);
        c.mail.setPop3Host("127.0.0.1");
        c.mail.setPop3Port(pop.port());
        c.mail.setUsername("ada");
        c.mail.setPassword(k.password);
        c.mail.setMessage("after pop");
        c.mail.send();
        EXPECT_TRUE(c.events.sawStatus("Connecting to POP3 Server (127.0.0.1)..."));
        if (k.delivered) {
            ASSERT_TRUE(c.events.failures.empty()) << c.events.failures.front();
            EXPECT_EQ(pop.commands(), "USER ada\nPASS right\nQUIT\n");
            EXPECT_TRUE(c.events.sawStatus("POP3 Authentication Successful..."));
            EXPECT_TRUE(peer.waitForMessage(1));
        } else {
            ASSERT_EQ(c.events.failures.size(), 1u);
            EXPECT_EQ(c.events.failures[0], "-ERR invalid password\r\n\r\n");
            EXPECT_FALSE(c.events.sawStatus("POP3 Authentication Successful..."));
            EXPECT_EQ(c.events.successes, 0);
        }
    }
}

TEST(SendMail, ValidationFailsBeforeConnecting) {
    vk::test::SmtpPeer peer;
    SKIP_WITHOUT(peer);
    Client c(peer.port());
    std::string ten;
    for (int i = 0; i < 10; ++i) ten += (i ? ";" : "") + std::string("r") + std::to_string(i) + "@example.com";
    c.mail.setRecipient(ten);
    c.mail.setMaxRecipients(9);
    c.mail.send();
    ASSERT_EQ(c.events.failures.size(), 1u);
    EXPECT_EQ(c.events.failures[0], "Too many recipients\r\n");

    c.mail.setMaxRecipients(100);
    c.mail.setSmtpPort(0);
    c.mail.setCcRecipient("not-an-address");
    c.mail.setAsHtml(true);
    c.mail.setEncodeType(1);
    c.mail.send();
    ASSERT_EQ(c.events.failures.size(), 2u);
    EXPECT_EQ(c.events.failures[1],
              "Invalid Remote Port\r\nInvalid Cc: Recipient E-mail Address\r\nSending HTML requires MIME encoding\r\n");
    EXPECT_EQ(c.mail.smtpPort(), peer.port());
    EXPECT_EQ(peer.events(), "");  // nothing reached the server
}

TEST(SendMail, CorrectedPropertiesClearTheirComplaints) {
    Client c(2525);
    c.mail.setSmtpPort(0);
    c.mail.setSmtpPort(25);
    c.mail.setFrom("");
    c.mail.setFrom("ok@example.com");
    c.mail.setRecipient("");
    c.mail.send();
    ASSERT_EQ(c.events.failures.size(), 1u);
    EXPECT_EQ(c.events.failures[0], "No Recipient E-mail Address Specified\r\n");
}

TEST(SendMail, NoHostAndNoMailExchangerFails) {
    vk::test::UdpPeer dns([](const std::string& q) {
        std::string name;
        for (std::size_t at = 12; at < q.size() && q[at]; at += 1 + static_cast<unsigned char>(q[at]))
            name += (name.empty() ? "" : ".") + q.substr(at + 1, static_cast<unsigned char>(q[at]));
        return vk::test::DnsReplyBuilder(name).bytes();
    });
    Client c(25);
    c.mail.setSmtpHost("");
    c.mail.mxLookup().setSettings(DnsSettings{{"127.0.0.1:" + std::to_string(dns.port())}, "office.example.com"});
    c.mail.setMessage("nowhere");
    c.mail.send();
    ASSERT_EQ(c.events.failures.size(), 1u);
    EXPECT_EQ(c.events.failures[0], "Invalid or Missing SMTP Host Name\r\n");
    EXPECT_TRUE(c.events.sawStatus("Performing MX Query"));
    EXPECT_EQ(dns.received(), 2);  // office.example.com, then its base example.com
}

TEST(SendMail, AnEndlessReplyEndsTheExchange) {
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    ::listen(listener, 1);
    std::atomic<bool> stop{false};
    std::thread flood([&] {
        int client = ::accept(listener, nullptr, nullptr);
        std::string line = "220-" + std::string(200, 'x') + "\r\n";
        while (!stop && ::send(client, line.data(), line.size(), MSG_NOSIGNAL) > 0) {
        }
        ::close(client);
    });
    Client c(ntohs(address.sin_port));
    c.mail.setMessage("flooded");
    c.mail.send();
    stop = true;
    flood.join();
    ::close(listener);
    ASSERT_EQ(c.events.failures.size(), 1u);
    EXPECT_NE(c.events.failures[0].find("reply exceeds"), std::string::npos) << c.events.failures[0];
}

TEST(SendMail, PersistentSettingsSurviveTheObject) {
    vk::test::TempDir dir;
    MailSettingsStore store((dir / "vandrelkast" / "PostWarden.ini").string());
    {
        SendMail first(nullptr, nullptr, store);
        first.setPersistentSettings(true);
        first.setSmtpHostValidation(0);
        first.setSmtpHost("relay.example.com");
        first.setSmtpPort(2525);
        first.setFrom("saved@example.com");
        first.setUseAuthentication(true);
        first.setPassword("never stored");
        first.setPersistentSettings(false);
    }
    EXPECT_EQ(store.read("PersistentSettings", ""), "-1");
    EXPECT_EQ(store.read("UseAuthentication", ""), "True");
    EXPECT_EQ(store.read("Password", "absent"), "absent");
    SendMail second(nullptr, nullptr, store);
    EXPECT_TRUE(second.persistentSettings());
    EXPECT_EQ(second.smtpHost(), "relay.example.com");
    EXPECT_EQ(second.smtpPort(), 2525);
    EXPECT_EQ(second.from(), "saved@example.com");
    EXPECT_TRUE(second.useAuthentication());

    vk::test::TempDir empty;
    SendMail fresh(nullptr, nullptr, MailSettingsStore((empty / "PostWarden.ini").string()));
    EXPECT_FALSE(fresh.persistentSettings());
    EXPECT_EQ(fresh.smtpPort(), 25);
    EXPECT_EQ(fresh.connectRetry(), 4);
}

TEST(SendMailFaults, AServerThatHangsUpAtLoginIsReportedOnce) {
    vk::test::ScriptedTcpPeer peer("220 ready\r\n", [](const std::string& line) -> std::optional<std::string> {
        if (line.rfind("EHLO", 0) == 0) return "250-peer\r\n250 AUTH LOGIN\r\n";
        return std::nullopt;  // AUTH: hang up
    });
    Client c(peer.port());
    c.mail.setUseAuthentication(true);
    c.mail.setUsername("ada");
    c.mail.send();
    ASSERT_EQ(c.events.failures.size(), 1u);
    EXPECT_EQ(c.events.failures[0], "Host Login Failed!\r\n");
    EXPECT_TRUE(c.events.sawStatus("Host Login Failed!"));
}

TEST(SendMailFaults, ARejectedGreetingIsReportedOnce) {
    vk::test::ScriptedTcpPeer peer("554 no service here\r\n",
                                   [](const std::string&) -> std::optional<std::string> { return std::nullopt; });
    Client c(peer.port());
    c.mail.send();
    ASSERT_EQ(c.events.failures.size(), 1u);
    EXPECT_EQ(c.events.failures[0], "554 no service here\r\n\r\n");
}

TEST(SendMailFaults, RepliesInPiecesAreReadWhole) {
    vk::test::ScriptedTcpPeer peer("220 re|ady\r\n", [](const std::string& line) -> std::optional<std::string> {
        // Without "AUTH LOGIN" in the first piece the client would not log in,
        // and a half reply taken for whole would fail it.
        if (line.rfind("EHLO", 0) == 0) return "250-peer.example\r\n250-SI|ZE 1000\r\n250 AUTH LOGIN\r\n";
        if (line == "AUTH LOGIN") return "33|4 VXNlcm5hbWU6\r\n";
        if (line + "\r\n" == encodeBase64Bytes("ada")) return "334 UGFzc3dvcmQ6\r\n";
        if (line + "\r\n" == encodeBase64Bytes("pw")) return "235 ok\r\n";
        if (line == "QUIT") return "221 bye\r\n";
        if (line == ".") return "250 queued\r\n";
        if (line == "DATA") return "354 go\r\n";
        if (line.rfind("MAIL", 0) == 0 || line.rfind("RCPT", 0) == 0) return "250 ok\r\n";
        return "";  // content lines
    });
    Client c(peer.port());
    c.mail.setUseAuthentication(true);
    c.mail.setUsername("ada");
    c.mail.setPassword("pw");
    c.mail.setMessage("x");
    c.mail.send();
    EXPECT_TRUE(c.events.failures.empty()) << (c.events.failures.empty() ? "" : c.events.failures[0]);
    EXPECT_EQ(c.events.successes, 1);
}
