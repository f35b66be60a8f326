#include "scan/ScanWorker.h"

#include <optional>

#include "scan/Md5.h"

namespace vk::scan {

std::int64_t examineFile(const SignatureIndex& index, const std::string& path, FileIdentity identity,
                         LoadedFile& file, platform::EventPump* pump) {
    std::optional<SignatureIndex::Pass> pass;
    loadFile(path, identity, file, [&](std::size_t available, std::size_t size) {
        if (!pass) pass.emplace(index, file.data.get(), size, pump);
        pass->feed(available);
    });
    if (!file.ok || !pass) return SignatureIndex::kNoMatch;
    return pass->finish([&] {
        Md5Hasher md5;
        md5.update(file.data.get(), file.size);
        return md5.finishHex();
    });
}

ScanWorker::ScanWorker(const SignatureIndex& index, std::vector<Job> jobs, std::vector<LoadedFile>& pool)
    : index_(index), jobs_(std::move(jobs)), pool_(pool), spare_(std::move(pool)) {
    pool_.clear();
    thread_ = std::thread([this] { run(); });
}

ScanWorker::~ScanWorker() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
    for (auto& r : ready_) spare_.push_back(std::move(r.file));
    for (auto& f : spare_) f.closeFile();
    pool_ = std::move(spare_);
}

void ScanWorker::run() {
    for (const Job& job : jobs_) {
        Result result;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || ready_.size() < kAhead; });
            if (stopping_) return;
            // The largest spare buffer: growing one means fresh pages to fault in.
            if (!spare_.empty()) {
                std::size_t best = 0;
                for (std::size_t i = 1; i < spare_.size(); ++i)
                    if (spare_[i].capacity > spare_[best].capacity) best = i;
                result.file = std::move(spare_[best]);
                spare_.erase(spare_.begin() + static_cast<std::ptrdiff_t>(best));
            }
        }
        // No pump here: only the scan's own thread may service the window.
        result.hit = examineFile(index_, job.path, job.identity, result.file, nullptr);
        {
            std::lock_guard lock(mutex_);
            ready_.push_back(std::move(result));
        }
        changed_.notify_all();
    }
}

ScanWorker::Result ScanWorker::take() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty(); });
    Result result = std::move(ready_.front());
    ready_.pop_front();
    lock.unlock();
    changed_.notify_all();
    return result;
}

void ScanWorker::recycle(LoadedFile&& spent) {
    spent.closeFile();
    std::lock_guard lock(mutex_);
    if (spare_.size() < 4) spare_.push_back(std::move(spent));
}

}  // namespace vk::scan
