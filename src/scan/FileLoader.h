#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vk::scan {

// One file read whole for scanning. The descriptor stays open so that the
// actions can prove the directory entry still names what was read.
struct LoadedFile {
    int fd = -1;
    std::unique_ptr<std::uint8_t[]> data;
    std::size_t capacity = 0;
    std::size_t size = 0;
    std::int64_t changeStamp = 0;  // ctime in ns when read
    bool ok = false;               // a regular, non-empty file read completely

    LoadedFile() = default;
    LoadedFile(LoadedFile&& other) noexcept;
    LoadedFile& operator=(LoadedFile&& other) noexcept;
    ~LoadedFile();
    void closeFile();
    // Still the same content as when read (nothing wrote to it since).
    bool unchanged() const;
};

struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool known = false;
};

// Opens without following links and without blocking on FIFOs, refuses
// anything but a regular file (and, with a known identity, anything but that
// file), and reads it into into's buffer, growing it without zero-filling.
void loadFile(const std::string& path, FileIdentity expected, LoadedFile& into);

// Reads the files of a folder ahead of the scan on a second thread, in order,
// a bounded number of bytes ahead; the scan takes them one by one.
class FilePrefetcher {
public:
    struct Job {
        std::string path;
        FileIdentity identity;
    };

    explicit FilePrefetcher(std::vector<Job> jobs, std::size_t bytesAhead = 64u << 20);
    ~FilePrefetcher();
    FilePrefetcher(const FilePrefetcher&) = delete;
    FilePrefetcher& operator=(const FilePrefetcher&) = delete;

    // The next file in job order; waits for the reader when needed.
    LoadedFile take();
    // Hands a buffer back for the reader to fill again.
    void recycle(LoadedFile&& spent);

private:
    void run();

    std::vector<Job> jobs_;
    std::size_t bytesAhead_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<LoadedFile> ready_;
    std::vector<LoadedFile> spare_;
    std::size_t readyBytes_ = 0;
    bool stopping_ = false;
    std::thread reader_;
};

}  // namespace vk::scan
