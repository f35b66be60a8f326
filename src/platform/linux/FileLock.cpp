#include "platform/linux/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace vk::platform {

FileLock::~FileLock() { unlock(); }

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        unlock();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

int FileLock::lock(const std::string& path, unsigned createMode) {
    unlock();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK,
                        static_cast<mode_t>(createMode));
        if (fd < 0) return errno;
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            int e = S_ISREG(st.st_mode) ? errno : EINVAL;
            ::close(fd);
            return e;
        }
        while (::flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                int e = errno;
                ::close(fd);
                return e;
            }
        }
        struct stat now {};
        if (::stat(path.c_str(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino) {
            fd_ = fd;
            return 0;
        }
        // Replaced while we waited: lock the new file instead.
        ::close(fd);
    }
    return EAGAIN;
}

void FileLock::unlock() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

}  // namespace vk::platform
