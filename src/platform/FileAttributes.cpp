#include "platform/FileAttributes.h"

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "platform/FileDescriptor.h"

namespace vk::platform {

namespace {

constexpr std::uint32_t kStoredBits = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;
// ntfs-3g shows a file's NTFS attributes as four big-endian bytes.
constexpr const char* kNtfsAttributes = "system.ntfs_attrib_be";
// Files and folders alike, never through a link, never blocking on a FIFO.
constexpr int kOpenEntry = O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;

std::optional<std::uint32_t> ntfsAttributes(int fd) {
    unsigned char b[4];
    if (::fgetxattr(fd, kNtfsAttributes, b, sizeof b) != 4) return std::nullopt;
    return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

bool setNtfsAttributes(int fd, std::uint32_t value) {
    unsigned char b[4] = {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                          static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    return ::fsetxattr(fd, kNtfsAttributes, b, sizeof b, 0) == 0;
}

std::optional<std::uint32_t> fatAttributes(int fd) {
    std::uint32_t value = 0;
    if (::ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &value) != 0) return std::nullopt;
    return value;
}

// Read-only as the write bits, for file systems without an attribute store.
bool setReadOnlyMode(int fd, const struct stat& st, bool readOnly) {
    if (!S_ISREG(st.st_mode)) return true;  // a folder's read-only bit means nothing to Windows either
    mode_t mode = st.st_mode & 07777;
    mode = readOnly ? mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH) : mode | S_IWUSR;
    return mode == (st.st_mode & 07777) || ::fchmod(fd, mode) == 0;
}

}  // namespace

bool setFileAttributes(int fd, std::uint32_t attributes) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) return false;
    const std::uint32_t wanted = attributes & kStoredBits;
    if (auto ntfs = ntfsAttributes(fd)) return setNtfsAttributes(fd, (*ntfs & ~kStoredBits) | wanted);
    if (auto fat = fatAttributes(fd)) {
        std::uint32_t value = (*fat & ~kStoredBits) | wanted;
        return ::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &value) == 0;
    }
    return setReadOnlyMode(fd, st, (attributes & kAttrReadOnly) != 0);
}

bool setFileAttributesAt(int dirFd, const std::string& name, std::uint32_t attributes) {
    FileDescriptor fd(::openat(dirFd, name.c_str(), kOpenEntry));
    return fd && setFileAttributes(fd.get(), attributes);
}

std::optional<std::uint32_t> fileAttributes(int fd) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return std::nullopt;
    const std::uint32_t directory = S_ISDIR(st.st_mode) ? kAttrDirectory : 0;
    if (auto ntfs = ntfsAttributes(fd)) return (*ntfs & kStoredBits) | directory;
    if (auto fat = fatAttributes(fd)) return (*fat & kStoredBits) | directory;
    const bool readOnly = S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    return (readOnly ? kAttrReadOnly : 0) | directory;
}

std::optional<std::uint32_t> fileAttributesAt(int dirFd, const std::string& name) {
    FileDescriptor fd(::openat(dirFd, name.c_str(), kOpenEntry));
    if (!fd) return std::nullopt;
    return fileAttributes(fd.get());
}

}  // namespace vk::platform
