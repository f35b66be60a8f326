#include "scan/FileLoader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>

namespace vk::scan {

namespace {
constexpr std::size_t kPiece = 256 * 1024;
}

LoadedFile::~LoadedFile() { closeFile(); }

void LoadedFile::closeFile() {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

void loadFile(const std::string& path, FileIdentity expected, LoadedFile& into,
              const std::function<void(std::size_t, std::size_t)>& arrived) {
    into.closeFile();
    into.ok = false;
    into.size = 0;
    into.fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (into.fd < 0) return;
    struct stat st;
    if (::fstat(into.fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        (expected.known && (static_cast<std::uint64_t>(st.st_dev) != expected.device ||
                            static_cast<std::uint64_t>(st.st_ino) != expected.inode)))
        return;
    auto size = static_cast<std::size_t>(st.st_size);
    if (size == 0) return;
    ::posix_fadvise(into.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (size > into.capacity) {
        try {
            into.data = std::make_unique_for_overwrite<std::uint8_t[]>(size);
            into.capacity = size;
        } catch (const std::bad_alloc&) {
            into.data.reset();
            into.capacity = 0;
            return;
        }
    }
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(into.fd, into.data.get() + got, std::min(kPiece, size - got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // a file that shrank while read is not scanned half
        got += static_cast<std::size_t>(n);
        if (arrived) arrived(got, size);
    }
    into.size = size;
    into.ok = true;
}

}  // namespace vk::scan
