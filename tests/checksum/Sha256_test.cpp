#include "checksum/Sha256.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace vk::checksum {
namespace {

std::string hexOf(const std::array<std::uint8_t, 32>& d) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string s;
    for (auto b : d) {
        s += kHex[b >> 4];
        s += kHex[b & 15];
    }
    return s;
}

TEST(Sha256, Fips180Vectors) {
    struct Case {
        std::string message;
        const char* digest;
    };
    const Case cases[] = {
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message.size());
        EXPECT_EQ(Sha256::hexDigest(c.message), c.digest);
    }
}

TEST(Sha256, PiecesEqualOneGoAndObjectIsReusable) {
    std::mt19937_64 rng(11);
    std::string data(50000, '\0');
    for (auto& ch : data) ch = static_cast<char>(rng());
    const std::string whole = Sha256::hexDigest(data);
    Sha256 sha;
    for (int round = 0; round < 20; ++round) {
        std::size_t pos = 0;
        while (pos < data.size()) {
            const std::size_t n = std::min<std::size_t>(data.size() - pos, rng() % (round % 2 ? 90 : 3000));
            sha.update(reinterpret_cast<const std::uint8_t*>(data.data() + pos), n);
            pos += n;
        }
        EXPECT_EQ(hexOf(sha.finish()), whole);
    }
    // A million 'a' fed in odd pieces crosses every buffer position.
    std::string a(1000000, 'a');
    for (std::size_t pos = 0; pos < a.size();) {
        const std::size_t n = std::min<std::size_t>(a.size() - pos, 1 + pos % 97);
        sha.update(reinterpret_cast<const std::uint8_t*>(a.data() + pos), n);
        pos += n;
    }
    EXPECT_EQ(hexOf(sha.finish()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, PaddingBoundaries) {
    // One block against two blocks of padding: 55 bytes fit, 56 do not.
    EXPECT_EQ(Sha256::hexDigest(std::string(55, 'a')),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(Sha256::hexDigest(std::string(56, 'a')),
              "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(Sha256::hexDigest(std::string(64, 'a')),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

// Pads by hand and runs the portable block function, for comparison with the
// block function in use (the CPU's SHA extensions where present).
std::string portableDigest(std::string_view message) {
    std::string padded(message);
    padded += '\x80';
    while (padded.size() % 64 != 56) padded += '\0';
    const std::uint64_t bits = std::uint64_t{message.size()} * 8;
    for (int i = 7; i >= 0; --i) padded += static_cast<char>(bits >> (8 * i));
    std::uint32_t state[8] = {0x6a09e667u, 0xbb67ae85u, 0x3c6ef372u, 0xa54ff53au,
                              0x510e527fu, 0x9b05688cu, 0x1f83d9abu, 0x5be0cd19u};
    sha256PortableBlocks(state, reinterpret_cast<const std::uint8_t*>(padded.data()), padded.size() / 64);
    std::array<std::uint8_t, 32> out{};
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j) out[static_cast<std::size_t>(4 * i + j)] = static_cast<std::uint8_t>(state[i] >> (24 - 8 * j));
    return hexOf(out);
}

TEST(Sha256, PortableAndDispatchedBlockFunctionsAgree) {
    EXPECT_EQ(portableDigest("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    std::mt19937_64 rng(17);
    for (std::size_t n = 0; n < 600; n += 1 + n / 7) {
        std::string data(n, '\0');
        for (auto& ch : data) ch = static_cast<char>(rng());
        ASSERT_EQ(Sha256::hexDigest(data), portableDigest(data)) << n;
    }
    RecordProperty("sha_extensions", sha256HardwareAvailable() ? "yes" : "no");
}

}  // namespace
}  // namespace vk::checksum
