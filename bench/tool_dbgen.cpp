// Writes a signature database of N generated signatures (half checksum,
// half byte string) for load benchmarks: tool_dbgen N OUT.dat [SEED]
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "platform/AtomicFile.h"
#include "scan/DatabaseFile.h"
#include "scan/SignatureDatabase.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tool_dbgen N OUT.dat [SEED]\n");
        return 2;
    }
    long n = std::atol(argv[1]);
    std::mt19937_64 rng(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1);
    std::vector<vk::scan::SignatureEntry> entries;
    entries.reserve(static_cast<std::size_t>(n));
    const char hex[] = "0123456789ABCDEF";
    for (long i = 0; i < n; ++i) {
        vk::scan::SignatureEntry e;
        e.name = "Bench.Generated." + std::to_string(i + 1);
        if (i % 2 == 0) {
            e.crc32 = static_cast<std::int32_t>(static_cast<std::uint32_t>(rng()) | 1u);
            for (int k = 0; k < 32; ++k) e.md5.push_back(hex[rng() & 15]);
            e.useStringDetection = false;
        } else {
            int len = 12 + static_cast<int>(rng() % 20);
            for (int k = 0; k < len; ++k) e.stringSignature.push_back(static_cast<char>('A' + rng() % 26));
        }
        entries.push_back(std::move(e));
    }
    vk::scan::DatabaseMain main{"bench", "1.4.0", {2026, 12, 1}, 0};
    std::string file = vk::scan::buildDatabaseFile(vk::scan::formatPayload(main, entries));
    if (vk::platform::atomicReplaceFile(argv[2], file) != 0) {
        std::perror(argv[2]);
        return 2;
    }
    std::printf("%s: %ld signatures, %zu bytes\n", argv[2], n, file.size());
    return 0;
}
