#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vk::scan {

// One file read whole for scanning. The descriptor stays open so that the
// actions can prove the directory entry still names what was read.
struct LoadedFile {
    int fd = -1;
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t capacity = 0;
    std::size_t size = 0;
    bool ok = false;  // a regular, non-empty file read completely

    LoadedFile() = default;
    LoadedFile(const LoadedFile&) = delete;
    LoadedFile& operator=(const LoadedFile&) = delete;
    ~LoadedFile();
    void closeFile();
};

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool known = false;
};

// Opens without following links and without blocking on FIFOs, refuses
// anything but a regular file (and, with a known identity, anything but that
// file), and reads it into into's buffer, growing it without zero-filling.
// It reads in pieces small enough to stay in the cache and calls
// arrived(bytes in the buffer, file size) after each, so the caller can work
// on a piece while it is still there.
void loadFile(const std::string& path, FileIdentity expected, LoadedFile& into,
              const std::function<void(std::size_t, std::size_t)>& arrived = {});

}  // namespace vk::scan
