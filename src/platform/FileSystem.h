#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace vk::platform {

// Drive kinds (Scripting runtime numbers).
enum class DriveType : int { Unknown = 0, Removable = 1, Fixed = 2, Network = 3, CdRom = 4, RamDisk = 5 };

struct Drive {
    std::string path;  // the mount point
    DriveType type = DriveType::Unknown;
    bool isReady = false;
    // The letter Windows paths name the drive by ('C'), 0 for none: mounted
    // file systems have none; a target or the simulation list may give one.
    char letter = 0;
};

struct FileEntry {
    std::string path;  // full path
    std::uint64_t size = 0;
    std::uint64_t device = 0;  // identity of the entry that was listed
    std::uint64_t inode = 0;
};

struct Folder {
    std::string path;
    std::vector<std::string> subFolders;  // full paths, symbolic links excluded
    std::vector<FileEntry> files;         // regular files only: no links, FIFOs, sockets, devices
};

struct FileInfo {
    std::uint64_t size = 0;
    std::time_t dateLastModified = 0;
};

// The drive, folder and file questions of the whole program. Walks never
// follow symbolic links and never list special files.
class FileSystem {
public:
    bool fileExists(const std::string& path) const;
    bool folderExists(const std::string& path) const;
    // False once the drive has gone (its mount point is no longer mounted).
    bool driveExists(const std::string& drivePath) const;
    // Mounted file systems, or $VANDRELKAST_DRIVES ("PATH|TYPE|READY[|LETTER];...").
    std::vector<Drive> drives() const;
    // nullopt when the folder is missing or cannot be listed.
    std::optional<Folder> getFolder(const std::string& path) const;
    std::optional<FileInfo> getFile(const std::string& path) const;
    // False when anything of that name already exists or it cannot be made.
    bool createFolder(const std::string& path) const;

    // Name helpers; both '/' and '\' separate components.
    static std::string getExtensionName(const std::string& path);
    static std::string getBaseName(const std::string& path);
    static std::string getFileName(const std::string& path);
};

}  // namespace vk::platform
