#include "tools/FileDigests.h"

#include <vector>

#include "checksum/Crc32.h"
#include "checksum/Md5.h"
#include "tools/ByteSource.h"

namespace vk::tools {

std::optional<FileDigests> computeFileDigests(const std::string& path, const std::atomic<bool>* cancel) {
    FileSource file(path);
    if (!file.isOpen()) return std::nullopt;
    constexpr std::size_t kPiece = 1u << 20;
    std::vector<std::uint8_t> buffer(kPiece);
    std::uint32_t crc = checksum::Crc32::kInitial;
    checksum::Md5Hasher md5;
    const std::uint64_t size = file.size();
    for (std::uint64_t at = 0; at < size; at += kPiece) {
        if (cancel && cancel->load(std::memory_order_relaxed)) return std::nullopt;
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, size - at));
        if (!file.read(at, buffer.data(), n)) return std::nullopt;
        crc = checksum::Crc32::update(crc, buffer.data(), n);
        md5.update(buffer.data(), n);
    }
    return FileDigests{static_cast<std::int32_t>(crc), md5.finishHex()};
}

}  // namespace vk::tools
