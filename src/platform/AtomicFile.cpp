#include "platform/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/Random.h"

namespace vk::platform {
namespace {

std::string folderOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

int writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

}  // namespace

FileStamp fileStamp(const std::string& path) {
    FileStamp s;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return s;
    s.exists = true;
    s.device = st.st_dev;
    s.inode = st.st_ino;
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.mtimeNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

int readWholeFile(const std::string& path, std::string& out, std::size_t limit) {
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return errno;
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int e = errno;
        ::close(fd);
        return e;
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return EISDIR;
    }
    if (!S_ISREG(st.st_mode)) {
        // FIFOs and devices could block or never end.
        ::close(fd);
        return EINVAL;
    }
    if (static_cast<std::uint64_t>(st.st_size) > limit) {
        ::close(fd);
        return EFBIG;
    }
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (true) {
        if (done == out.size()) {
            // The file may have grown since fstat; read on, within the limit.
            if (out.size() >= limit) {
                char probe;
                ssize_t n = ::read(fd, &probe, 1);
                if (n > 0) {
                    ::close(fd);
                    out.clear();
                    return EFBIG;
                }
                break;
            }
            out.resize(std::min(limit, out.size() + 65536));
        }
        ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            int e = errno;
            ::close(fd);
            out.clear();
            return e;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    out.resize(done);
    ::close(fd);
    return 0;
}

std::string resolveLinkTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::vector<char> buf(PATH_MAX + 1);
        ssize_t n = ::readlink(current.c_str(), buf.data(), PATH_MAX);
        if (n <= 0) return current;
        std::string target(buf.data(), static_cast<std::size_t>(n));
        if (target.front() != '/') target = folderOf(current) + "/" + target;
        current = target;
    }
    return current;
}

namespace {

// Named temporary files carry their writer's process number, so that a later
// writer can tell the leftovers of a killed one: ".NAME.PID.XXXXXX".
std::string tempPrefix(const std::string& base) { return "." + base + "."; }

void removeStaleTemps(int dirFd, const std::string& base) {
    int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return;
    }
    const std::string prefix = tempPrefix(base);
    std::vector<std::string> stale;
    while (dirent* e = ::readdir(dir)) {
        std::string_view name = e->d_name;
        if (!name.starts_with(prefix)) continue;
        std::string_view rest = name.substr(prefix.size());
        std::size_t dot = rest.find('.');
        if (dot == 0 || dot == std::string_view::npos || rest.size() - dot - 1 != 6) continue;
        long pid = 0;
        bool digits = true;
        for (char c : rest.substr(0, dot)) {
            if (c < '0' || c > '9' || pid > 100000000) digits = false;
            pid = pid * 10 + (c - '0');
        }
        if (!digits || pid <= 0) continue;
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        stale.emplace_back(name);
    }
    ::closedir(dir);
    for (const auto& name : stale) {
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode))
            ::unlinkat(dirFd, name.c_str(), 0);
    }
}

std::string randomSuffix() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uint64_t bits = randomBits();
    std::string out;
    for (int i = 0; i < 6; ++i) {
        out.push_back(kChars[bits % 62]);
        bits /= 62;
    }
    return out;
}

// Gives the unnamed file a temporary name in the folder.
int linkTemp(int fd, int dirFd, std::string& name, const std::string& prefix) {
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = prefix + randomSuffix();
        if (::linkat(AT_FDCWD, self.c_str(), dirFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
        if (errno == EEXIST) continue;
        // Without /proc a privileged process can still name it directly.
        if (::linkat(fd, "", dirFd, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
        if (errno == EEXIST) continue;
        return errno;
    }
    return EEXIST;
}

}  // namespace

int atomicReplaceFile(const std::string& pathIn, std::string_view bytes, unsigned newMode) {
    const std::string path = resolveLinkTarget(pathIn);
    const std::string folder = folderOf(path);
    const std::string base = baseOf(path);
    int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return errno;
    removeStaleTemps(dirFd, base);

    struct stat st {};
    bool exists = ::fstatat(dirFd, base.c_str(), &st, 0) == 0;
    mode_t mode;
    if (exists) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = static_cast<mode_t>(newMode) & ~mask;
    }

    // Unnamed until complete, so a writer killed on the way leaves nothing.
    const std::string prefix = tempPrefix(base) + std::to_string(::getpid()) + ".";
    std::string tempName;
    int fd = ::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    bool unnamed = fd >= 0;
    if (!unnamed) {
        std::string tmpl = folder + "/" + prefix + "XXXXXX";
        fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
        if (fd < 0) {
            int e = errno;
            ::close(dirFd);
            return e;
        }
        tempName = baseOf(tmpl);
    }
    auto fail = [&](int e) {
        if (fd >= 0) ::close(fd);
        if (!tempName.empty()) ::unlinkat(dirFd, tempName.c_str(), 0);
        ::close(dirFd);
        return e;
    };
    // A file of another user (root changing a user's store) stays theirs, and
    // one root makes in a user's folder becomes the user's.
    struct stat dirSt {};
    if (!exists && ::geteuid() == 0 && ::fstat(dirFd, &dirSt) == 0 && dirSt.st_uid != 0) {
        exists = true;
        st.st_uid = dirSt.st_uid;
        st.st_gid = dirSt.st_gid;
    }
    if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
    }
    if (::fchmod(fd, mode) != 0) return fail(errno);
    if (int e = writeAll(fd, bytes)) return fail(e);
    if (::fsync(fd) != 0) return fail(errno);
    if (unnamed) {
        if (int e = linkTemp(fd, dirFd, tempName, prefix)) return fail(e);
    }
    if (::close(fd) != 0) {
        fd = -1;
        return fail(errno);
    }
    fd = -1;
    if (::renameat(dirFd, tempName.c_str(), dirFd, base.c_str()) != 0) return fail(errno);
    tempName.clear();
    ::fsync(dirFd);
    ::close(dirFd);
    return 0;
}

bool folderAcceptsNewFiles(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return false;
    std::string tmpl = folder + "/.vkprobe.XXXXXX";
    fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(tmpl.c_str());
    return true;
}

}  // namespace vk::platform
