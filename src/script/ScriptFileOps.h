#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/WindowsPath.h"

namespace vk::script {

// A path as a script names it, found as Windows would find it: drive letters
// through the target's drives, names without regard to letter case.
platform::ResolvedPath resolveScriptPath(std::string_view scriptPath);

// The console line for a path left alone because its name matches several
// that differ only in letter case.
std::string ambiguousPathNotice(std::string_view written, const platform::ResolvedPath& resolved);

// Sets the file's attributes to normal (makes it writable) and deletes it.
// path is a file-system path (no '\' conversion).
// A final symbolic link is deleted itself, never followed; folders are not
// deleted. False when nothing was deleted.
bool clearAttributesAndDelete(const std::string& path);

// The same for a name relative to a drive's root, as a drive-relative name
// is on Windows: '\' and '/' separate, ".." never climbs above the root, a
// leading separator means the root, no symbolic link on the way is followed,
// and each component is found without regard to letter case. A component
// that matches several names differing only in case leaves the file alone;
// ambiguous then tells where (as resolveScriptPath would).
bool clearAttributesAndDeleteInRoot(const std::string& root, std::string_view relativeName,
                                    platform::ResolvedPath* ambiguous = nullptr);

}  // namespace vk::script
