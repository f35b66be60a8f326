// Folding with carry-less multiplication. The register is MSB-first, so every
// 16-byte block is byte-reversed on load: bit 127 of the vector is then the
// highest power of x. Folding only needs X * x^D mod P to stay congruent, and
// the last 16 bytes plus the tail go through the table loop with a zero
// register, which performs the final reduction exactly.

#include <cstring>

#include "checksum/Crc32Kernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VK_CRC32_HAVE_CLMUL 1
#endif

namespace vk::checksum::crc32kernels {

#ifdef VK_CRC32_HAVE_CLMUL

namespace {

constexpr std::uint32_t kFold128Lo = xPowMod(128);
constexpr std::uint32_t kFold128Hi = xPowMod(128 + 64);
constexpr std::uint32_t kFold512Lo = xPowMod(512);
constexpr std::uint32_t kFold512Hi = xPowMod(512 + 64);

#define VK_CLMUL_TARGET __attribute__((target("pclmul,ssse3,sse4.1")))

VK_CLMUL_TARGET inline __m128i byteReverse() {
    return _mm_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
}

VK_CLMUL_TARGET inline __m128i load(const std::uint8_t* p, __m128i rev) {
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), rev);
}

// X = H*x^64 + L moved D bits on: H*(x^(D+64) mod P) + L*(x^D mod P), below x^96.
VK_CLMUL_TARGET inline __m128i fold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x11), _mm_clmulepi64_si128(x, k, 0x00));
}

}  // namespace

bool clmulAvailable() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3") &&
           __builtin_cpu_supports("sse4.1");
}

VK_CLMUL_TARGET std::uint32_t clmul(std::uint32_t reg, const std::uint8_t* p, std::size_t size) {
    if (size < 64) return slicing16(reg, p, size);
    const __m128i rev = byteReverse();
    const __m128i k512 = _mm_set_epi64x(kFold512Hi, kFold512Lo);
    const __m128i k128 = _mm_set_epi64x(kFold128Hi, kFold128Lo);

    // The running register stands in front of the message as its first 32 bits.
    __m128i x0 = _mm_xor_si128(load(p, rev), _mm_set_epi32(static_cast<int>(reg), 0, 0, 0));
    __m128i x1 = load(p + 16, rev);
    __m128i x2 = load(p + 32, rev);
    __m128i x3 = load(p + 48, rev);
    p += 64;
    size -= 64;

    while (size >= 64) {
        x0 = _mm_xor_si128(fold(x0, k512), load(p, rev));
        x1 = _mm_xor_si128(fold(x1, k512), load(p + 16, rev));
        x2 = _mm_xor_si128(fold(x2, k512), load(p + 32, rev));
        x3 = _mm_xor_si128(fold(x3, k512), load(p + 48, rev));
        p += 64;
        size -= 64;
    }

    __m128i x = _mm_xor_si128(fold(x0, k128), x1);
    x = _mm_xor_si128(fold(x, k128), x2);
    x = _mm_xor_si128(fold(x, k128), x3);
    while (size >= 16) {
        x = _mm_xor_si128(fold(x, k128), load(p, rev));
        p += 16;
        size -= 16;
    }

    alignas(16) std::uint8_t rest[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(rest), _mm_shuffle_epi8(x, rev));
    const std::uint32_t r = slicing16(0, rest, 16);
    return slicing16(r, p, size);
}

#else

bool clmulAvailable() { return false; }
std::uint32_t clmul(std::uint32_t reg, const std::uint8_t* p, std::size_t size) {
    return slicing16(reg, p, size);
}

#endif

}  // namespace vk::checksum::crc32kernels
