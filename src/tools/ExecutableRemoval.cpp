#include "tools/ExecutableRemoval.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "platform/FileAttributes.h"
#include "platform/FileDescriptor.h"

namespace vk::tools {
namespace {

bool sameFile(const struct stat& st, const platform::FileId& identity) {
    return S_ISREG(st.st_mode) && platform::FileId::of(st) == identity;
}

}  // namespace

bool deleteExecutable(const std::string& path, ExecutableIdentity identity) {
    if (!identity || path.empty()) return false;
    auto slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return false;
    platform::FileDescriptor dir = platform::FileDescriptor::openDirectory(folder);
    if (!dir) return false;
    platform::FileDescriptor file = dir.openAt(name, O_RDONLY | O_NONBLOCK);
    struct stat st {};
    if (!file || !file.stat(st) || !sameFile(st, *identity)) return false;
    // A read-only flag (vfat, ntfs-3g) would refuse the deletion there.
    platform::setFileAttributes(file.get(), platform::kAttrNormal);
    // Checked again by name right before: the entry must still be this file.
    struct stat now {};
    return dir.statAt(name, now) && sameFile(now, *identity) && dir.unlinkAt(name);
}

}  // namespace vk::tools
