#include "checksum/Crc32.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <random>

#include "checksum/Crc32Kernels.h"

namespace vk::checksum {

namespace crc32kernels {

namespace {

constexpr Tables makeTables() {
    Tables t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n << 24;
        for (int k = 0; k < 8; ++k) c = (c & 0x80000000u) ? (c << 1) ^ kPoly : (c << 1);
        t[0][n] = c;
    }
    for (std::size_t k = 1; k < t.size(); ++k)
        for (std::size_t n = 0; n < 256; ++n)
            t[k][n] = (t[k - 1][n] << 8) ^ t[0][t[k - 1][n] >> 24];
    return t;
}

constexpr Tables kTables = makeTables();

static_assert(kTables[0][1] == 0xEDB88320u);
static_assert(kTables[0][2] == 0x36C98560u);
static_assert(kTables[0][255] == 0xEADF06A0u);

inline std::uint32_t loadBe32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
    return v;
}

}  // namespace

const Tables& tables() { return kTables; }

std::uint32_t slicing16(std::uint32_t reg, const std::uint8_t* p, std::size_t size) {
    const auto& t = kTables;
    while (size >= 16) {
        const std::uint32_t w0 = loadBe32(p) ^ reg;
        const std::uint32_t w1 = loadBe32(p + 4);
        const std::uint32_t w2 = loadBe32(p + 8);
        const std::uint32_t w3 = loadBe32(p + 12);
        reg = t[15][w0 >> 24] ^ t[14][(w0 >> 16) & 0xFF] ^ t[13][(w0 >> 8) & 0xFF] ^ t[12][w0 & 0xFF] ^
              t[11][w1 >> 24] ^ t[10][(w1 >> 16) & 0xFF] ^ t[9][(w1 >> 8) & 0xFF] ^ t[8][w1 & 0xFF] ^
              t[7][w2 >> 24] ^ t[6][(w2 >> 16) & 0xFF] ^ t[5][(w2 >> 8) & 0xFF] ^ t[4][w2 & 0xFF] ^
              t[3][w3 >> 24] ^ t[2][(w3 >> 16) & 0xFF] ^ t[1][(w3 >> 8) & 0xFF] ^ t[0][w3 & 0xFF];
        p += 16;
        size -= 16;
    }
    while (size--) reg = (reg << 8) ^ t[0][(reg >> 24) ^ *p++];
    return reg;
}

}  // namespace crc32kernels

namespace {

// Below this the set-up of the folding kernel costs more than it saves.
constexpr std::size_t kClmulThreshold = 128;

bool useClmul() {
    static const bool available = crc32kernels::clmulAvailable();
    return available;
}

// SplitMix64: small, fast and good enough for spacing out yields.
inline std::uint64_t splitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

std::uint32_t Crc32::tableEntry(std::uint8_t index) { return crc32kernels::kTables[0][index]; }

std::uint32_t Crc32::update(std::uint32_t reg, const std::uint8_t* data, std::size_t size) {
    if (size >= kClmulThreshold && useClmul()) return crc32kernels::clmul(reg, data, size);
    return crc32kernels::slicing16(reg, data, size);
}

std::uint32_t crc32ByteLoop(std::uint32_t reg, const std::uint8_t* data, std::size_t size) {
    const auto& t = crc32kernels::kTables[0];
    for (std::size_t i = 0; i < size; ++i) reg = (reg << 8) ^ t[((reg >> 24) & 0xFF) ^ data[i]];
    return reg;
}

const char* crc32KernelName() { return useClmul() ? "pclmul" : "slicing-by-16"; }

Crc32YieldGaps::Crc32YieldGaps(std::uint64_t seed) : state_(seed) {}

Crc32YieldGaps Crc32YieldGaps::fromRandomDevice() {
    std::random_device rd;
    const std::uint64_t seed = (std::uint64_t{rd()} << 32) ^ rd();
    return Crc32YieldGaps(seed);
}

std::uint64_t Crc32YieldGaps::nextBits() { return splitMix(state_); }

std::uint64_t Crc32YieldGaps::next() {
    // Inverse transform: with U uniform in (0,1], 1 + floor(ln U / ln(1-p)) is
    // the index of the first byte whose per-byte draw would have been below p.
    static const double logKeep = std::log1p(-kRate);
    const double u = (static_cast<double>(nextBits() >> 11) + 1.0) * 0x1.0p-53;
    const double gap = std::floor(std::log(u) / logKeep);
    // ln(2^-53) / ln(1-p) is about 3.7 million, far inside the range.
    return static_cast<std::uint64_t>(gap) + 1;
}

namespace {
Crc32YieldGaps& threadGaps() {
    thread_local Crc32YieldGaps gaps = Crc32YieldGaps::fromRandomDevice();
    return gaps;
}
}  // namespace

Crc32Stream::Crc32Stream(platform::EventPump* pump, Crc32YieldGaps* gaps)
    : pump_(pump), gaps_(gaps ? gaps : &threadGaps()) {
    // The gap is memoryless, so a fresh one per array has the per-byte law.
    if (pump_) untilYield_ = gaps_->next();
}

void Crc32Stream::update(const std::uint8_t* data, std::size_t size) {
    if (!pump_) {
        reg_ = Crc32::update(reg_, data, size);
        return;
    }
    while (size > 0) {
        std::size_t step = untilYield_ < size ? static_cast<std::size_t>(untilYield_) : size;
        reg_ = Crc32::update(reg_, data, step);
        data += step;
        size -= step;
        untilYield_ -= step;
        if (untilYield_ == 0) {
            pump_->pump();
            untilYield_ = gaps_->next();
        }
    }
}

std::int32_t computeCrc32(std::span<const std::uint8_t> bytes, platform::EventPump* pump, Crc32YieldGaps& gaps) {
    Crc32Stream stream(pump, &gaps);
    stream.update(bytes.data(), bytes.size());
    return stream.value();
}

std::int32_t computeCrc32(std::span<const std::uint8_t> bytes, platform::EventPump* pump) {
    Crc32Stream stream(pump);
    stream.update(bytes.data(), bytes.size());
    return stream.value();
}

}  // namespace vk::checksum
