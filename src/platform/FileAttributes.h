#pragma once

#include <cstdint>
#include <string>

namespace vk::platform {

// Windows file attribute bits the program sets.
inline constexpr std::uint32_t kAttrNormal = 0;
inline constexpr std::uint32_t kAttrReadOnly = 1;
inline constexpr std::uint32_t kAttrHidden = 2;
inline constexpr std::uint32_t kAttrSystem = 4;
inline constexpr std::uint32_t kAttrArchive = 32;

// Sets the attributes of an open regular file or folder: read-only maps to
// the write bits of a file (a folder's mode is left alone, as Windows does not
// keep files out of a read-only folder); hidden, system and archive go to the
// FAT attribute ioctl where the file system has one (vfat) and are otherwise
// dropped. False when it is neither a file nor a folder or a file's mode could
// not be changed.
bool setFileAttributes(int fd, std::uint32_t attributes);

// The same for an entry of a folder, never following a symbolic link (a link
// gives false).
bool setFileAttributesAt(int dirFd, const std::string& name, std::uint32_t attributes);

}  // namespace vk::platform
