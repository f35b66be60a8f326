#include "platform/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "platform/linux/MountTable.h"

namespace vk::platform {
namespace {

bool statNoFollow(const std::string& path, struct stat& st) {
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

std::string joinPath(const std::string& folder, const char* name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::size_t lastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

bool FileSystem::fileExists(const std::string& path) const {
    struct stat st;
    // A link to a file counts, as the scripting runtime follows links here.
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool FileSystem::folderExists(const std::string& path) const {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FileSystem::driveExists(const std::string& drivePath) const {
    auto all = drives();
    return std::any_of(all.begin(), all.end(), [&](const Drive& d) { return d.path == drivePath; });
}

std::vector<Drive> FileSystem::drives() const { return linux_::currentDrives(); }

std::optional<Folder> FileSystem::getFolder(const std::string& path) const {
    int dirFd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return std::nullopt;
    std::unique_ptr<DIR, DirCloser> dir(::fdopendir(dirFd));
    if (!dir) {
        ::close(dirFd);
        return std::nullopt;
    }
    Folder folder;
    folder.path = path;
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir.get())) {
        std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        names.emplace_back(name);
    }
    // Byte order of names: the same tree is always walked the same way.
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        struct stat st;
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            folder.subFolders.push_back(joinPath(path, name.c_str()));
        } else if (S_ISREG(st.st_mode)) {
            folder.files.push_back({joinPath(path, name.c_str()), static_cast<std::uint64_t>(st.st_size),
                                    static_cast<std::uint64_t>(st.st_dev),
                                    static_cast<std::uint64_t>(st.st_ino)});
        }
    }
    return folder;
}

std::optional<FileInfo> FileSystem::getFile(const std::string& path) const {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileInfo{static_cast<std::uint64_t>(st.st_size), st.st_mtime};
}

bool FileSystem::createFolder(const std::string& path) const {
    struct stat st;
    if (statNoFollow(path, st)) return false;
    return ::mkdir(path.c_str(), 0777) == 0;
}

std::string FileSystem::getFileName(const std::string& path) {
    auto sep = lastSeparator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string FileSystem::getExtensionName(const std::string& path) {
    auto name = getFileName(path);
    auto dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

std::string FileSystem::getBaseName(const std::string& path) {
    auto name = getFileName(path);
    auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace vk::platform
