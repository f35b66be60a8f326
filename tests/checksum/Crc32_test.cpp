#include "checksum/Crc32.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string_view>
#include <vector>

#include "checksum/Crc32Kernels.h"

namespace vk::checksum {
namespace {

std::span<const std::uint8_t> bytesOf(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

struct CountingPump : platform::EventPump {
    void pump() override { ++count; }
    std::uint64_t count = 0;
};

TEST(Crc32, CheckValues) {
    struct Case {
        std::string_view text;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"", -1},
        {"abc", -892333984},
        {"123456789", -1961752512},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        EXPECT_EQ(computeCrc32(bytesOf(c.text)), c.expected);
        CountingPump pump;
        EXPECT_EQ(computeCrc32(bytesOf(c.text), &pump), c.expected);
        const auto b = bytesOf(c.text);
        EXPECT_EQ(static_cast<std::int32_t>(crc32ByteLoop(Crc32::kInitial, b.data(), b.size())), c.expected);
        EXPECT_EQ(static_cast<std::int32_t>(Crc32::update(Crc32::kInitial, b.data(), b.size())), c.expected);
    }
    EXPECT_EQ(static_cast<std::uint32_t>(computeCrc32(bytesOf("123456789"))), 0x8B120840u);
    EXPECT_EQ(static_cast<std::uint32_t>(computeCrc32(bytesOf("abc"))), 0xCAD01060u);
}

TEST(Crc32, TableFollowsTheShiftLeftDefinition) {
    EXPECT_EQ(Crc32::tableEntry(0), 0u);
    EXPECT_EQ(Crc32::tableEntry(1), 0xEDB88320u);
    EXPECT_EQ(Crc32::tableEntry(2), 0x36C98560u);
    EXPECT_EQ(Crc32::tableEntry(255), 0xEADF06A0u);
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n << 24;
        for (int k = 0; k < 8; ++k) c = (c & 0x80000000u) ? (c << 1) ^ 0xEDB88320u : (c << 1);
        EXPECT_EQ(Crc32::tableEntry(static_cast<std::uint8_t>(n)), c) << n;
    }
}

using Kernel = std::uint32_t (*)(std::uint32_t, const std::uint8_t*, std::size_t);

std::vector<std::pair<const char*, Kernel>> kernels() {
    std::vector<std::pair<const char*, Kernel>> k = {
        {"update", &Crc32::update},
        {"slicing16", &crc32kernels::slicing16},
    };
    if (crc32kernels::clmulAvailable()) k.emplace_back("clmul", &crc32kernels::clmul);
    return k;
}

TEST(Crc32, KernelsMatchByteLoopOnEveryLengthAndAlignment) {
    std::mt19937_64 rng(20261210);
    std::vector<std::uint8_t> buf(4096 + 64);
    for (auto& b : buf) b = static_cast<std::uint8_t>(rng());
    for (const auto& [name, kernel] : kernels()) {
        SCOPED_TRACE(name);
        for (std::size_t len = 0; len <= 4096; ++len) {
            const std::size_t offset = rng() % 64;
            const auto reg = static_cast<std::uint32_t>(rng());
            const std::uint8_t* p = buf.data() + offset;
            ASSERT_EQ(kernel(reg, p, len), crc32ByteLoop(reg, p, len)) << "len " << len << " offset " << offset;
        }
    }
}

TEST(Crc32, KernelsMatchByteLoopOnPatternsThatStressReduction) {
    // All-ones and single-bit inputs hit every fold constant with extreme operands.
    for (const auto& [name, kernel] : kernels()) {
        SCOPED_TRACE(name);
        for (std::size_t len : {64u, 65u, 127u, 128u, 129u, 1000u, 70000u}) {
            std::vector<std::uint8_t> ones(len, 0xFF);
            EXPECT_EQ(kernel(0xFFFFFFFFu, ones.data(), len), crc32ByteLoop(0xFFFFFFFFu, ones.data(), len));
            std::vector<std::uint8_t> zeros(len, 0);
            EXPECT_EQ(kernel(0, zeros.data(), len), 0u);
            EXPECT_EQ(kernel(1, zeros.data(), len), crc32ByteLoop(1, zeros.data(), len));
            zeros[len / 2] = 0x80;
            EXPECT_EQ(kernel(0, zeros.data(), len), crc32ByteLoop(0, zeros.data(), len));
        }
    }
}

TEST(Crc32, SplitUpdatesEqualOneUpdate) {
    std::mt19937_64 rng(7);
    std::vector<std::uint8_t> buf(300000);
    for (auto& b : buf) b = static_cast<std::uint8_t>(rng());
    const std::uint32_t whole = crc32ByteLoop(Crc32::kInitial, buf.data(), buf.size());
    EXPECT_EQ(Crc32::update(Crc32::kInitial, buf.data(), buf.size()), whole);
    for (int round = 0; round < 50; ++round) {
        std::uint32_t reg = Crc32::kInitial;
        std::size_t pos = 0;
        while (pos < buf.size()) {
            // Mix tiny, medium and large pieces.
            const std::size_t limit = (rng() % 3 == 0) ? 17 : (rng() % 2 ? 700 : 40000);
            const std::size_t n = std::min<std::size_t>(buf.size() - pos, rng() % limit);
            reg = Crc32::update(reg, buf.data() + pos, n);
            pos += n;
        }
        ASSERT_EQ(reg, whole) << "round " << round;
    }
}

TEST(Crc32, PumpDoesNotChangeTheResult) {
    std::mt19937_64 rng(3);
    std::vector<std::uint8_t> buf(2'000'003);
    for (auto& b : buf) b = static_cast<std::uint8_t>(rng());
    CountingPump pump;
    Crc32YieldGaps gaps(99);
    const auto expected = static_cast<std::int32_t>(crc32ByteLoop(Crc32::kInitial, buf.data(), buf.size()));
    EXPECT_EQ(computeCrc32(buf, &pump, gaps), expected);
    EXPECT_EQ(computeCrc32(buf, &pump), expected);
    EXPECT_EQ(computeCrc32(buf), expected);
    EXPECT_GT(pump.count, 0u);
}

TEST(Crc32, YieldsAboutOncePerHundredThousandBytes) {
    // 100 MB: expect 1000 yields, standard deviation about 32.
    std::vector<std::uint8_t> buf(100'000'000, 0x5A);
    CountingPump pump;
    (void)computeCrc32(buf, &pump);
    EXPECT_GT(pump.count, 800u);
    EXPECT_LT(pump.count, 1200u);

    CountingPump seeded;
    Crc32YieldGaps gaps(12345);
    (void)computeCrc32(buf, &seeded, gaps);
    EXPECT_GT(seeded.count, 800u);
    EXPECT_LT(seeded.count, 1200u);
}

TEST(Crc32, YieldGapsAreGeometric) {
    Crc32YieldGaps gaps(2026);
    const int n = 200000;
    double sum = 0;
    int belowMedian = 0, ones = 0;
    const double median = std::log(0.5) / std::log1p(-Crc32YieldGaps::kRate);  // about 69,314
    std::uint64_t minGap = UINT64_MAX;
    for (int i = 0; i < n; ++i) {
        const std::uint64_t g = gaps.next();
        sum += static_cast<double>(g);
        if (static_cast<double>(g) <= median) ++belowMedian;
        if (g == 1) ++ones;
        minGap = std::min(minGap, g);
    }
    EXPECT_GE(minGap, 1u);
    // Mean 1/p = 100,000; the mean of 200,000 draws has a standard deviation of about 224.
    EXPECT_NEAR(sum / n, 100000.0, 1500.0);
    EXPECT_NEAR(static_cast<double>(belowMedian) / n, 0.5, 0.01);
    EXPECT_LT(ones, 20);  // P(gap = 1) = 0.00001
    // Different seeds give different sequences.
    Crc32YieldGaps a(1), b(2);
    EXPECT_NE(a.next(), b.next());
}

}  // namespace
}  // namespace vk::checksum
