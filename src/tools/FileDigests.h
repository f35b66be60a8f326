#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace vk::tools {

// The two digests the file information window shows: the program's CRC-32
// (signed, as everywhere in the program) and the MD5 in upper-case hex.
struct FileDigests {
    std::int32_t crc32 = 0;
    std::string md5;
};

// Both digests in one pass over the file, read in pieces so that a file of
// any size costs a fixed amount of memory. Safe to run on a worker thread;
// nullopt when the file cannot be read or cancel was set meanwhile.
std::optional<FileDigests> computeFileDigests(const std::string& path, const std::atomic<bool>* cancel = nullptr);

}  // namespace vk::tools
