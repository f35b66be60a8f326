#include "support/LoopFileSystem.h"

#include <sys/mount.h>
#include <unistd.h>

#include <fstream>

#include "support/RunProgram.h"

namespace vk::test {

namespace {

bool executable(const char* path) { return ::access(path, X_OK) == 0; }

}  // namespace

LoopFileSystem::LoopFileSystem(Kind kind, std::size_t megabytes) {
    image_ = dir_ / "image";
    mountPoint_ = dir_ / "mnt";
    std::filesystem::create_directories(mountPoint_);
    { std::ofstream(image_.string()); }
    std::filesystem::resize_file(image_, megabytes * 1024 * 1024);
    if (kind == Kind::Ntfs) {
        if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            skipReason_ = "/dev/fuse cannot be used here";
            return;
        }
        if (!executable("/usr/sbin/mkntfs") || !executable("/usr/bin/ntfs-3g")) {
            skipReason_ = "ntfs-3g is not installed";
            return;
        }
        auto made = runProgram("/usr/sbin/mkntfs", {"-F", "-Q", "-q", image_.string()});
        if (made.status != 0) {
            skipReason_ = "mkntfs failed: " + made.err;
            return;
        }
        auto mount = runProgram("/usr/bin/ntfs-3g", {image_.string(), mountPoint_.string()});
        if (mount.status != 0) {
            skipReason_ = "ntfs-3g could not mount the image: " + mount.err;
            return;
        }
    } else {
        if (::geteuid() != 0) {
            skipReason_ = "a loop mount needs root";
            return;
        }
        if (!executable("/usr/sbin/mkfs.vfat")) {
            skipReason_ = "dosfstools is not installed";
            return;
        }
        if (runProgram("/usr/sbin/mkfs.vfat", {image_.string()}).status != 0) {
            skipReason_ = "mkfs.vfat failed";
            return;
        }
        auto mount = runProgram("/usr/bin/mount", {"-o", "loop", image_.string(), mountPoint_.string()});
        if (mount.status != 0) {
            skipReason_ = "the image could not be mounted as vfat (no vfat in this kernel?): " + mount.err;
            return;
        }
    }
    mounted_ = true;
}

LoopFileSystem::~LoopFileSystem() {
    if (!mounted_) return;
    // Lazily, so a test that left a file open cannot keep the mount behind.
    ::umount2(mountPoint_.c_str(), MNT_DETACH);
}

}  // namespace vk::test
