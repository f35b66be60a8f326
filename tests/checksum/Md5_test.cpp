#include "checksum/Md5.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/RuntimeError.h"
#include "support/TempDir.h"

#include <unistd.h>

namespace vk::checksum {
namespace {

using vk::test::TempDir;

std::string md5Of(std::string_view bytes) {
    Md5Hasher h;
    h.update(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return h.finishHex();
}

std::string upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string randomBytes(std::size_t n, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}

struct Vector {
    std::string text;
    std::string digest;
};

std::vector<Vector> knownVectors() {
    std::vector<Vector> v = {
        // RFC 1321, appendix A.5
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    // Lengths around the padding boundaries, "a" repeated.
    const std::pair<std::size_t, const char*> runs[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"},  {56, "3b0c8ac703f828b04c6c197006d17218"},
        {63, "b06521f39153d618550606be297466d5"},  {64, "014842d480b571495a4a0363793f7367"},
        {65, "c743a45e0d2e6a95cb859adae0248435"},  {119, "8a7bd0732ed6a28ce75f6dabc90e1613"},
        {120, "5f61c0ccad4cac44c75ff505e1f1e537"}, {128, "e510683b3f5ffe4093d021808bc6ff70"},
    };
    for (const auto& [n, d] : runs) v.push_back({std::string(n, 'a'), d});
    return v;
}

TEST(Md5, KnownVectorsInUpperCase) {
    TempDir dir;
    int i = 0;
    for (const auto& v : knownVectors()) {
        SCOPED_TRACE("length " + std::to_string(v.text.size()));
        const std::string want = upper(v.digest);
        EXPECT_EQ(md5Of(v.text), want);
        Md5 md5;
        EXPECT_EQ(md5.digestStrToHexStr(v.text), want);
        EXPECT_EQ(md5.getValues(), want);
        const auto file = dir.write("v" + std::to_string(i++), v.text);
        EXPECT_EQ(md5.digestFileToHexStr(file.string()), want);
    }
}

TEST(Md5, HasherInPiecesEqualsOneGo) {
    const std::string data = randomBytes(100000, 1);
    const std::string whole = md5Of(data);
    std::mt19937_64 rng(2);
    for (int round = 0; round < 30; ++round) {
        Md5Hasher h;
        Md5 streaming;
        streaming.md5Init();
        std::size_t pos = 0;
        while (pos < data.size()) {
            const std::size_t n = std::min<std::size_t>(data.size() - pos, rng() % (round % 2 ? 70 : 5000));
            const auto* p = reinterpret_cast<const std::uint8_t*>(data.data() + pos);
            h.update(p, n);
            streaming.md5Update(static_cast<std::int32_t>(n), {p, n});
            pos += n;
        }
        EXPECT_EQ(h.finishHex(), whole);
        streaming.md5Final();
        EXPECT_EQ(streaming.getValues(), whole);
    }
}

TEST(Md5, HasherIsReusableAfterFinish) {
    Md5Hasher h;
    h.update(reinterpret_cast<const std::uint8_t*>("junk"), 4);
    (void)h.finish();
    EXPECT_EQ(h.finishHex(), "D41D8CD98F00B204E9800998ECF8427E");
}

TEST(Md5, FileDigestEqualsMemoryDigestAcrossChunkBoundaries) {
    TempDir dir;
    // Sizes around the 64-byte block and the 64 KiB read chunk.
    for (std::size_t n : {0u, 1u, 63u, 64u, 65u, 65535u, 65536u, 65537u, 65536u * 3 + 64, 1000003u}) {
        SCOPED_TRACE(n);
        const std::string data = randomBytes(n, n);
        const auto file = dir.write("f" + std::to_string(n), data);
        Md5 md5;
        EXPECT_EQ(md5.digestFileToHexStr(file.string()), md5Of(data));
    }
}

TEST(Md5, FileOfExactly64BytesEqualsTextDigest) {
    TempDir dir;
    const std::string text = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+/";
    ASSERT_EQ(text.size(), 64u);
    const auto file = dir.write("64.bin", text);
    Md5 md5;
    const std::string fromFile = md5.digestFileToHexStr(file.string());
    EXPECT_EQ(fromFile, md5.digestStrToHexStr(text));
    EXPECT_EQ(fromFile, md5Of(text));
}

TEST(Md5, FileFailuresGiveEmptyText) {
    TempDir dir;
    Md5 md5;
    md5.cancelDigest = true;
    EXPECT_EQ(md5.digestFileToHexStr((dir / "missing.bin").string()), "");
    EXPECT_FALSE(md5.cancelDigest);
    EXPECT_EQ(md5.digestFileToHexStr(dir.str()), "");  // a folder
    EXPECT_EQ(md5.digestFileToHexStr(""), "");
    EXPECT_EQ(md5.digestFileToHexStr("/dev/zero"), "");  // would never end
    // Opens as a regular file, but reading from offset 0 fails.
    if (std::filesystem::exists("/proc/self/mem")) {
        EXPECT_EQ(md5.digestFileToHexStr("/proc/self/mem"), "");
    }
}

TEST(Md5, UnreadableFileGivesEmptyText) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
    TempDir dir;
    const auto file = dir.write("locked.bin", "secret");
    std::filesystem::permissions(file, std::filesystem::perms::none);
    Md5 md5;
    EXPECT_EQ(md5.digestFileToHexStr(file.string()), "");
}

// Sets cancelDigest on the given call and counts calls.
struct CancellingPump : platform::EventPump {
    Md5* md5 = nullptr;
    int cancelAt = -1;
    int calls = 0;
    void pump() override {
        if (++calls == cancelAt) md5->cancelDigest = true;
    }
};

TEST(Md5, FileDigestPumpsOncePerBlock) {
    TempDir dir;
    for (std::size_t n : {0u, 1u, 64u, 65u, 200000u}) {
        const auto file = dir.write("p" + std::to_string(n), randomBytes(n, 5));
        CancellingPump pump;
        Md5 md5(&pump);
        pump.md5 = &md5;
        ASSERT_NE(md5.digestFileToHexStr(file.string()), "");
        EXPECT_EQ(pump.calls, static_cast<int>((n + 63) / 64)) << n;
    }
}

TEST(Md5, CancelMidFileDigestsTheBlocksReadSoFar) {
    TempDir dir;
    const std::string data = randomBytes(1 << 20, 9);
    const auto file = dir.write("big.bin", data);
    for (int blocks : {1, 2, 1023, 1024, 1025, 5000}) {
        SCOPED_TRACE(blocks);
        CancellingPump pump;
        Md5 md5(&pump);
        pump.md5 = &md5;
        pump.cancelAt = blocks;
        const std::string got = md5.digestFileToHexStr(file.string());
        EXPECT_EQ(got, md5Of(std::string_view(data).substr(0, static_cast<std::size_t>(blocks) * 64)));
        EXPECT_NE(got, md5Of(data));
        EXPECT_EQ(pump.calls, blocks);
        EXPECT_FALSE(md5.cancelDigest);
    }
}

TEST(Md5, CancelSetBeforeStartIsCleared) {
    TempDir dir;
    const std::string data = randomBytes(1000, 4);
    const auto file = dir.write("x.bin", data);
    Md5 md5;
    md5.cancelDigest = true;
    EXPECT_EQ(md5.digestFileToHexStr(file.string()), md5Of(data));
    EXPECT_FALSE(md5.cancelDigest);
}

TEST(Md5, TextIsDigestedAsWindows1252Bytes) {
    Md5 md5;
    EXPECT_EQ(md5.digestStrToHexStr("\xC3\xA9"), md5Of("\xE9"));              // é
    EXPECT_EQ(md5.digestStrToHexStr("\xE2\x82\xAC x"), md5Of("\x80 x"));     // €
    EXPECT_EQ(md5.digestStrToHexStr("\xC3\xA9"), "3406877694691DDD1DFB0ACA54681407");
}

TEST(Md5, TextErrors) {
    Md5 md5;
    auto errorOf = [&](const std::string& s) -> long {
        try {
            (void)md5.digestStrToHexStr(s);
        } catch (const platform::RuntimeError& e) {
            return e.number();
        }
        return 0;
    };
    EXPECT_EQ(errorOf(std::string(32767, 'a')), 0);
    EXPECT_EQ(errorOf(std::string(32768, 'a')), 6);
    // The limit counts characters, not UTF-8 bytes.
    std::string accents;
    for (int i = 0; i < 32767; ++i) accents += "\xC3\xA9";
    EXPECT_EQ(errorOf(accents), 0);
    EXPECT_EQ(errorOf(accents + "a"), 6);
    EXPECT_EQ(errorOf("x\xC4\x80y"), 5);  // U+0100 has no single-byte form
    EXPECT_EQ(errorOf("\xFF"), 5);        // not UTF-8
    try {
        (void)md5.digestStrToHexStr(std::string(40000, 'a'));
        ADD_FAILURE();
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.description(), "Overflow");
    }
}

TEST(Md5, RegistersAreSignedDecimal) {
    Md5 md5;
    md5.md5Init();
    EXPECT_EQ(md5.registerA(), "1732584193");   // 0x67452301
    EXPECT_EQ(md5.registerB(), "-271733879");   // 0xEFCDAB89
    EXPECT_EQ(md5.registerC(), "-1732584194");  // 0x98BADCFE
    EXPECT_EQ(md5.registerD(), "271733878");    // 0x10325476
    EXPECT_EQ(md5.getValues(), "0123456789ABCDEFFEDCBA9876543210");
    (void)md5.digestStrToHexStr("");
    // D41D8CD9 8F00B204 E9800998 ECF8427E, each register least significant byte first.
    EXPECT_EQ(md5.registerA(), std::to_string(static_cast<std::int32_t>(0xD98C1DD4u)));
    EXPECT_EQ(md5.registerB(), std::to_string(static_cast<std::int32_t>(0x04B2008Fu)));
    EXPECT_EQ(md5.registerC(), std::to_string(static_cast<std::int32_t>(0x980980E9u)));
    EXPECT_EQ(md5.registerD(), std::to_string(static_cast<std::int32_t>(0x7E42F8ECu)));
}

TEST(Md5, UpdateTakesInputLenBytesFromTheStart) {
    Md5 md5;
    const std::string s = "abcdef";
    const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
    md5.md5Init();
    md5.md5Update(3, {p, s.size()});
    md5.md5Update(0, {p, s.size()});
    md5.md5Update(-5, {p, s.size()});
    md5.md5Final();
    EXPECT_EQ(md5.getValues(), "900150983CD24FB0D6963F7D28E17F72");
    md5.md5Init();
    EXPECT_THROW(md5.md5Update(7, {p, s.size()}), platform::RuntimeError);
    // Init starts over whatever came before.
    md5.md5Init();
    md5.md5Final();
    EXPECT_EQ(md5.getValues(), "D41D8CD98F00B204E9800998ECF8427E");
}

TEST(Md5, LongLeftRotate) {
    struct Case {
        std::uint32_t value;
        std::int32_t bits;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {1, 1, 2},
        {0x80000000u, 1, 1},
        {0x12345678u, 8, 0x34567812u},
        {0x12345678u, 0, 0x12345678u},
        {0x12345678u, 31, 0x091A2B3Cu},
        {0x12345678u, 32, 0x12345678u},
        {0xFFFFFFFFu, 13, 0xFFFFFFFFu},
    };
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<std::uint32_t>(Md5::longLeftRotate(static_cast<std::int32_t>(c.value), c.bits)),
                  c.expected)
            << std::hex << c.value << " " << c.bits;
}

}  // namespace
}  // namespace vk::checksum
