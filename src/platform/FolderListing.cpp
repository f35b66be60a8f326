#include "platform/FolderListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vk::platform {

int listFolder(const FileDescriptor& folder, std::vector<FolderEntry>& entries) {
    // fdopendir takes the descriptor over; the walk keeps its own.
    int copy = ::openat(folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (copy < 0) return errno;
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        int e = errno;
        ::close(copy);
        return e;
    }
    int error = 0;
    while (true) {
        errno = 0;
        dirent* d = ::readdir(dir);
        if (!d) {
            error = errno;
            break;
        }
        std::string name = d->d_name;
        if (name == "." || name == "..") continue;
        FolderEntry entry{std::move(name), FolderEntry::Kind::Other};
        unsigned char type = d->d_type;
        if (type == DT_UNKNOWN) {
            struct stat st;
            if (::fstatat(folder.get(), entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_LNK;
        }
        if (type == DT_REG) entry.kind = FolderEntry::Kind::File;
        else if (type == DT_DIR) entry.kind = FolderEntry::Kind::Folder;
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    // In name order, as the file-system service lists folders: walks repeat
    // the same order whatever the file system's own.
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return error;
}

FileDescriptor openParentFolder(const FileDescriptor& folder, const FileId& expected) {
    // ".." is never a link, so the walk's rule of not following one does not get in the way.
    FileDescriptor parent = folder.openDirectoryAt("..");
    struct stat st;
    if (!parent.valid()) return parent;
    if (!parent.stat(st) || !(FileId::of(st) == expected)) {
        errno = ESTALE;
        return FileDescriptor();
    }
    return parent;
}

}  // namespace vk::platform
