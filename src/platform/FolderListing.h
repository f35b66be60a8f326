#pragma once

#include <string>
#include <vector>

#include "platform/FileDescriptor.h"

namespace vk::platform {

// Folder walking relative to directory descriptors: no path is ever
// resolved again once a folder is open, so no length limit applies and a
// folder swapped for a link cannot lead a walk elsewhere.
struct FolderEntry {
    enum class Kind { File, Folder, Other };  // Other: links, devices, FIFOs, sockets
    std::string name;
    Kind kind = Kind::Other;
};

// The entries of an open folder except "." and "..", in byte order of their names.
// 0 or an errno value (what was read before an error is kept).
int listFolder(const FileDescriptor& folder, std::vector<FolderEntry>& entries);

// The parent of folder, only when it is still the folder with that identity
// (invalid, errno ESTALE, when the tree was moved meanwhile).
FileDescriptor openParentFolder(const FileDescriptor& folder, const FileId& expected);

}  // namespace vk::platform
