// Checksum kernels on a 64 MiB buffer: the fast CRC-32 against the
// one-lookup-per-byte loop in the same run, MD5 and SHA-256.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "checksum/Crc32.h"
#include "checksum/Crc32Kernels.h"
#include "checksum/Md5.h"
#include "checksum/Sha256.h"

namespace {

constexpr std::size_t kSize = 64u << 20;

const std::vector<std::uint8_t>& buffer() {
    static const std::vector<std::uint8_t> buf = [] {
        std::vector<std::uint8_t> b(kSize);
        std::mt19937_64 rng(42);
        for (std::size_t i = 0; i < b.size(); i += 8) {
            const std::uint64_t v = rng();
            for (int k = 0; k < 8; ++k) b[i + k] = static_cast<std::uint8_t>(v >> (8 * k));
        }
        return b;
    }();
    return buf;
}

void BM_Crc32Fast(benchmark::State& state) {
    const auto& b = buffer();
    for (auto _ : state) benchmark::DoNotOptimize(vk::checksum::Crc32::update(vk::checksum::Crc32::kInitial, b.data(), b.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.size()));
    state.SetLabel(vk::checksum::crc32KernelName());
}

void BM_Crc32Slicing16(benchmark::State& state) {
    const auto& b = buffer();
    for (auto _ : state)
        benchmark::DoNotOptimize(vk::checksum::crc32kernels::slicing16(vk::checksum::Crc32::kInitial, b.data(), b.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.size()));
}

void BM_Crc32ByteLoop(benchmark::State& state) {
    const auto& b = buffer();
    for (auto _ : state) benchmark::DoNotOptimize(vk::checksum::crc32ByteLoop(vk::checksum::Crc32::kInitial, b.data(), b.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.size()));
}

// The scanner's call, with a pump that does nothing: the cost of the random yields.
void BM_ComputeCrc32WithPump(benchmark::State& state) {
    const auto& b = buffer();
    vk::platform::NullEventPump pump;
    for (auto _ : state) benchmark::DoNotOptimize(vk::checksum::computeCrc32(b, &pump));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.size()));
}

void BM_Md5Hasher(benchmark::State& state) {
    const auto& b = buffer();
    for (auto _ : state) {
        vk::checksum::Md5Hasher h;
        h.update(b.data(), b.size());
        benchmark::DoNotOptimize(h.finish());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.size()));
}

// The script object's streaming steps fed one 64-byte block at a time.
void BM_Md5StreamingBlocks(benchmark::State& state) {
    const auto& b = buffer();
    vk::checksum::Md5 md5;
    for (auto _ : state) {
        md5.md5Init();
        for (std::size_t off = 0; off < b.size(); off += 64) md5.md5Update(64, {b.data() + off, 64});
        md5.md5Final();
        benchmark::DoNotOptimize(md5.getValues());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.size()));
}

void BM_Sha256(benchmark::State& state) {
    const auto& b = buffer();
    for (auto _ : state) {
        vk::checksum::Sha256 sha;
        sha.update(b.data(), b.size());
        benchmark::DoNotOptimize(sha.finish());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.size()));
    state.SetLabel(vk::checksum::sha256HardwareAvailable() ? "sha-ni" : "portable");
}

void BM_Sha256Portable(benchmark::State& state) {
    const auto& b = buffer();
    for (auto _ : state) {
        std::uint32_t h[8] = {0x6a09e667u, 0xbb67ae85u, 0x3c6ef372u, 0xa54ff53au,
                              0x510e527fu, 0x9b05688cu, 0x1f83d9abu, 0x5be0cd19u};
        vk::checksum::sha256PortableBlocks(h, b.data(), b.size() / 64);
        benchmark::DoNotOptimize(h);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * b.size()));
}

}  // namespace

BENCHMARK(BM_Crc32Fast)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Crc32Slicing16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Crc32ByteLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ComputeCrc32WithPump)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Md5Hasher)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Md5StreamingBlocks)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sha256)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sha256Portable)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK_MAIN();
