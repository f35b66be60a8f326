#include "platform/FileDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vk::platform {

FileIdentity identityOf(const struct stat& st) {
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

FileDescriptor::~FileDescriptor() { reset(); }

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

int FileDescriptor::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void FileDescriptor::reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

FileDescriptor FileDescriptor::open(const std::string& path, int flags, unsigned mode) {
    return FileDescriptor(::open(path.c_str(), flags | O_CLOEXEC, mode));
}

FileDescriptor FileDescriptor::openAt(const FileDescriptor& dir, const std::string& name, int flags, unsigned mode) {
    return FileDescriptor(::openat(dir.get(), name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode));
}

bool FileDescriptor::stat(struct stat& st) const { return ::fstat(fd_, &st) == 0; }

bool FileDescriptor::statAt(const std::string& name, struct stat& st) const {
    return ::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

long long FileDescriptor::readFully(void* buffer, std::size_t size) const {
    auto* p = static_cast<char*>(buffer);
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd_, p + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(got);
}

long long FileDescriptor::preadFully(void* buffer, std::size_t size, std::uint64_t offset) const {
    auto* p = static_cast<char*>(buffer);
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::pread(fd_, p + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<long long>(got);
}

bool FileDescriptor::writeFully(const void* buffer, std::size_t size) const {
    const auto* p = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = ::write(fd_, p + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool FileDescriptor::sameFileAt(const FileDescriptor& dir, const std::string& name) const {
    struct stat byName, byFd;
    return ::fstatat(dir.get(), name.c_str(), &byName, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd_, &byFd) == 0 &&
           identityOf(byName) == identityOf(byFd);
}

int FileDescriptor::unlinkAt(const std::string& name) const {
    return ::unlinkat(fd_, name.c_str(), 0) == 0 ? 0 : errno;
}

int FileDescriptor::renameNoReplaceAt(const std::string& from, const std::string& to) const {
    if (::renameat2(fd_, from.c_str(), fd_, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without RENAME_NOREPLACE: a hard link refuses an existing name.
    if (::linkat(fd_, from.c_str(), fd_, to.c_str(), 0) == 0) return ::unlinkat(fd_, from.c_str(), 0) == 0 ? 0 : errno;
    if (errno != EPERM && errno != EOPNOTSUPP) return errno;
    struct stat st;
    if (::fstatat(fd_, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
    if (errno != ENOENT) return errno;
    return ::renameat(fd_, from.c_str(), fd_, to.c_str()) == 0 ? 0 : errno;
}

}  // namespace vk::platform
