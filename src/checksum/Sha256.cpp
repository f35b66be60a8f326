#include "checksum/Sha256.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define VK_SHA256_HAVE_SHANI 1
#endif

namespace vk::checksum {

namespace {

constexpr std::uint32_t kRound[64] = {
    0x428a2f98u, 0x71374491u, 0xb5c0fbcfu, 0xe9b5dba5u, 0x3956c25bu, 0x59f111f1u, 0x923f82a4u, 0xab1c5ed5u,
    0xd807aa98u, 0x12835b01u, 0x243185beu, 0x550c7dc3u, 0x72be5d74u, 0x80deb1feu, 0x9bdc06a7u, 0xc19bf174u,
    0xe49b69c1u, 0xefbe4786u, 0x0fc19dc6u, 0x240ca1ccu, 0x2de92c6fu, 0x4a7484aau, 0x5cb0a9dcu, 0x76f988dau,
    0x983e5152u, 0xa831c66du, 0xb00327c8u, 0xbf597fc7u, 0xc6e00bf3u, 0xd5a79147u, 0x06ca6351u, 0x14292967u,
    0x27b70a85u, 0x2e1b2138u, 0x4d2c6dfcu, 0x53380d13u, 0x650a7354u, 0x766a0abbu, 0x81c2c92eu, 0x92722c85u,
    0xa2bfe8a1u, 0xa81a664bu, 0xc24b8b70u, 0xc76c51a3u, 0xd192e819u, 0xd6990624u, 0xf40e3585u, 0x106aa070u,
    0x19a4c116u, 0x1e376c08u, 0x2748774cu, 0x34b0bcb5u, 0x391c0cb3u, 0x4ed8aa4au, 0x5b9cca4fu, 0x682e6ff3u,
    0x748f82eeu, 0x78a5636fu, 0x84c87814u, 0x8cc70208u, 0x90befffau, 0xa4506cebu, 0xbef9a3f7u, 0xc67178f2u,
};

constexpr std::array<std::uint32_t, 8> kInitial = {0x6a09e667u, 0xbb67ae85u, 0x3c6ef372u, 0xa54ff53au,
                                                    0x510e527fu, 0x9b05688cu, 0x1f83d9abu, 0x5be0cd19u};

inline std::uint32_t loadBe32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap32(v);
    return v;
}

inline std::uint32_t bigSigma0(std::uint32_t x) { return std::rotr(x, 2) ^ std::rotr(x, 13) ^ std::rotr(x, 22); }
inline std::uint32_t bigSigma1(std::uint32_t x) { return std::rotr(x, 6) ^ std::rotr(x, 11) ^ std::rotr(x, 25); }
inline std::uint32_t smallSigma0(std::uint32_t x) { return std::rotr(x, 7) ^ std::rotr(x, 18) ^ (x >> 3); }
inline std::uint32_t smallSigma1(std::uint32_t x) { return std::rotr(x, 17) ^ std::rotr(x, 19) ^ (x >> 10); }

void portableBlock(std::uint32_t* state, const std::uint8_t* p);

#ifdef VK_SHA256_HAVE_SHANI

#define VK_SHANI_TARGET __attribute__((target("sha,sse4.1,ssse3")))

bool shaNiAvailable() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    const bool ssse3 = (c & (1u << 9)) != 0, sse41 = (c & (1u << 19)) != 0;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
    return ssse3 && sse41 && (b & (1u << 29)) != 0;
}

// The SHA extensions keep the state as ABEF and CDGH and take two rounds per
// instruction; the message schedule runs four words ahead of the rounds.
VK_SHANI_TARGET void shaNiBlocks(std::uint32_t* state, const std::uint8_t* p, std::size_t blocks) {
    const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    __m128i tmp = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    __m128i state1 = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i state0 = _mm_alignr_epi8(tmp, state1, 8);  // ABEF
    state1 = _mm_blend_epi16(state1, tmp, 0xF0);       // CDGH

    for (; blocks > 0; --blocks, p += 64) {
        const __m128i abefSave = state0, cdghSave = state1;
        __m128i w[4];
        for (int i = 0; i < 4; ++i)
            w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), byteSwap);
#pragma GCC unroll 16
        for (int g = 0; g < 16; ++g) {
            __m128i& cur = w[g & 3];
            __m128i& prev = w[(g + 3) & 3];
            __m128i& next = w[(g + 1) & 3];
            __m128i msg = _mm_add_epi32(cur, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound + 4 * g)));
            state1 = _mm_sha256rnds2_epu32(state1, state0, msg);
            if (g >= 3 && g <= 14) {
                next = _mm_add_epi32(next, _mm_alignr_epi8(cur, prev, 4));
                next = _mm_sha256msg2_epu32(next, cur);
            }
            msg = _mm_shuffle_epi32(msg, 0x0E);
            state0 = _mm_sha256rnds2_epu32(state0, state1, msg);
            if (g >= 1 && g <= 12) prev = _mm_sha256msg1_epu32(prev, cur);
        }
        state0 = _mm_add_epi32(state0, abefSave);
        state1 = _mm_add_epi32(state1, cdghSave);
    }

    tmp = _mm_shuffle_epi32(state0, 0x1B);          // FEBA
    state1 = _mm_shuffle_epi32(state1, 0xB1);       // DCHG
    state0 = _mm_blend_epi16(tmp, state1, 0xF0);    // DCBA
    state1 = _mm_alignr_epi8(state1, tmp, 8);       // HGFE
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), state0);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), state1);
}

#endif

void compressBlocks(std::uint32_t* state, const std::uint8_t* p, std::size_t blocks) {
#ifdef VK_SHA256_HAVE_SHANI
    static const bool shaNi = shaNiAvailable();
    if (shaNi) {
        shaNiBlocks(state, p, blocks);
        return;
    }
#endif
    for (; blocks > 0; --blocks, p += 64) portableBlock(state, p);
}

}  // namespace

bool sha256HardwareAvailable() {
#ifdef VK_SHA256_HAVE_SHANI
    static const bool shaNi = shaNiAvailable();
    return shaNi;
#else
    return false;
#endif
}

void sha256PortableBlocks(std::uint32_t* state, const std::uint8_t* p, std::size_t blocks) {
    for (; blocks > 0; --blocks, p += 64) portableBlock(state, p);
}

Sha256::Sha256() : h_(kInitial) {}

void Sha256::block(const std::uint8_t* p) { compressBlocks(h_.data(), p, 1); }

namespace {

void portableBlock(std::uint32_t* state, const std::uint8_t* p) {
    std::uint32_t w[64];
    for (int i = 0; i < 16; ++i) w[i] = loadBe32(p + 4 * i);
    for (int i = 16; i < 64; ++i)
        w[i] = smallSigma1(w[i - 2]) + w[i - 7] + smallSigma0(w[i - 15]) + w[i - 16];

    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4], f = state[5], g = state[6], h = state[7];
    // Eight rounds per pass with the variables renamed instead of shifted.
#define VK_SHA_ROUND(a, b, c, d, e, f, g, h, i)                                   \
    {                                                                            \
        const std::uint32_t t1 = h + bigSigma1(e) + (g ^ (e & (f ^ g))) + kRound[i] + w[i]; \
        const std::uint32_t t2 = bigSigma0(a) + ((a & b) | (c & (a | b)));      \
        d += t1;                                                                 \
        h = t1 + t2;                                                             \
    }
    for (int i = 0; i < 64; i += 8) {
        VK_SHA_ROUND(a, b, c, d, e, f, g, h, i)
        VK_SHA_ROUND(h, a, b, c, d, e, f, g, i + 1)
        VK_SHA_ROUND(g, h, a, b, c, d, e, f, i + 2)
        VK_SHA_ROUND(f, g, h, a, b, c, d, e, i + 3)
        VK_SHA_ROUND(e, f, g, h, a, b, c, d, i + 4)
        VK_SHA_ROUND(d, e, f, g, h, a, b, c, i + 5)
        VK_SHA_ROUND(c, d, e, f, g, h, a, b, i + 6)
        VK_SHA_ROUND(b, c, d, e, f, g, h, a, i + 7)
    }
#undef VK_SHA_ROUND
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
}

}  // namespace

void Sha256::update(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return;
    length_ += size;
    if (buffered_ > 0) {
        const std::size_t take = std::min(size, 64 - buffered_);
        std::memcpy(buffer_.data() + buffered_, data, take);
        buffered_ += take;
        data += take;
        size -= take;
        if (buffered_ < 64) return;
        block(buffer_.data());
        buffered_ = 0;
    }
    if (size >= 64) {
        compressBlocks(h_.data(), data, size / 64);
        data += size & ~std::size_t{63};
        size &= 63;
    }
    if (size > 0) {
        std::memcpy(buffer_.data(), data, size);
        buffered_ = size;
    }
}

std::array<std::uint8_t, 32> Sha256::finish() {
    const std::uint64_t bits = length_ * 8;
    buffer_[buffered_++] = 0x80;
    if (buffered_ > 56) {
        std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(buffered_), buffer_.end(), 0);
        block(buffer_.data());
        buffered_ = 0;
    }
    std::fill(buffer_.begin() + static_cast<std::ptrdiff_t>(buffered_), buffer_.begin() + 56, 0);
    for (int i = 0; i < 8; ++i) buffer_[56 + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
    block(buffer_.data());

    std::array<std::uint8_t, 32> out{};
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 4; ++j) out[4 * i + j] = static_cast<std::uint8_t>(h_[i] >> (24 - 8 * j));
    // Ready for the next message.
    h_ = kInitial;
    length_ = 0;
    buffered_ = 0;
    return out;
}

std::string Sha256::hexDigest(std::string_view bytes) {
    Sha256 sha;
    sha.update(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const auto digest = sha.finish();
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(64);
    for (std::uint8_t b : digest) {
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 0x0F]);
    }
    return out;
}

}  // namespace vk::checksum
