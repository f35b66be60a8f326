#include "net/MailEncoding.h"

#include <gtest/gtest.h>

#include "net/MailComposition.h"
#include "platform/Registry.h"
#include "support/TempDir.h"

using namespace vk;
using namespace vk::net;

TEST(MailEncoding, Base64LinesOf76EndedByCrLf) {
    EXPECT_EQ(encodeBase64Bytes(""), "");
    EXPECT_EQ(encodeBase64Bytes("M"), "TQ==\r\n");
    EXPECT_EQ(encodeBase64Bytes("Ma"), "TWE=\r\n");
    EXPECT_EQ(encodeBase64Bytes("Man"), "TWFu\r\n");
    std::string bytes(57 * 2 + 1, '\xFF');
    std::string encoded = encodeBase64Bytes(bytes);
    EXPECT_EQ(encoded, std::string(76, '/') + "\r\n" + std::string(76, '/') + "\r\n" + "/w==\r\n");
    EXPECT_EQ(decodeBase64String("VXNlcm5hbWU6"), "Username:");
    EXPECT_EQ(decodeBase64String("TWFu!garbage"), "Man");
}

TEST(MailEncoding, UuencodeLines) {
    EXPECT_EQ(uuencodeLine("Cat"), "#0V%T");
    EXPECT_EQ(uuencodeLine("Ca"), "\"0V$=");
    EXPECT_EQ(uuencodeLine("C"), "!0P==");
    EXPECT_EQ(uuencodeLine(std::string(45, '\0')), "M" + std::string(60, '`'));
}

TEST(MailEncoding, HeaderTextEncodesEightBitInWordsOf42) {
    EXPECT_EQ(encodeHeaderText("Farwatch Report", false), "Farwatch Report");
    EXPECT_EQ(encodeHeaderText("Ada", true), "\"Ada\"");
    std::string umlaut = toWireText("Grüße");
    EXPECT_EQ(encodeHeaderText(umlaut, false), "=?ISO-8859-1?B?R3L832U=?=");
    std::string fifty = toWireText("ü") + std::string(49, 'a');
    std::string encoded = encodeHeaderText(fifty, false);
    std::size_t join = encoded.find("?=\r\n\t=?ISO-8859-1?B?");
    ASSERT_NE(join, std::string::npos);
    EXPECT_EQ(decodeBase64String(encoded.substr(15, join - 15)), fifty.substr(0, 42));
    EXPECT_EQ(encoded.substr(encoded.size() - 2), "?=");
}

TEST(MailEncoding, MessagePreparation) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {"plain", "plain"},
        {".starts\r\nmid.dle\r\n.", "..starts\r\nmid.dle\r\n.."},
        {"a\rb", "a\rb"},
        {"unix\n.dot\n", "unix\r\n..dot\r\n"},
        {std::string(2000, 'x'), std::string(998, 'x') + "\r\n" + std::string(998, 'x') + "\r\n" + "xxxx"},
        {std::string(990, 'a') + " " + std::string(20, 'b'), std::string(990, 'a') + " \r\n" + std::string(20, 'b')},
    };
    for (const auto& c : cases) EXPECT_EQ(prepareMessageText(c.in), c.out) << c.in.substr(0, 30);
}

TEST(MailEncoding, AddressAndDomainChecks) {
    struct Case {
        const char* address;
        bool valid;
    } cases[] = {
        {"user@example.com", true},  {"@example.de", true},     {"user@localhost", false},
        {"a@b@example.com", false},  {"user@10.1.2.3", true},   {"user@240.1.2.3", false},
        {"user@host.om", true},      {"user@host.xyz", false},  {"user@256.1.1.1.com", true},
        {"user@", false},            {"user@example.", true},   {"nodomain", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isValidEmailAddress(c.address), c.valid) << c.address;
    EXPECT_TRUE(isValidIPv4("239.255.255.255"));
    EXPECT_FALSE(isValidIPv4("1.2.3"));
    EXPECT_FALSE(isValidIPv4("1.2.3.256"));
}

TEST(MailEncoding, TimeZoneAndDate) {
    EXPECT_EQ(timeZoneText(60), "+0100");
    EXPECT_EQ(timeZoneText(-300), "-0500");
    EXPECT_EQ(timeZoneText(330), "+0530");
    EXPECT_EQ(timeZoneText(0), "+0000");
    std::tm t{};
    t.tm_year = 103;
    t.tm_mon = 0;
    t.tm_mday = 5;
    t.tm_wday = 0;
    t.tm_hour = 9;
    t.tm_min = 4;
    t.tm_sec = 5;
    EXPECT_EQ(mailDate(t, "+0800"), "Sun, 5 Jan 2003 09:04:05 +0800");
    // 5 Jan 2003 is day 37626 of the classic date serial; noon is 0.5 of a day.
    EXPECT_EQ(mimeBoundary(t, 43200), "----_=_NextPart_000_000092FA.02FAF080");
    std::string stamp = messageIdStamp(t, 7);
    EXPECT_EQ(stamp.substr(0, 18), "20030105090405007.");
    ASSERT_EQ(stamp.size(), 38u);
    for (char c : stamp.substr(18)) EXPECT_NE(std::string("9+/=").find(c) == std::string::npos, false) << c;
}

TEST(MailEncoding, ContentTypeFromTheClassesRoot) {
    vk::test::TempDir dir;
    vk::test::ScopedEnv registry("VANDRELKAST_REGISTRY", dir.str().c_str());
    platform::setSystemRegistry(nullptr);
    platform::Registry& r = platform::systemRegistry();
    platform::RegHandle key = 0;
    ASSERT_EQ(r.createKey(platform::kHkeyClassesRoot, ".png", platform::kKeyAllAccess, key), platform::kErrorSuccess);
    ASSERT_EQ(r.setValue(key, "Content Type", platform::kRegSz, std::string("image/png\0", 10)), platform::kErrorSuccess);
    r.closeKey(key);
    EXPECT_EQ(getContentType("C:\\pics\\logo.PNG", "application/octet-stream"), "image/png");
    EXPECT_EQ(getContentType("notes.unknownext", "application/octet-stream"), "application/octet-stream");
    EXPECT_EQ(getContentType("README", "text/x-default"), "text/x-default");
    platform::setSystemRegistry(nullptr);
}

TEST(MailComposition, EmbeddedImagesBecomeCidReferences) {
    std::vector<MailAttachment> attachments = {{"/tmp/logo.png", "logo.png", false}, {"/tmp/a.txt", "a.txt", false}};
    std::string html = "<p>see logo.png</p><img src=\"C:\\pics\\LOGO.png\"><img src=logo.png>";
    EXPECT_TRUE(resolveEmbeddedImages(html, attachments));
    EXPECT_EQ(html, "<p>see logo.png</p><img src=\"cid:logo.png\"><img src=cid:logo.png>");
    EXPECT_TRUE(attachments[0].embedded);
    EXPECT_FALSE(attachments[1].embedded);
}
