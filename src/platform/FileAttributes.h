#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vk::platform {

// Windows file attribute bits the program sets.
inline constexpr std::uint32_t kAttrNormal = 0;
inline constexpr std::uint32_t kAttrReadOnly = 1;
inline constexpr std::uint32_t kAttrHidden = 2;
inline constexpr std::uint32_t kAttrSystem = 4;
inline constexpr std::uint32_t kAttrDirectory = 16;
inline constexpr std::uint32_t kAttrArchive = 32;

// Sets the attributes of an open file or folder. Hidden, system, archive and
// read-only are stored where the file system keeps them: the FAT attribute
// ioctls on vfat, the system.ntfs_attrib_be attribute on ntfs-3g. Elsewhere
// read-only maps to a file's write bits and the other bits are dropped.
// False when nothing of the request could be stored.
bool setFileAttributes(int fd, std::uint32_t attributes);

// The same for an entry of a folder, never following a symbolic link (false
// for a link, a FIFO or a device).
bool setFileAttributesAt(int dirFd, const std::string& name, std::uint32_t attributes);

// The attributes as stored (kAttrDirectory for folders; read-only from the
// write bits where the file system has no attribute store); nullopt on error.
std::optional<std::uint32_t> fileAttributes(int fd);
std::optional<std::uint32_t> fileAttributesAt(int dirFd, const std::string& name);

}  // namespace vk::platform
