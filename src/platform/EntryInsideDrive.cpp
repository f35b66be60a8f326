#include "platform/EntryInsideDrive.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/base/Text.h"

namespace vk::platform {

namespace {

std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = path.size();
        std::string_view part = path.substr(start, end - start);
        if (!part.empty() && part != ".") out.push_back(part);
        start = end + 1;
    }
    return out;
}

std::nullopt_t refuse(std::string* whyNot, const char* reason) {
    if (whyNot) *whyNot = reason;
    return std::nullopt;
}

// The entry's name on the disk: the exact name, else the one entry equal to it
// without regard to case.
std::optional<std::string> nameOnDisk(const FileDescriptor& folder, std::string_view wanted, std::string* whyNot) {
    struct stat st;
    const std::string exact(wanted);
    if (folder.statAt(exact, st)) return exact;
    int copy = ::dup(folder.get());
    if (copy < 0) return std::nullopt;
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return std::nullopt;
    }
    // The copy shares its position with the caller's descriptor: start over.
    ::rewinddir(dir);
    std::optional<std::string> found;
    bool twice = false;
    while (dirent* e = ::readdir(dir)) {
        if (!base::equalsNoCase(e->d_name, wanted)) continue;
        if (found) twice = true;
        found = e->d_name;
    }
    ::closedir(dir);
    if (twice) return refuse(whyNot, "two entries differ only in letter case");
    if (!found) return refuse(whyNot, "not found");
    return found;
}

// The names of a relative drive path, or nullopt with the reason.
std::optional<std::vector<std::string_view>> drivePathNames(std::string_view path, std::string* whyNot) {
    if (path.empty()) return refuse(whyNot, "empty path");
    if (path.find('\0') != std::string_view::npos) return refuse(whyNot, "a NUL in the path");
    if (path.front() == '\\' || path.front() == '/') return refuse(whyNot, "an absolute path");
    if (path.size() >= 2 && path[1] == ':') return refuse(whyNot, "a path on another drive");
    auto parts = components(path);
    if (parts.empty()) return refuse(whyNot, "the drive itself");
    for (auto part : parts)
        if (part == "..") return refuse(whyNot, "a path that climbs out of its folder");
    return parts;
}

}  // namespace

std::optional<EntryInsideDrive> findEntryInsideDrive(const FileDescriptor& root, std::string_view path,
                                                     std::string* whyNot) {
    const auto parts = drivePathNames(base::trim(path, " \t\""), whyNot);
    if (!parts) return std::nullopt;

    FileDescriptor folder(::dup(root.get()));
    for (std::size_t i = 0; i + 1 < parts->size(); ++i) {
        auto name = nameOnDisk(folder, (*parts)[i], whyNot);
        if (!name) return std::nullopt;
        // O_NOFOLLOW with O_DIRECTORY: a link or a file on the way ends here.
        FileDescriptor next = folder.openDirectoryAt(*name);
        if (!next) return refuse(whyNot, "a folder on the way is a link or no folder");
        folder = std::move(next);
    }
    auto last = nameOnDisk(folder, parts->back(), whyNot);
    if (!last) return std::nullopt;
    return EntryInsideDrive{std::move(folder), *last};
}

std::optional<std::string> pathInsideDrive(const std::string& root, std::string_view path, std::string* whyNot) {
    if (root.empty() || root.front() != '/') return refuse(whyNot, "no drive");
    std::string base = root;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    std::string text(path);
    for (char& c : text)
        if (c == '\\') c = '/';
    std::string_view rest = text;
    if (rest.starts_with('/') && !rest.starts_with("//")) {
        // Absolute: only below the drive's own mount point.
        if (base == "/") {
            rest.remove_prefix(1);
        } else if (rest.starts_with(base) && (rest.size() == base.size() || rest[base.size()] == '/')) {
            rest.remove_prefix(base.size());
            while (rest.starts_with('/')) rest.remove_prefix(1);
        } else {
            return refuse(whyNot, "an absolute path off the drive");
        }
    }
    const auto parts = drivePathNames(rest, whyNot);
    if (!parts) return std::nullopt;

    std::string out = base == "/" ? std::string() : base;
    FileDescriptor folder = FileDescriptor::openDirectory(base);
    for (std::size_t i = 0; i < parts->size(); ++i) {
        std::string name((*parts)[i]);
        if (folder) {
            std::string ignored;
            if (auto onDisk = nameOnDisk(folder, name, &ignored)) name = *onDisk;
            else if (ignored != "not found") return refuse(whyNot, ignored.c_str());
        }
        out += '/';
        out += name;
        if (i + 1 == parts->size()) break;
        struct stat st;
        if (folder && folder.statAt(name, st)) {
            // O_NOFOLLOW with O_DIRECTORY: a link or a file on the way ends here.
            FileDescriptor next = folder.openDirectoryAt(name);
            if (!next) return refuse(whyNot, "a folder on the way is a link or no folder");
            folder = std::move(next);
        } else {
            folder = FileDescriptor();  // the rest does not exist yet
        }
    }
    return out;
}

}  // namespace vk::platform
