#include "platform/FileDescriptor.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace vk::platform {
namespace {

bool renameNoReplaceBetween(int fromDir, const char* from, int toDir, const char* to) {
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: a hard link refuses an existing name.
    if (::linkat(fromDir, from, toDir, to, 0) == 0) return ::unlinkat(fromDir, from, 0) == 0;
    if (errno != EPERM && errno != EOPNOTSUPP) return false;
    // No hard links either (FAT): check, then rename; the gap between the two is unavoidable there.
    struct stat st;
    return ::fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT &&
           ::renameat(fromDir, from, toDir, to) == 0;
}

}  // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

int FileDescriptor::release() noexcept {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void FileDescriptor::reset(int fd) noexcept {
    if (fd_ >= 0) {
        int saved = errno;
        ::close(fd_);
        errno = saved;
    }
    fd_ = fd;
}

FileDescriptor FileDescriptor::open(const std::string& path, int flags, mode_t mode) {
    return FileDescriptor(::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode));
}

FileDescriptor FileDescriptor::openDirectory(const std::string& path) {
    return open(path, O_RDONLY | O_DIRECTORY);
}

FileDescriptor FileDescriptor::openAt(const std::string& name, int flags, mode_t mode) const {
    return FileDescriptor(::openat(fd_, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, mode));
}

FileDescriptor FileDescriptor::openDirectoryAt(const std::string& name) const {
    return openAt(name, O_RDONLY | O_DIRECTORY);
}

std::ptrdiff_t FileDescriptor::readSome(void* buffer, std::size_t size) const {
    for (;;) {
        ssize_t n = ::read(fd_, buffer, size);
        if (n >= 0 || errno != EINTR) return n;
    }
}

std::ptrdiff_t FileDescriptor::readFully(void* buffer, std::size_t size) const {
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t got = 0;
    while (got < size) {
        std::ptrdiff_t n = readSome(bytes + got, size - got);
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<std::ptrdiff_t>(got);
}

std::ptrdiff_t FileDescriptor::readFullyAt(void* buffer, std::size_t size, std::uint64_t offset) const {
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::pread(fd_, bytes + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<std::ptrdiff_t>(got);
}

bool FileDescriptor::writeAll(const void* buffer, std::size_t size) const {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    while (size > 0) {
        ssize_t n = ::write(fd_, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool FileDescriptor::sync() const { return ::fsync(fd_) == 0; }

bool FileDescriptor::makeDirectoryAt(const std::string& name, mode_t mode) const {
    return ::mkdirat(fd_, name.c_str(), mode) == 0;
}

bool FileDescriptor::stat(struct stat& out) const { return ::fstat(fd_, &out) == 0; }

bool FileDescriptor::statAt(const std::string& name, struct stat& out) const {
    return ::fstatat(fd_, name.c_str(), &out, AT_SYMLINK_NOFOLLOW) == 0;
}

bool FileDescriptor::setNonBlocking(bool on) const {
    int flags = ::fcntl(fd_, F_GETFL);
    if (flags < 0) return false;
    return ::fcntl(fd_, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) == 0;
}

bool FileDescriptor::isSameFileAs(const std::string& path) const {
    struct stat byPath, byFd;
    return ::lstat(path.c_str(), &byPath) == 0 && stat(byFd) && FileId::of(byPath) == FileId::of(byFd);
}

bool FileDescriptor::isSameFileAt(const FileDescriptor& dir, const std::string& name) const {
    struct stat byName, byFd;
    return dir.statAt(name, byName) && stat(byFd) && FileId::of(byName) == FileId::of(byFd);
}

bool FileDescriptor::unlinkAt(const std::string& name) const { return ::unlinkat(fd_, name.c_str(), 0) == 0; }

bool FileDescriptor::removeDirectoryAt(const std::string& name) const {
    return ::unlinkat(fd_, name.c_str(), AT_REMOVEDIR) == 0;
}

bool FileDescriptor::renameNoReplaceAt(const std::string& from, const FileDescriptor& toDir,
                                       const std::string& to) const {
    return renameNoReplaceBetween(fd_, from.c_str(), toDir.fd_, to.c_str());
}

bool FileDescriptor::unlink(const std::string& path) { return ::unlinkat(AT_FDCWD, path.c_str(), 0) == 0; }

bool FileDescriptor::renameNoReplace(const std::string& from, const std::string& to) {
    return renameNoReplaceBetween(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str());
}

}  // namespace vk::platform
