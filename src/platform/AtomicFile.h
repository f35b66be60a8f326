#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vk::platform {

// What identifies one version of a file on disk: a replaced file gets a new
// inode, an edited one a new size or time.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;

    bool operator==(const FileStamp&) const = default;
};

// stat() of the path (following symbolic links); exists is false when it
// cannot be stat'ed or is not a regular file.
FileStamp fileStamp(const std::string& path);

// Reads a whole regular file. Returns 0 or an errno value (EFBIG when the file
// is larger than limit, EISDIR for a folder, ENOENT when missing).
int readWholeFile(const std::string& path, std::string& out, std::size_t limit);

// The file a path finally names, following symbolic links, so that replacing
// it keeps the link. The path itself when it is not a link.
std::string resolveLinkTarget(const std::string& path);

// Replaces the file with bytes without a window in which readers see a partial
// file: an unnamed file in the same folder (O_TMPFILE; a named one where the
// file system has none), written and fsync'ed, named and renamed over the
// target, then the folder fsync'ed. A new file gets newMode (less the umask);
// an existing one keeps its mode, owner and group (as far as the process may
// give them); a new one that root makes in another user's folder is that user's. Temporary files left by writers that were killed are removed.
// Returns 0 or an errno value.
int atomicReplaceFile(const std::string& path, std::string_view bytes, unsigned newMode = 0666);

// True when a file can be created in the folder (tried for real, so it also
// holds for root, read-only mounts and immutable folders).
bool folderAcceptsNewFiles(const std::string& folder);

}  // namespace vk::platform
