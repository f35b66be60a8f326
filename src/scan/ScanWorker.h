#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/EventPump.h"
#include "scan/FileLoader.h"
#include "scan/SignatureIndex.h"

namespace vk::scan {

// Reads one file and finds its first matching signature, checksumming and
// searching each piece as it arrives. kNoMatch also when the file could not
// be read whole.
std::int64_t examineFile(const SignatureIndex& index, const std::string& path, FileIdentity identity,
                         LoadedFile& file, platform::EventPump* pump);

// Examines some of a folder's files on a second core, in order, while the
// scan works on the others; the scan takes the results one by one and raises
// every event itself, so nothing about them changes.
class ScanWorker {
public:
    struct Job {
        std::string path;
        FileIdentity identity;
    };
    struct Result {
        LoadedFile file;
        std::int64_t hit = SignatureIndex::kNoMatch;
    };

    // pool: buffers kept between folders; borrowed here and all given back at the end.
    ScanWorker(const SignatureIndex& index, std::vector<Job> jobs, std::vector<LoadedFile>& pool);
    ~ScanWorker();
    ScanWorker(const ScanWorker&) = delete;
    ScanWorker& operator=(const ScanWorker&) = delete;

    // The next job's result, in job order; waits for it when needed.
    Result take();
    void recycle(LoadedFile&& spent);

private:
    void run();

    static constexpr std::size_t kAhead = 2;
    const SignatureIndex& index_;
    std::vector<Job> jobs_;
    std::vector<LoadedFile>& pool_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Result> ready_;
    std::vector<LoadedFile> spare_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vk::scan
