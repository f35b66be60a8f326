#pragma once

#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace vk::test {

// A real file system in an image file, mounted for one test: NTFS through
// ntfs-3g (FUSE), FAT through a loop mount. skipReason() says why not when
// the machine cannot (no /dev/fuse, no vfat in the kernel, not root).
class LoopFileSystem {
public:
    enum class Kind { Ntfs, Fat };
    explicit LoopFileSystem(Kind kind, std::size_t megabytes = 16);
    ~LoopFileSystem();
    LoopFileSystem(const LoopFileSystem&) = delete;
    LoopFileSystem& operator=(const LoopFileSystem&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& skipReason() const { return skipReason_; }
    const std::filesystem::path& root() const { return mountPoint_; }

private:
    TempDir dir_;
    std::filesystem::path image_;
    std::filesystem::path mountPoint_;
    bool mounted_ = false;
    std::string skipReason_;
};

}  // namespace vk::test
