#include "platform/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vk::platform {

std::optional<std::string> readFileBytes(const std::string& path, std::uint64_t limit) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > limit) {
        ::close(fd);
        return std::nullopt;
    }
    std::string data;
    data.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (true) {
        if (got == data.size()) {
            // The file may have grown since fstat; read on until the end.
            if (data.size() >= limit) break;
            data.resize(std::min<std::uint64_t>(limit, data.size() + 65536));
        }
        ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    data.resize(got);
    return data;
}

}  // namespace vk::platform
