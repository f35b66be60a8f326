#include "tools/ExecutableRemoval.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/FileAttributes.h"

namespace vk::tools {
namespace {

bool sameFile(const struct stat& st, ExecutableIdentity identity) {
    return S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_dev) == identity.device &&
           static_cast<std::uint64_t>(st.st_ino) == identity.inode;
}

}  // namespace

bool deleteExecutable(const std::string& path, ExecutableIdentity identity) {
    if (!identity.known || path.empty()) return false;
    auto slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return false;
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return false;
    bool deleted = false;
    int fd = ::openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat st {};
    if (fd >= 0 && ::fstat(fd, &st) == 0 && sameFile(st, identity)) {
        // A read-only flag (vfat, ntfs-3g) would refuse the deletion there.
        platform::setFileAttributes(fd, platform::kAttrNormal);
        // Checked again by name right before: the entry must still be this file.
        struct stat now {};
        if (::fstatat(dir, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(now, identity))
            deleted = ::unlinkat(dir, name.c_str(), 0) == 0;
    }
    if (fd >= 0) ::close(fd);
    ::close(dir);
    return deleted;
}

}  // namespace vk::tools
