// The folder walks of the scan engine. Every step opens relative to the
// descriptor of the folder it came from, never through a link, so no path
// length limit applies and a folder swapped for a link leads nowhere; the
// depth is bounded by an explicit stack, not the C++ stack.
#include <cerrno>
#include <cstring>

#include "platform/FileSystem.h"
#include "platform/FolderListing.h"
#include "scan/ScanEngine.h"

namespace vk::scan {
namespace {

using platform::FileDescriptor;
using platform::FolderEntry;

// Beyond this depth ancestors give their descriptors back and are reopened
// through ".." (checked by identity) on the way up.
constexpr std::size_t kOpenLevels = 64;

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Errors that mean the entry is no longer a folder there (removed, replaced
// by a file or a link): nothing of it to scan.
bool isGone(int e) { return e == ENOENT || e == ENOTDIR || e == ELOOP; }

std::vector<std::string> subFoldersOf(const std::vector<FolderEntry>& entries) {
    std::vector<std::string> names;
    for (const auto& e : entries)
        if (e.kind == FolderEntry::Kind::Folder) names.push_back(e.name);
    return names;
}

}  // namespace

struct ScanEngine::Walk {
    struct Frame {
        FileDescriptor fd;  // invalid while given back (deep trees)
        platform::FileId identity;
        std::vector<std::string> subFolders;
        std::size_t next = 0;
        std::size_t pathLength = 0;
    };
};

void ScanEngine::notScanned(const std::string& path, const std::string& reason) {
    ++filesNotScanned_;
    if (events_) events_->fileNotScanned(path, reason);
}

void ScanEngine::scanFilesInFolder(const std::string& path) {
    FileDescriptor folder = FileDescriptor::openDirectory(path);
    if (!folder.valid()) {
        if (!isGone(errno)) notScanned(path, std::strerror(errno));
        return;
    }
    std::vector<FolderEntry> entries;
    if (int e = platform::listFolder(folder, entries)) notScanned(path, std::strerror(e));
    scanFilesIn(folder, path, entries);
}

void ScanEngine::scanFolder(const std::string& path, bool recurse) {
    std::vector<Walk::Frame> stack;
    {
        Walk::Frame root;
        root.fd = FileDescriptor::openDirectory(path);
        struct stat st;
        if (!root.fd.valid() || !root.fd.stat(st)) {
            if (!isGone(errno)) notScanned(path, std::strerror(errno));
            return;
        }
        std::vector<FolderEntry> entries;
        // A folder listed partly is reported once, by scanFilesInFolder.
        platform::listFolder(root.fd, entries);
        root.identity = platform::FileId::of(st);
        root.subFolders = subFoldersOf(entries);
        root.pathLength = path.size();
        stack.push_back(std::move(root));
    }
    std::string current = path;  // for display only; never opened

    while (!stack.empty()) {
        Walk::Frame& top = stack.back();
        if (top.next == top.subFolders.size()) {
            Walk::Frame done = std::move(stack.back());
            stack.pop_back();
            if (stack.empty()) return;
            Walk::Frame& parent = stack.back();
            current.resize(parent.pathLength);
            if (!parent.fd.valid()) {
                parent.fd = platform::openParentFolder(done.fd, parent.identity);
                if (!parent.fd.valid()) {
                    notScanned(current, "moved while it was scanned");
                    return;
                }
            }
            if (!yieldOrStop()) return;
            continue;
        }
        // Stop is honoured before anything new is entered.
        if (stopScanningProcess()) return;
        const std::string name = top.subFolders[top.next++];
        const std::string subPath = joinPath(current, name);
        if (excluded_ && excluded_(subPath, true)) {
            if (!yieldOrStop()) return;
            continue;
        }
        FileDescriptor sub = top.fd.openDirectoryAt(name);
        struct stat st;
        if (!sub.valid() || !sub.stat(st)) {
            if (!isGone(errno)) notScanned(subPath, std::strerror(errno));
            if (!yieldOrStop()) return;
            continue;
        }
        std::vector<FolderEntry> entries;
        if (int e = platform::listFolder(sub, entries)) notScanned(subPath, std::strerror(e));
        scanFilesIn(sub, subPath, entries);
        auto subFolders = subFoldersOf(entries);
        if (!recurse || subFolders.empty() || stopScanningProcess()) {
            if (!yieldOrStop()) return;
            continue;
        }
        if (stack.size() >= kOpenLevels) top.fd.reset();
        Walk::Frame frame;
        frame.fd = std::move(sub);
        frame.identity = platform::FileId::of(st);
        frame.subFolders = std::move(subFolders);
        frame.pathLength = subPath.size();
        current = subPath;
        stack.push_back(std::move(frame));
    }
}

void ScanEngine::scanFilesIn(const FileDescriptor& folder, const std::string& path,
                             const std::vector<FolderEntry>& entries) {
    const bool anySize = fileSizeLimit_ >= 0;
    const std::uint64_t limit = anySize ? static_cast<std::uint64_t>(fileSizeLimit_) * 1048576u : 0;
    for (const auto& entry : entries) {
        if (entry.kind != FolderEntry::Kind::File) continue;
        const std::string filePath = joinPath(path, entry.name);
        struct stat st;
        if (!folder.statAt(entry.name, st)) {
            if (!isGone(errno)) notScanned(filePath, std::strerror(errno));
        } else if (S_ISREG(st.st_mode) && anySize && static_cast<std::uint64_t>(st.st_size) <= limit &&
                   (!filterFiles_ || isExtensionFiltered(platform::FileSystem::getExtensionName(entry.name))) &&
                   !(excluded_ && excluded_(filePath, false))) {
            platform::FileId identity = platform::FileId::of(st);
            scanEntry(folder, entry.name, filePath, &identity);
        }
        if (!yieldOrStop()) return;
    }
}

void ScanEngine::scanFile(const std::string& path) {
    auto slash = path.rfind('/');
    std::string folderPath = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    FileDescriptor folder = FileDescriptor::openDirectory(folderPath);
    if (!folder.valid() || name.empty()) {
        if (!loaded_) scanEntry(folder, name, path, nullptr);  // the 1027 report is owed all the same
        else if (folder.valid() || !isGone(errno)) notScanned(path, std::strerror(folder.valid() ? EISDIR : errno));
        return;
    }
    scanEntry(folder, name, path, nullptr);
}

}  // namespace vk::scan
