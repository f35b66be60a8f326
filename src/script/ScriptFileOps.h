#pragma once

#include <string>
#include <string_view>

namespace vk::script {

// Paths in KastScripts use '\' as separators; the file system wants '/'.
std::string toFileSystemPath(std::string_view scriptPath);

// Sets the file's attributes to normal (makes it writable) and deletes it.
// path is a file-system path (no '\' conversion).
// A final symbolic link is deleted itself, never followed; folders are not
// deleted. False when nothing was deleted.
bool clearAttributesAndDelete(const std::string& path);

// The same for a name relative to a drive's root, as a drive-relative name
// is on Windows: '\' and '/' separate, ".." never climbs above the root, a
// leading separator means the root, and no symbolic link on the way is followed.
bool clearAttributesAndDeleteInRoot(const std::string& root, std::string_view relativeName);

}  // namespace vk::script
