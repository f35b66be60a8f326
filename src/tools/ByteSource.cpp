#include "tools/ByteSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vk::tools {

std::optional<std::uint16_t> ByteSource::u16(std::uint64_t offset) const {
    std::uint8_t b[2];
    if (!read(offset, b, 2)) return std::nullopt;
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::optional<std::uint32_t> ByteSource::u32(std::uint64_t offset) const {
    std::uint8_t b[4];
    if (!read(offset, b, 4)) return std::nullopt;
    return static_cast<std::uint32_t>(b[0]) | (static_cast<std::uint32_t>(b[1]) << 8) |
           (static_cast<std::uint32_t>(b[2]) << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

std::optional<std::string> ByteSource::bytes(std::uint64_t offset, std::size_t n) const {
    // Checked before allocating: a length read from a file may be anything.
    if (offset > size() || n > size() - offset) return std::nullopt;
    std::string out(n, '\0');
    if (n != 0 && !read(offset, out.data(), n)) return std::nullopt;
    return out;
}

bool MemorySource::read(std::uint64_t offset, void* out, std::size_t n) const {
    if (offset > data_.size() || n > data_.size() - offset) return false;
    if (n != 0) std::memcpy(out, data_.data() + offset, n);
    return true;
}

FileSource::FileSource(const std::string& path) {
    // Non-blocking so that a FIFO in the path cannot hang the reader.
    platform::FileDescriptor file = platform::FileDescriptor::open(path, O_RDONLY | O_NONBLOCK);
    struct stat st {};
    if (!file || !file.stat(st) || !S_ISREG(st.st_mode)) return;
    file_ = std::move(file);
    size_ = static_cast<std::uint64_t>(st.st_size);
}

bool FileSource::read(std::uint64_t offset, void* out, std::size_t n) const {
    if (!file_ || offset > size_ || n > size_ - offset) return false;
    return file_.readFullyAt(out, n, offset) == static_cast<std::ptrdiff_t>(n);
}

}  // namespace vk::tools
