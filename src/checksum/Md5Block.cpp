#include "checksum/Md5Block.h"

#include <bit>
#include <cstring>

namespace vk::checksum::md5detail {

namespace {

inline std::uint32_t loadLe32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    return v;
}

}  // namespace

// Fully unrolled; F and G written so each round has one short dependency chain
// through `a` (G's two terms are disjoint, so they are added separately).
#define VK_MD5_F(a, b, c, d, x, s, t)                 \
    a += ((d) ^ ((b) & ((c) ^ (d)))) + (x) + (t);     \
    a = std::rotl(a, s) + (b);
#define VK_MD5_G(a, b, c, d, x, s, t)                 \
    a += (x) + (t) + (~(d) & (c));                    \
    a += ((d) & (b));                                 \
    a = std::rotl(a, s) + (b);
#define VK_MD5_H(a, b, c, d, x, s, t)                 \
    a += ((b) ^ (c) ^ (d)) + (x) + (t);               \
    a = std::rotl(a, s) + (b);
#define VK_MD5_I(a, b, c, d, x, s, t)                 \
    a += ((c) ^ ((b) | ~(d))) + (x) + (t);            \
    a = std::rotl(a, s) + (b);

void compress(std::uint32_t state[4], const std::uint8_t* p, std::size_t blocks) {
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (; blocks > 0; --blocks, p += 64) {
        const std::uint32_t x0 = loadLe32(p), x1 = loadLe32(p + 4), x2 = loadLe32(p + 8),
                            x3 = loadLe32(p + 12), x4 = loadLe32(p + 16), x5 = loadLe32(p + 20),
                            x6 = loadLe32(p + 24), x7 = loadLe32(p + 28), x8 = loadLe32(p + 32),
                            x9 = loadLe32(p + 36), x10 = loadLe32(p + 40), x11 = loadLe32(p + 44),
                            x12 = loadLe32(p + 48), x13 = loadLe32(p + 52), x14 = loadLe32(p + 56),
                            x15 = loadLe32(p + 60);
        const std::uint32_t aa = a, bb = b, cc = c, dd = d;

        VK_MD5_F(a, b, c, d, x0, 7, 0xd76aa478u)
        VK_MD5_F(d, a, b, c, x1, 12, 0xe8c7b756u)
        VK_MD5_F(c, d, a, b, x2, 17, 0x242070dbu)
        VK_MD5_F(b, c, d, a, x3, 22, 0xc1bdceeeu)
        VK_MD5_F(a, b, c, d, x4, 7, 0xf57c0fafu)
        VK_MD5_F(d, a, b, c, x5, 12, 0x4787c62au)
        VK_MD5_F(c, d, a, b, x6, 17, 0xa8304613u)
        VK_MD5_F(b, c, d, a, x7, 22, 0xfd469501u)
        VK_MD5_F(a, b, c, d, x8, 7, 0x698098d8u)
        VK_MD5_F(d, a, b, c, x9, 12, 0x8b44f7afu)
        VK_MD5_F(c, d, a, b, x10, 17, 0xffff5bb1u)
        VK_MD5_F(b, c, d, a, x11, 22, 0x895cd7beu)
        VK_MD5_F(a, b, c, d, x12, 7, 0x6b901122u)
        VK_MD5_F(d, a, b, c, x13, 12, 0xfd987193u)
        VK_MD5_F(c, d, a, b, x14, 17, 0xa679438eu)
        VK_MD5_F(b, c, d, a, x15, 22, 0x49b40821u)

        VK_MD5_G(a, b, c, d, x1, 5, 0xf61e2562u)
        VK_MD5_G(d, a, b, c, x6, 9, 0xc040b340u)
        VK_MD5_G(c, d, a, b, x11, 14, 0x265e5a51u)
        VK_MD5_G(b, c, d, a, x0, 20, 0xe9b6c7aau)
        VK_MD5_G(a, b, c, d, x5, 5, 0xd62f105du)
        VK_MD5_G(d, a, b, c, x10, 9, 0x02441453u)
        VK_MD5_G(c, d, a, b, x15, 14, 0xd8a1e681u)
        VK_MD5_G(b, c, d, a, x4, 20, 0xe7d3fbc8u)
        VK_MD5_G(a, b, c, d, x9, 5, 0x21e1cde6u)
        VK_MD5_G(d, a, b, c, x14, 9, 0xc33707d6u)
        VK_MD5_G(c, d, a, b, x3, 14, 0xf4d50d87u)
        VK_MD5_G(b, c, d, a, x8, 20, 0x455a14edu)
        VK_MD5_G(a, b, c, d, x13, 5, 0xa9e3e905u)
        VK_MD5_G(d, a, b, c, x2, 9, 0xfcefa3f8u)
        VK_MD5_G(c, d, a, b, x7, 14, 0x676f02d9u)
        VK_MD5_G(b, c, d, a, x12, 20, 0x8d2a4c8au)

        VK_MD5_H(a, b, c, d, x5, 4, 0xfffa3942u)
        VK_MD5_H(d, a, b, c, x8, 11, 0x8771f681u)
        VK_MD5_H(c, d, a, b, x11, 16, 0x6d9d6122u)
        VK_MD5_H(b, c, d, a, x14, 23, 0xfde5380cu)
        VK_MD5_H(a, b, c, d, x1, 4, 0xa4beea44u)
        VK_MD5_H(d, a, b, c, x4, 11, 0x4bdecfa9u)
        VK_MD5_H(c, d, a, b, x7, 16, 0xf6bb4b60u)
        VK_MD5_H(b, c, d, a, x10, 23, 0xbebfbc70u)
        VK_MD5_H(a, b, c, d, x13, 4, 0x289b7ec6u)
        VK_MD5_H(d, a, b, c, x0, 11, 0xeaa127fau)
        VK_MD5_H(c, d, a, b, x3, 16, 0xd4ef3085u)
        VK_MD5_H(b, c, d, a, x6, 23, 0x04881d05u)
        VK_MD5_H(a, b, c, d, x9, 4, 0xd9d4d039u)
        VK_MD5_H(d, a, b, c, x12, 11, 0xe6db99e5u)
        VK_MD5_H(c, d, a, b, x15, 16, 0x1fa27cf8u)
        VK_MD5_H(b, c, d, a, x2, 23, 0xc4ac5665u)

        VK_MD5_I(a, b, c, d, x0, 6, 0xf4292244u)
        VK_MD5_I(d, a, b, c, x7, 10, 0x432aff97u)
        VK_MD5_I(c, d, a, b, x14, 15, 0xab9423a7u)
        VK_MD5_I(b, c, d, a, x5, 21, 0xfc93a039u)
        VK_MD5_I(a, b, c, d, x12, 6, 0x655b59c3u)
        VK_MD5_I(d, a, b, c, x3, 10, 0x8f0ccc92u)
        VK_MD5_I(c, d, a, b, x10, 15, 0xffeff47du)
        VK_MD5_I(b, c, d, a, x1, 21, 0x85845dd1u)
        VK_MD5_I(a, b, c, d, x8, 6, 0x6fa87e4fu)
        VK_MD5_I(d, a, b, c, x15, 10, 0xfe2ce6e0u)
        VK_MD5_I(c, d, a, b, x6, 15, 0xa3014314u)
        VK_MD5_I(b, c, d, a, x13, 21, 0x4e0811a1u)
        VK_MD5_I(a, b, c, d, x4, 6, 0xf7537e82u)
        VK_MD5_I(d, a, b, c, x11, 10, 0xbd3af235u)
        VK_MD5_I(c, d, a, b, x2, 15, 0x2ad7d2bbu)
        VK_MD5_I(b, c, d, a, x9, 21, 0xeb86d391u)

        a += aa;
        b += bb;
        c += cc;
        d += dd;
    }
    state[0] = a;
    state[1] = b;
    state[2] = c;
    state[3] = d;
}

#undef VK_MD5_F
#undef VK_MD5_G
#undef VK_MD5_H
#undef VK_MD5_I

}  // namespace vk::checksum::md5detail
