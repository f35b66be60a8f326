// Digests one file for bench/checksums_vs_md5sum.sh.
//   tool_md5file hasher FILE       Md5Hasher over 1 MiB reads
//   tool_md5file digest-file FILE  Md5::digestFileToHexStr (64-byte blocks, per-block pump)

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "checksum/Md5.h"
#include "platform/EventPump.h"

namespace {

int hashWithHasher(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(path);
        return 1;
    }
    constexpr std::size_t kChunk = 1 << 20;
    auto buf = std::make_unique<std::uint8_t[]>(kChunk);
    vk::checksum::Md5Hasher h;
    for (;;) {
        const ssize_t n = ::read(fd, buf.get(), kChunk);
        if (n < 0) {
            std::perror(path);
            ::close(fd);
            return 1;
        }
        if (n == 0) break;
        h.update(buf.get(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    std::printf("%s\n", h.finishHex().c_str());
    return 0;
}

int hashWithDigestFile(const char* path) {
    vk::platform::NullEventPump pump;  // the per-block pump call is part of what is measured
    vk::checksum::Md5 md5(&pump);
    const std::string hex = md5.digestFileToHexStr(path);
    if (hex.empty()) {
        std::fprintf(stderr, "%s: cannot digest\n", path);
        return 1;
    }
    std::printf("%s\n", hex.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s hasher|digest-file FILE\n", argv[0]);
        return 2;
    }
    if (std::strcmp(argv[1], "hasher") == 0) return hashWithHasher(argv[2]);
    if (std::strcmp(argv[1], "digest-file") == 0) return hashWithDigestFile(argv[2]);
    std::fprintf(stderr, "unknown mode %s\n", argv[1]);
    return 2;
}
