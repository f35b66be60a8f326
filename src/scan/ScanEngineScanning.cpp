// The scanning half of the scan engine: walks, the extension filter, the
// one-pass match and the actions on a detected file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <optional>

#include "platform/FileAttributes.h"
#include "platform/FileSystem.h"
#include "scan/ScanEngine.h"
#include "scan/ScanEngineErrors.h"

namespace vk::scan {
namespace {

std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view trimBlanks(std::string_view s) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The directory entry still names the file that was read.
bool sameEntry(const std::string& path, int fd) {
    struct stat byPath, byFd;
    return ::lstat(path.c_str(), &byPath) == 0 && ::fstat(fd, &byFd) == 0 && byPath.st_dev == byFd.st_dev &&
           byPath.st_ino == byFd.st_ino;
}

// MoveFile semantics: never replaces an existing file.
bool renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without RENAME_NOREPLACE: a hard link refuses an existing name.
    if (::link(from.c_str(), to.c_str()) == 0) return ::unlink(from.c_str()) == 0;
    if (errno != EPERM && errno != EOPNOTSUPP) return false;
    struct stat st;
    return ::lstat(to.c_str(), &st) != 0 && errno == ENOENT && ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

void ScanEngine::setFilter(std::string_view extensions) { filter_ = std::string(trimBlanks(extensions)); }

void ScanEngine::setStopScanningProcess(bool stop) {
    stop_.store(stop, std::memory_order_relaxed);
    md5_.cancelDigest.store(stop, std::memory_order_relaxed);
}

void ScanEngine::resetScanningStatistics() {
    detections_ = filesScanned_ = filesHealed_ = filesRenamed_ = filesDeleted_ = 0;
    bytesScanned_ = 0;
}

bool ScanEngine::isExtensionFiltered(std::string_view extension) const {
    std::string wanted = lowerAscii(extension);
    std::string_view rest = filter_;
    while (true) {
        auto semi = rest.find(';');
        std::string_view part = rest.substr(0, semi);
        if (lowerAscii(part) == wanted) return true;
        if (semi == std::string_view::npos) return false;
        rest.remove_prefix(semi + 1);
    }
}

bool ScanEngine::yieldOrStop() {
    if (stopScanningProcess()) return false;
    if (pump_) pump_->pump();
    return true;
}

void ScanEngine::scanFolder(const std::string& path, bool recurse) {
    platform::FileSystem fs;
    auto folder = fs.getFolder(path);
    if (!folder) return;
    for (const auto& sub : folder->subFolders) {
        scanFilesInFolder(sub);
        if (recurse) scanFolder(sub, true);
        if (!yieldOrStop()) return;
    }
}

void ScanEngine::scanFilesInFolder(const std::string& path) {
    platform::FileSystem fs;
    auto folder = fs.getFolder(path);
    if (!folder) return;
    const bool anySize = fileSizeLimit_ >= 0;
    const std::uint64_t limit = anySize ? static_cast<std::uint64_t>(fileSizeLimit_) * 1048576u : 0;
    for (const auto& file : folder->files) {
        if (anySize && file.size <= limit &&
            (!filterFiles_ || isExtensionFiltered(platform::FileSystem::getExtensionName(file.path))))
            scanEntry(file.path, {file.device, file.inode, true});
        if (!yieldOrStop()) return;
    }
}

void ScanEngine::scanFile(const std::string& path) { scanEntry(path, {}); }

void ScanEngine::scanEntry(const std::string& path, FileIdentity expected) {
    if (!loaded_) {
        raiseError(kErrDatabaseNotLoaded,
                   "Unable to scan the file \"" + path + "\". The virus database is not loaded.");
    }
    if (events_) events_->scanningProgress(path);
    ++filesScanned_;
    if (!loaded_) return;

    // Checksummed and searched piece by piece as the file is read: each piece
    // is worked on while it is still in the cache, and the file is read once.
    std::optional<SignatureIndex::Pass> pass;
    loadFile(path, expected, current_, [&](std::size_t available, std::size_t size) {
        if (!pass) pass.emplace(index_, current_.data.get(), size, pump_);
        pass->feed(available);
    });
    if (current_.ok && pass) {
        bytesScanned_ += current_.size;
        std::int64_t hit = pass->finish([&] {
            checksum::Md5Hasher md5;
            md5.update(current_.data.get(), current_.size);
            return md5.finishHex();
        });
        if (hit != SignatureIndex::kNoMatch) actOn(path, entries_[static_cast<std::size_t>(hit)]);
    }
    current_.closeFile();
}

void ScanEngine::actOn(const std::string& path, const SignatureEntry& entry) {
    ++detections_;
    farwatchLog_.push_back({entry.name, path});
    std::int32_t action = 0;
    if (neutralizeMethods_ == 0) {
        if (events_) events_->virusDetected(path, entry.name, action);
    } else if (neutralizeMethods_ >= 1 && neutralizeMethods_ <= 3) {
        action = neutralizeMethods_;
    }
    bool done = neutralize(path, current_.fd, action);
    // Counted whether or not the file operation worked.
    if (action == 1) ++filesHealed_;
    if (action == 2) ++filesDeleted_;
    if (action == 3) ++filesRenamed_;
    if (events_) events_->detectionHandled(path, entry.name, action, done);
}

bool ScanEngine::neutralize(const std::string& path, int fd, std::int32_t action) {
    if (action < 1 || action > 3) return true;
    // The entry may have been swapped for something else since it was read.
    if (!sameEntry(path, fd)) return false;
    if (action == 3) return renameNoReplace(path, path + ".vir");
    platform::setFileAttributes(fd, platform::kAttrNormal);
    return sameEntry(path, fd) && ::unlink(path.c_str()) == 0;
}

}  // namespace vk::scan
