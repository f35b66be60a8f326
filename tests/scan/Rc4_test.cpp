#include "scan/Rc4.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/RuntimeError.h"

namespace vk::scan {
namespace {

std::vector<std::uint8_t> bytesOf(std::string_view s) { return {s.begin(), s.end()}; }

std::string hexOf(const std::vector<std::uint8_t>& v) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string s;
    for (auto b : v) {
        s += kHex[b >> 4];
        s += kHex[b & 15];
    }
    return s;
}

struct Recorder : Rc4Events {
    void progress(std::int32_t percent) override { events.push_back(percent); }
    std::vector<std::int32_t> events;
};

TEST(Rc4, StandardVectors) {
    struct Case {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    const Case cases[] = {
        {"Key", "Plaintext", "BBF316E8D940AF0AD3"},
        {"Wiki", "pedia", "1021BF0420"},
        {"Secret", "Attack at dawn", "45A01F645FC35B383552544B9BF5"},
    };
    for (const auto& c : cases) {
        Rc4 rc4;
        auto data = bytesOf(c.plain);
        rc4.encryptByte(data, c.key);
        EXPECT_EQ(hexOf(data), c.cipher) << c.key;
        rc4.decryptByte(data);
        EXPECT_EQ(data, bytesOf(c.plain)) << c.key;
    }
}

TEST(Rc4, KeystreamOfLongKeyStartsAtFirstByte) {
    // RFC 6229, 40-bit key 0x0102030405, keystream bytes 0..15 (nothing discarded).
    Rc4 rc4;
    std::vector<std::uint8_t> zeros(16, 0);
    rc4.encryptByte(zeros, "\x01\x02\x03\x04\x05");
    EXPECT_EQ(hexOf(zeros), "B2396305F03DC027CCC3524A0A1118A8");
}

TEST(Rc4, CallsAreIndependentAndKeysSwitch) {
    Rc4 rc4;
    rc4.setKey("plume");
    auto first = bytesOf("the same text");
    auto second = first;
    rc4.encryptByte(first);
    rc4.encryptByte(second);
    EXPECT_EQ(first, second);

    auto other = bytesOf("the same text");
    rc4.encryptByte(other, "Key");  // a key argument stays assigned
    EXPECT_NE(other, first);
    auto again = bytesOf("the same text");
    rc4.encryptByte(again);
    EXPECT_EQ(again, other);

    rc4.setKey("plume");
    auto back = bytesOf("the same text");
    rc4.encryptByte(back);
    EXPECT_EQ(back, first);
    rc4.setKey("plume");  // same key again changes nothing
    auto same = bytesOf("the same text");
    rc4.encryptByte(same, "");
    EXPECT_EQ(same, first);
}

TEST(Rc4, KeyIsTakenAsWindows1252Bytes) {
    auto a = bytesOf("payload");
    auto b = a;
    auto c = a;
    Rc4().encryptByte(a, "caf\xC3\xA9");  // café as UTF-8
    Rc4().encryptByte(b, "caf\xE9");      // its single-byte form
    Rc4().encryptByte(c, "cafe");
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
}

TEST(Rc4, NoKeyIsAnError) {
    Rc4 rc4;
    auto data = bytesOf("plain");
    try {
        rc4.encryptByte(data);
        ADD_FAILURE() << "no exception";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), 5);
    }
    EXPECT_EQ(data, bytesOf("plain"));
    rc4.setKey("k");
    rc4.setKey("");
    EXPECT_THROW(rc4.encryptByte(data), platform::RuntimeError);
}

// Reference for the events: after each byte, the whole percent; raised when it
// goes up; then 100 if the last raised value was not 100.
std::vector<std::int32_t> expectedEvents(std::size_t length) {
    std::vector<std::int32_t> e;
    std::int32_t last = 0;
    for (std::size_t pos = 1; pos <= length; ++pos) {
        const auto pct = static_cast<std::int32_t>(pos * 100 / length);
        if (pct > last) {
            e.push_back(pct);
            last = pct;
        }
    }
    if (last != 100) e.push_back(100);
    return e;
}

TEST(Rc4, ProgressEvents) {
    struct Case {
        std::size_t length;
        std::vector<std::int32_t> events;
    };
    const Case cases[] = {
        {0, {100}},
        {1, {100}},
        {2, {50, 100}},
        {3, {33, 66, 100}},
        {7, {14, 28, 42, 57, 71, 85, 100}},
    };
    for (const auto& c : cases) {
        Recorder rec;
        Rc4 rc4(&rec);
        std::vector<std::uint8_t> data(c.length, 0);
        rc4.encryptByte(data, "Key");
        EXPECT_EQ(rec.events, c.events) << c.length;
    }
    for (std::size_t length = 1; length <= 1500; ++length) {
        Recorder rec;
        Rc4 rc4(&rec);
        std::vector<std::uint8_t> data(length, 0);
        rc4.encryptByte(data, "Key");
        ASSERT_EQ(rec.events, expectedEvents(length)) << length;
    }
    // Long input: one event per percent, 1 to 100.
    Recorder rec;
    Rc4 rc4(&rec);
    std::vector<std::uint8_t> data(123457, 0);
    rc4.encryptByte(data, "Key");
    ASSERT_EQ(rec.events.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(rec.events[static_cast<std::size_t>(i)], i + 1);
}

TEST(Rc4, ListenerDoesNotChangeTheOutput) {
    std::mt19937 rng(5);
    std::vector<std::uint8_t> plain(10007);
    for (auto& b : plain) b = static_cast<std::uint8_t>(rng());
    auto withEvents = plain;
    auto without = plain;
    Recorder rec;
    Rc4(&rec).encryptByte(withEvents, "plume");
    Rc4().encryptByte(without, "plume");
    EXPECT_EQ(withEvents, without);
    EXPECT_NE(without, plain);
}

}  // namespace
}  // namespace vk::scan
