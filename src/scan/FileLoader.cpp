#include "scan/FileLoader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <new>

namespace vk::scan {
namespace {

std::int64_t changeStampOf(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
}

bool readAll(int fd, std::uint8_t* buf, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, buf + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

LoadedFile::LoadedFile(LoadedFile&& other) noexcept { *this = std::move(other); }

LoadedFile& LoadedFile::operator=(LoadedFile&& other) noexcept {
    if (this != &other) {
        closeFile();
        fd = other.fd;
        data = std::move(other.data);
        capacity = other.capacity;
        size = other.size;
        changeStamp = other.changeStamp;
        ok = other.ok;
        other.fd = -1;
        other.capacity = other.size = 0;
        other.ok = false;
    }
    return *this;
}

LoadedFile::~LoadedFile() { closeFile(); }

void LoadedFile::closeFile() {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

bool LoadedFile::unchanged() const {
    struct stat st;
    return fd >= 0 && ::fstat(fd, &st) == 0 && static_cast<std::size_t>(st.st_size) == size &&
           changeStampOf(st) == changeStamp;
}

void loadFile(const std::string& path, FileIdentity expected, LoadedFile& into) {
    into.closeFile();
    into.ok = false;
    into.size = 0;
    into.fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (into.fd < 0) return;
    struct stat st;
    if (::fstat(into.fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        (expected.known && (static_cast<std::uint64_t>(st.st_dev) != expected.device ||
                            static_cast<std::uint64_t>(st.st_ino) != expected.inode)))
        return;
    auto size = static_cast<std::size_t>(st.st_size);
    if (size == 0) return;
    ::posix_fadvise(into.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (size > into.capacity) {
        try {
            into.data = std::make_unique_for_overwrite<std::uint8_t[]>(size);
            into.capacity = size;
        } catch (const std::bad_alloc&) {
            into.data.reset();
            into.capacity = 0;
            return;
        }
    }
    if (!readAll(into.fd, into.data.get(), size)) return;
    into.size = size;
    into.changeStamp = changeStampOf(st);
    into.ok = true;
}

FilePrefetcher::FilePrefetcher(std::vector<Job> jobs, std::size_t bytesAhead)
    : jobs_(std::move(jobs)), bytesAhead_(bytesAhead), reader_([this] { run(); }) {}

FilePrefetcher::~FilePrefetcher() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    reader_.join();
}

void FilePrefetcher::run() {
    for (const Job& job : jobs_) {
        LoadedFile file;
        {
            std::unique_lock lock(mutex_);
            // At least one file is always allowed ahead, however large.
            changed_.wait(lock, [&] { return stopping_ || ready_.empty() || readyBytes_ < bytesAhead_; });
            if (stopping_) return;
            // The largest spare buffer: growing one means fresh pages to fault in.
            if (!spare_.empty()) {
                std::size_t best = 0;
                for (std::size_t i = 1; i < spare_.size(); ++i)
                    if (spare_[i].capacity > spare_[best].capacity) best = i;
                file = std::move(spare_[best]);
                spare_.erase(spare_.begin() + static_cast<std::ptrdiff_t>(best));
            }
        }
        loadFile(job.path, job.identity, file);
        {
            std::lock_guard lock(mutex_);
            readyBytes_ += file.size;
            ready_.push_back(std::move(file));
        }
        changed_.notify_all();
    }
}

LoadedFile FilePrefetcher::take() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty(); });
    LoadedFile file = std::move(ready_.front());
    ready_.pop_front();
    readyBytes_ -= file.size;
    lock.unlock();
    changed_.notify_all();
    return file;
}

void FilePrefetcher::recycle(LoadedFile&& spent) {
    spent.closeFile();
    std::lock_guard lock(mutex_);
    if (spare_.size() < 8) spare_.push_back(std::move(spent));
}

}  // namespace vk::scan
