#include "platform/FileAttributes.h"

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vk::platform {

bool setFileAttributes(int fd, std::uint32_t attributes) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    std::uint32_t fat = attributes & (ATTR_RO | ATTR_HIDDEN | ATTR_SYS | ATTR_ARCH);
    if (S_ISDIR(st.st_mode)) {
        // Read-only on a folder does not keep Windows from adding files to
        // it, so it does not touch the mode; hidden and system are the ones
        // that count (clearing them is how worms are undone).
        ::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &fat);  // fails harmlessly off FAT
        return true;
    }
    if (!S_ISREG(st.st_mode)) return false;
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & kAttrReadOnly) ? mode & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH) : mode | S_IWUSR;
    bool ok = mode == (st.st_mode & 07777) || ::fchmod(fd, mode) == 0;
    ::ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &fat);  // fails harmlessly off FAT
    return ok;
}

bool setFileAttributesAt(int dirFd, const std::string& name, std::uint32_t attributes) {
    int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    bool ok = setFileAttributes(fd, attributes);
    ::close(fd);
    return ok;
}

}  // namespace vk::platform
