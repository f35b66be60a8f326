#include "platform/Random.h"

#include <random>

namespace vk::platform {
namespace {

// xoshiro256** (Blackman and Vigna).
struct Xoshiro {
    std::uint64_t s[4];
    Xoshiro() {
        std::random_device rd;
        for (auto& w : s) w = (static_cast<std::uint64_t>(rd()) << 32) ^ rd();
        if (!(s[0] | s[1] | s[2] | s[3])) s[0] = 1;
    }
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t next() {
        std::uint64_t result = rotl(s[1] * 5, 7) * 9;
        std::uint64_t t = s[1] << 17;
        s[2] ^= s[0];
        s[3] ^= s[1];
        s[1] ^= s[2];
        s[0] ^= s[3];
        s[2] ^= t;
        s[3] = rotl(s[3], 45);
        return result;
    }
};

Xoshiro& generator() {
    thread_local Xoshiro g;
    return g;
}

}  // namespace

std::uint64_t randomBits() { return generator().next(); }

double randomUnit() { return static_cast<double>(randomBits() >> 11) * 0x1.0p-53; }

}  // namespace vk::platform
