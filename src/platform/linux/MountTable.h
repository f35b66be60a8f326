#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace vk::platform::linux_ {

struct MountEntry {
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

// Entries of a /proc/self/mountinfo text, mount points unescaped.
std::vector<MountEntry> parseMountInfo(std::string_view text);

// Drive kind of a mount: removable (removable flag or USB bus), CD-ROM (sr*),
// network, RAM disk, fixed (other block devices), unknown; pseudo file systems
// are no drives at all (nullopt).
std::optional<DriveType> classifyMount(const MountEntry& entry);

// Drives of a /proc/self/mountinfo text. The root file system is always one:
// in a plain chroot / is no mount point and has no line of its own.
std::vector<Drive> drivesOfMountInfo(std::string_view text);

// Drives from "PATH|TYPE|READY[|LETTER];..." (the simulation list of $VANDRELKAST_DRIVES).
std::vector<Drive> parseDriveList(std::string_view list);

// $VANDRELKAST_DRIVES when set ("@FILE" reads the list from FILE, one drive
// a line or ';'-separated), else the mounted file systems.
std::vector<Drive> currentDrives();

}  // namespace vk::platform::linux_
