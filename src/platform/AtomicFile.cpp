#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

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

int atomicReplaceFile(const std::string& pathIn, std::string_view bytes, unsigned newMode) {
    const std::string path = resolveLinkTarget(pathIn);
    const std::string folder = folderOf(path);
    std::string tmpl = folder + "/." + baseOf(path) + ".XXXXXX";
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    auto fail = [&](int e) {
        ::close(fd);
        ::unlink(tmpl.c_str());
        return e;
    };
    struct stat st {};
    mode_t mode;
    if (::stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = static_cast<mode_t>(newMode) & ~mask;
    }
    if (::fchmod(fd, mode) != 0) return fail(errno);
    if (int e = writeAll(fd, bytes)) return fail(e);
    if (::fsync(fd) != 0) return fail(errno);
    if (::close(fd) != 0) {
        int e = errno;
        ::unlink(tmpl.c_str());
        return e;
    }
    if (::rename(tmpl.c_str(), path.c_str()) != 0) {
        int e = errno;
        ::unlink(tmpl.c_str());
        return e;
    }
    int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return 0;
}

bool folderAcceptsNewFiles(const std::string& folder) {
    std::string tmpl = folder + "/.vkprobe.XXXXXX";
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(tmpl.c_str());
    return true;
}

}  // namespace vk::platform
