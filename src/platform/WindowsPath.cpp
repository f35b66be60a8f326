#include "platform/WindowsPath.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "platform/CaseFold.h"
#include "platform/FileSystem.h"
#include "platform/base/Text.h"

namespace vk::platform {
namespace {

class LocalDriveLetters final : public DriveLetterMap {
public:
    std::optional<std::string> rootOf(char letter) const override {
        for (const Drive& d : FileSystem().drives())
            if (d.letter == letter && !d.path.empty()) return d.path;
        return std::nullopt;
    }
};

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

void appendComponent(std::string& path, std::string_view name) {
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
}

}  // namespace

const DriveLetterMap& localDriveLetters() {
    static const LocalDriveLetters local;
    return local;
}

namespace {
std::atomic<const DriveLetterMap*> g_driveLetters{nullptr};
}

const DriveLetterMap& currentDriveLetters() {
    const DriveLetterMap* map = g_driveLetters.load();
    return map ? *map : localDriveLetters();
}

void setDriveLetterMap(const DriveLetterMap* map) { g_driveLetters.store(map); }

NameMatch lookupName(int dirFd, std::string_view name) {
    NameMatch match;
    if (name.empty() || name.find('\0') != std::string_view::npos) return match;
    std::string wanted(name);
    struct stat st {};
    if (::fstatat(dirFd, wanted.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        match.kind = NameMatch::Kind::Exact;
        match.name = wanted;
        return match;
    }
    int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return match;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return match;
    }
    const std::string folded = foldCase(name);
    while (dirent* e = ::readdir(dir)) {
        std::string_view entry = e->d_name;
        if (entry == "." || entry == "..") continue;
        if (foldCase(entry) == folded) match.candidates.emplace_back(entry);
    }
    ::closedir(dir);
    std::sort(match.candidates.begin(), match.candidates.end());
    if (match.candidates.size() == 1) {
        match.kind = NameMatch::Kind::OtherCase;
        match.name = std::move(match.candidates.front());
        match.candidates.clear();
    } else if (match.candidates.size() > 1) {
        match.kind = NameMatch::Kind::Ambiguous;
    }
    return match;
}

ResolvedPath resolveWindowsPath(std::string_view scriptPath, const DriveLetterMap& drives) {
    ResolvedPath result;
    std::string path(scriptPath);
    std::replace(path.begin(), path.end(), '\\', '/');
    if (path.size() >= 2 && isLetter(path[0]) && path[1] == ':') {
        auto root = drives.rootOf(base::asciiUpper(path[0]));
        if (!root) {
            result.kind = ResolvedPath::Kind::NoDrive;
            return result;
        }
        std::string rest = path.substr(2);
        path = *root;
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        if (!rest.empty()) appendComponent(path, rest.front() == '/' ? std::string_view(rest).substr(1) : rest);
    }
    if (path.empty() || path.find('\0') != std::string::npos) return result;

    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) {
        result.kind = ResolvedPath::Kind::Found;
        result.path = std::move(path);
        return result;
    }

    std::vector<std::string_view> parts;
    std::string_view rest = path;
    while (!rest.empty()) {
        std::size_t cut = rest.find('/');
        std::string_view part = rest.substr(0, cut);
        if (!part.empty() && part != ".") parts.push_back(part);
        if (cut == std::string_view::npos) break;
        rest.remove_prefix(cut + 1);
    }
    const bool absolute = path.front() == '/';
    std::string built = absolute ? "/" : "";
    int dirFd = ::open(absolute ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    auto finish = [&](ResolvedPath::Kind kind, std::size_t from) {
        for (std::size_t i = from; i < parts.size(); ++i) appendComponent(built, parts[i]);
        if (dirFd >= 0) ::close(dirFd);
        result.kind = kind;
        result.path = std::move(built);
        return result;
    };
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (dirFd < 0) return finish(ResolvedPath::Kind::Missing, i);
        NameMatch match = lookupName(dirFd, parts[i]);
        if (match.kind == NameMatch::Kind::Missing) return finish(ResolvedPath::Kind::Missing, i);
        if (match.kind == NameMatch::Kind::Ambiguous) {
            result.ambiguousFolder = built.empty() ? "." : built;
            result.candidates = std::move(match.candidates);
            return finish(ResolvedPath::Kind::Ambiguous, i);
        }
        appendComponent(built, match.name);
        if (i + 1 < parts.size()) {
            int next = ::openat(dirFd, match.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(dirFd);
            dirFd = next;
        }
    }
    return finish(ResolvedPath::Kind::Found, parts.size());
}

std::string joinCandidates(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) {
        if (!out.empty()) out += ", ";
        out += n;
    }
    return out;
}

}  // namespace vk::platform
