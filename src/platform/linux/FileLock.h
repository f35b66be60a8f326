#pragma once

#include <string>

namespace vk::platform {

// An exclusive advisory lock (flock) on a file that writers replace by rename.
// The lock is taken on the file the path names at that moment: after waiting
// for the lock it checks that the path still names the locked inode and tries
// again otherwise, so two writers always serialise on the current file.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Opens the file for writing (creating it empty, with createMode less the
    // umask, when missing) and locks it. Opening for writing is the real test
    // of whether this process may write the file. Returns 0 or an errno value.
    int lock(const std::string& path, unsigned createMode = 0666);
    void unlock();
    bool locked() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace vk::platform
