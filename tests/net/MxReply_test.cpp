#include "net/MxReply.h"

#include <gtest/gtest.h>

#include <string>

#include "DnsReplyBuilder.h"

using namespace vk::net;
using vk::test::DnsReplyBuilder;

TEST(MxQueryDatagram, IsWrittenByteForByte) {
    std::optional<std::string> query = buildMxQuery("mail.example.com");
    ASSERT_TRUE(query);
    const std::string expected("\x11\xDF\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00"
                               "\x04mail\x07" "example\x03" "com\x00"
                               "\x00\x0F\x00\x01",
                               12 + 18 + 4);
    EXPECT_EQ(*query, expected);
    EXPECT_EQ(query->size(), 12 + std::string("mail.example.com").size() + 1 + 1 + 4);
}

TEST(MxQueryDatagram, RefusesNamesDnsCannotCarry) {
    EXPECT_FALSE(buildMxQuery(std::string(64, 'a') + ".com"));
    std::string longName;
    for (int i = 0; i < 5; ++i) longName += std::string(60, 'b') + ".";
    EXPECT_FALSE(buildMxQuery(longName + "com"));
    EXPECT_TRUE(buildMxQuery(std::string(63, 'a') + ".com"));
}

TEST(MxReplyParser, TakesTheFirstOfTheLowestPreference) {
    struct Case {
        std::vector<std::pair<std::string, int>> records;
        std::string best;
        int preference;
    } cases[] = {
        {{{"a.example.test", 10}, {"b.example.test", 10}}, "a.example.test", 10},
        {{{"a.example.test", 20}, {"b.example.test", 10}}, "b.example.test", 10},
        {{{"a.example.test", 5}, {"b.example.test", 30}, {"c.example.test", 5}}, "a.example.test", 5},
    };
    for (const auto& c : cases) {
        DnsReplyBuilder reply("example.test");
        for (const auto& [host, preference] : c.records) reply.mx(host, preference);
        MxReply parsed = parseMxReply(reply.bytes());
        ASSERT_TRUE(parsed.valid);
        EXPECT_EQ(parsed.best, c.best);
        EXPECT_EQ(parsed.bestPreference, c.preference);
        ASSERT_EQ(parsed.records.size(), c.records.size());
        for (std::size_t i = 1; i < parsed.records.size(); ++i)
            EXPECT_LE(parsed.records[i - 1].preference, parsed.records[i].preference);
    }
}

TEST(MxReplyParser, FollowsCompressionPointersToTheQuestion) {
    DnsReplyBuilder reply("example.test");
    reply.mxRaw(10, std::string("\x03mx1\xC0\x0C", 6));  // mx1 + pointer to the question's name
    MxReply parsed = parseMxReply(reply.bytes());
    ASSERT_TRUE(parsed.valid);
    EXPECT_EQ(parsed.best, "mx1.example.test");
}

TEST(MxReplyParser, ACnameFirstGivesNoResult) {
    DnsReplyBuilder reply("example.test");
    reply.cname("other.test");
    reply.mx("mx.other.test", 10);
    MxReply parsed = parseMxReply(reply.bytes());
    EXPECT_TRUE(parsed.valid);
    EXPECT_EQ(parsed.best, "");
    EXPECT_TRUE(parsed.records.empty());
}

TEST(MxReplyParser, HostileRepliesGiveNoResult) {
    auto good = [] {
        DnsReplyBuilder reply("example.test");
        reply.mx("mx.example.test", 10);
        return reply.bytes();
    };
    ASSERT_TRUE(parseMxReply(good()).valid);
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::vector<Case> cases;
    {
        std::string b = good();
        b[1] = '\xE0';  // identifier 0x11E0
        cases.push_back({"wrong identifier", b});
    }
    cases.push_back({"truncated header", good().substr(0, 11)});
    cases.push_back({"truncated record", good().substr(0, good().size() - 3)});
    {
        std::string b = good();
        b[6] = '\x7F';  // 32,000-odd answers in a short reply
        cases.push_back({"count beyond the reply", b});
    }
    {
        DnsReplyBuilder reply("example.test");
        reply.mxRaw(10, std::string("\xC0\x00", 2));  // points at the header: garbage, then loops?
        cases.push_back({"pointer into the header", reply.bytes()});
    }
    {
        // The exchange points at itself.
        DnsReplyBuilder reply("example.test");
        std::string b = reply.bytes();
        std::size_t at = b.size() + 12 + 2;  // record name(2) type class ttl len(10) preference(2)
        reply.mxRaw(10, std::string("\xC0", 1) + static_cast<char>(at));
        cases.push_back({"pointer loop", reply.bytes()});
    }
    {
        DnsReplyBuilder reply("example.test");
        reply.mxRaw(10, std::string("\xC0\xFF", 2));
        cases.push_back({"pointer past the end", reply.bytes()});
    }
    {
        DnsReplyBuilder reply("example.test");
        std::string longName;
        for (int i = 0; i < 5; ++i) longName += std::string("\x3F", 1) + std::string(63, 'x');
        reply.mxRaw(10, longName + std::string(1, '\0'));
        cases.push_back({"name over 255 bytes", reply.bytes()});
    }
    {
        DnsReplyBuilder reply("example.test");
        reply.mxRaw(10, std::string("\x20short", 6));
        cases.push_back({"label beyond the end", reply.bytes()});
    }
    for (const auto& c : cases) {
        MxReply parsed = parseMxReply(c.bytes);
        EXPECT_FALSE(parsed.valid) << c.what;
        EXPECT_EQ(parsed.best, "") << c.what;
        EXPECT_TRUE(parsed.records.empty()) << c.what;
    }
}
