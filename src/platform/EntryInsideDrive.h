#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/FileDescriptor.h"

namespace vk::platform {

// An entry that a drive's own files name (autorun.inf's Open=, a shortcut's
// target), found inside that drive and nowhere else: the folder that holds it,
// open, and the entry's name as it is on the disk.
struct EntryInsideDrive {
    FileDescriptor folder;
    std::string name;
};

// Resolves a relative Windows-style path ("\" or "/" between names, names
// matched without regard to letter case where the exact name is missing)
// below the open root folder. Refused, with the reason in whyNot: an absolute
// path, a drive letter or network path (the stick's letter on the infected
// machine is unknown), any ".." component, a folder on the way that is a
// symbolic link or not a folder, a name that matches two entries, a missing
// entry. The last name itself is not followed either: the caller looks at it
// with statAt and acts with unlinkAt.
std::optional<EntryInsideDrive> findEntryInsideDrive(const FileDescriptor& root, std::string_view path,
                                                     std::string* whyNot = nullptr);

// The same rules for a path a script is given to act on later: where the path
// lies on the drive mounted at root, or nullopt when it may lie anywhere else.
// An absolute path is taken when it lies below root. Names on the way are
// matched as above; names that do not exist (yet) are kept as written, so the
// result need not exist. The result is root + "/" + the names.
std::optional<std::string> pathInsideDrive(const std::string& root, std::string_view path,
                                           std::string* whyNot = nullptr);

}  // namespace vk::platform
