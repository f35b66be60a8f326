#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace vk::platform {

// Device and inode: what names one file whatever path led to it.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

FileIdentity identityOf(const struct stat& st);

// An owned file descriptor, closed with the object.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset();

    // open(2) of a path; errno tells why when the result is not valid.
    static FileDescriptor open(const std::string& path, int flags, unsigned mode = 0);
    // An entry of the folder dir, never following a symbolic link at the
    // last step (O_NOFOLLOW added).
    static FileDescriptor openAt(const FileDescriptor& dir, const std::string& name, int flags, unsigned mode = 0);

    // fstat; false with errno set.
    bool stat(struct stat& st) const;
    // An entry of this folder, a link itself rather than what it names.
    bool statAt(const std::string& name, struct stat& st) const;
    // Reads until size bytes or end of file, retrying on EINTR; -1 on error.
    long long readFully(void* buffer, std::size_t size) const;
    // The same at an offset, without moving the file position.
    long long preadFully(void* buffer, std::size_t size, std::uint64_t offset) const;
    // Writes everything, retrying on EINTR; false with errno set.
    bool writeFully(const void* buffer, std::size_t size) const;

    // The folder's entry name still names the file this descriptor reads
    // (lstat-like: a link in its place is another file).
    bool sameFileAt(const FileDescriptor& dir, const std::string& name) const;
    // unlinkat / renameat2 relative to this folder; 0 or an errno value.
    int unlinkAt(const std::string& name) const;
    // Never replaces an existing entry.
    int renameNoReplaceAt(const std::string& from, const std::string& to) const;

private:
    int fd_ = -1;
};

}  // namespace vk::platform
