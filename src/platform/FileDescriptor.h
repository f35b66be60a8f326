#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace vk::platform {

// A file's identity on this machine: its device and inode.
struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    static FileId of(const struct stat& st) {
        return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    }
    friend bool operator==(const FileId&, const FileId&) = default;
    friend auto operator<=>(const FileId&, const FileId&) = default;
};

// An open file or directory, closed when it goes. Opening never hands the
// descriptor to child programs (O_CLOEXEC); a failed open leaves an invalid
// descriptor and errno set. Work relative to a directory descriptor never
// follows a symbolic link in the last name, so a swapped entry cannot redirect it.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // A path as given (links in it followed). flags: O_RDONLY, O_WRONLY | O_CREAT, ...
    static FileDescriptor open(const std::string& path, int flags, mode_t mode = 0644);
    static FileDescriptor openDirectory(const std::string& path);

    // An entry of this directory; the name itself is never followed as a link.
    FileDescriptor openAt(const std::string& name, int flags, mode_t mode = 0644) const;
    FileDescriptor openDirectoryAt(const std::string& name) const;

    bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }
    int get() const { return fd_; }
    int release() noexcept;
    void reset(int fd = -1) noexcept;

    // One read, repeated when a signal interrupts it: the bytes read, 0 at the
    // end of the file, -1 on an error.
    std::ptrdiff_t readSome(void* buffer, std::size_t size) const;
    // Fills the buffer as far as the file allows (fewer bytes only at its end); -1 on an error.
    std::ptrdiff_t readFully(void* buffer, std::size_t size) const;
    // The same from an offset, leaving the file position alone.
    std::ptrdiff_t readFullyAt(void* buffer, std::size_t size, std::uint64_t offset) const;
    // Writes every byte, resuming after signals and short writes.
    bool writeAll(const void* buffer, std::size_t size) const;
    bool sync() const;

    bool stat(struct stat& out) const;
    // An entry of this directory, links not followed.
    bool statAt(const std::string& name, struct stat& out) const;
    bool setNonBlocking(bool on) const;

    // The entry at path (a link itself, not its target) is this open file.
    bool isSameFileAs(const std::string& path) const;
    // The same for an entry of an open directory.
    bool isSameFileAt(const FileDescriptor& dir, const std::string& name) const;

    // Makes a folder in this directory; false when anything of that name exists.
    bool makeDirectoryAt(const std::string& name, mode_t mode = 0755) const;

    // Removes a non-directory entry / an empty directory of this directory.
    bool unlinkAt(const std::string& name) const;
    bool removeDirectoryAt(const std::string& name) const;

    // Moves an entry of this directory to toDir/to; never replaces an existing
    // entry, also where the file system lacks an atomic no-replace rename.
    bool renameNoReplaceAt(const std::string& from, const FileDescriptor& toDir, const std::string& to) const;

    // The same for paths relative to the working directory.
    static bool unlink(const std::string& path);
    static bool renameNoReplace(const std::string& from, const std::string& to);

private:
    int fd_ = -1;
};

}  // namespace vk::platform
