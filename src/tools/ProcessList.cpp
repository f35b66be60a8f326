#include "tools/ProcessList.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <optional>
#include <thread>

#include "platform/CaseFold.h"
#include "platform/FileDescriptor.h"
#include "tools/WineProgram.h"

namespace vk::tools {
namespace {

// SIGKILL normally ends a process at once; one stuck in the kernel (a hung
// NFS read) may take a while, and then it is not reported as ended.
constexpr int kKillWaitMs = 3000;

constexpr std::string_view kDeletedSuffix = " (deleted)";

std::optional<std::string> readExeLink(const std::string& procDir) {
    std::string link = procDir + "/exe";
    std::string buffer(256, '\0');
    while (true) {
        ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
        if (n <= 0) return std::nullopt;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            return buffer;
        }
        if (buffer.size() >= 65536) return std::nullopt;
        buffer.resize(buffer.size() * 2);
    }
}

struct StatFields {
    char state = '?';
    std::uint64_t startTime = 0;
};

// nullopt when the process is gone (or its stat cannot be read).
std::optional<StatFields> readStat(std::uint32_t pid) {
    std::string file = "/proc/" + std::to_string(pid) + "/stat";
    auto read = readProcFile(file, 1023);
    if (!read) return std::nullopt;
    const std::string& text = *read;
    // The command name may itself hold ')' and blanks: fields follow the last ')'.
    auto close = text.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    StatFields fields;
    std::size_t pos = close + 1;
    int field = 2;
    while (pos < text.size()) {
        while (pos < text.size() && text[pos] == ' ') ++pos;
        std::size_t end = text.find(' ', pos);
        if (end == std::string::npos) end = text.size();
        if (pos >= end) break;
        ++field;
        std::string token = text.substr(pos, end - pos);
        if (field == 3) fields.state = token[0];
        if (field == 22) {
            fields.startTime = std::strtoull(token.c_str(), nullptr, 10);
            break;
        }
        pos = end;
    }
    return fields;
}

// The file the process runs, through its exe link (even once that file's name has gone).
ExecutableIdentity executableOf(const std::string& procDir) {
    struct stat st {};
    if (::stat((procDir + "/exe").c_str(), &st) != 0) return std::nullopt;
    return platform::FileId::of(st);
}

bool hasEnded(std::uint32_t pid) {
    auto stat = readStat(pid);
    return !stat || stat->state == 'Z' || stat->state == 'X';
}

int pidfdOpen(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

int pidfdSendSignal(int fd, int sig) {
#ifdef SYS_pidfd_send_signal
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, fd, sig, nullptr, 0));
#else
    (void)fd;
    (void)sig;
    errno = ENOSYS;
    return -1;
#endif
}

// Ends pid; with expectedStart, only if the process still is the one recorded.
bool endProcess(std::uint32_t processId, std::optional<std::uint64_t> expectedStart) {
    // 0 and negative numbers would signal process groups or everything.
    if (processId == 0 || processId > static_cast<std::uint32_t>(INT_MAX)) return false;
    auto pid = static_cast<pid_t>(processId);
    if (pid == ::getpid()) return false;

    platform::FileDescriptor fd(pidfdOpen(pid));
    if (!fd && errno != ENOSYS) return false;

    // With the descriptor held, a later reuse of the number cannot be hit.
    if (expectedStart) {
        auto stat = readStat(processId);
        if (!stat || stat->startTime != *expectedStart) return false;
    }

    if (fd) {
        if (pidfdSendSignal(fd.get(), SIGKILL) != 0) return false;
        pollfd p{fd.get(), POLLIN, 0};
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kKillWaitMs);
        bool ended = false;
        while (true) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            int r = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, left.count())));
            if (r > 0) {
                ended = true;
                break;
            }
            if (r == 0 || errno != EINTR) break;
        }
        return ended;
    }

    // Kernels without process descriptors.
    if (::kill(pid, SIGKILL) != 0) return false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kKillWaitMs);
    while (!hasEnded(processId)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace

ProcessList::ProcessList(platform::EventPump* pump) : pump_(pump) { refresh(); }

void ProcessList::refresh() {
    entries_.clear();
    count_ = 0;
    if (DIR* dir = ::opendir("/proc")) {
        while (dirent* e = ::readdir(dir)) {
            const char* name = e->d_name;
            if (*name < '1' || *name > '9') continue;
            char* end = nullptr;
            unsigned long id = std::strtoul(name, &end, 10);
            if (*end != '\0' || id > UINT32_MAX) continue;
            if (pump_) pump_->pump();
            std::string procDir = std::string("/proc/") + name;
            // Kernel threads have no executable; others' processes refuse us.
            auto path = readExeLink(procDir);
            if (!path) continue;
            auto stat = readStat(static_cast<std::uint32_t>(id));
            if (!stat) continue;
            // The file's link count tells a deleted program from one whose name ends so.
            struct stat image {};
            bool deleted = path->ends_with(kDeletedSuffix) && ::stat((procDir + "/exe").c_str(), &image) == 0 &&
                           image.st_nlink == 0;
            Entry entry{static_cast<std::uint32_t>(id), std::move(*path), stat->startTime, executableOf(procDir),
                        deleted};
            // Under Wine the file that matters is the Windows program, not the loader.
            std::string_view loader = entry.path;
            if (entry.deleted) loader.remove_suffix(kDeletedSuffix.size());
            if (auto program = wineProgramPath(procDir, std::string(loader))) {
                struct stat file {};
                entry.path = std::move(*program);
                entry.deleted = false;
                entry.executable = ::lstat(entry.path.c_str(), &file) == 0
                                       ? ExecutableIdentity(platform::FileId::of(file))
                                       : std::nullopt;
            }
            entries_.push_back(std::move(entry));
        }
        ::closedir(dir);
    }
    if (entries_.empty()) {
        entries_.push_back({});
        count_ = 0;
    } else {
        count_ = static_cast<std::int32_t>(std::min<std::size_t>(entries_.size() - 1, INT32_MAX));
    }
}

const ProcessList::Entry* ProcessList::entryAt(std::int64_t index) const {
    if (index < 0 || index > count_ || static_cast<std::size_t>(index) >= entries_.size()) {
        return nullptr;
    }
    return &entries_[static_cast<std::size_t>(index)];
}

std::uint32_t ProcessList::processID(std::int64_t index) const {
    const Entry* e = entryAt(index);
    return e ? e->id : 0;
}

std::string ProcessList::exePath(std::int64_t index) const {
    const Entry* e = entryAt(index);
    if (!e) return {};
    std::string path = e->path;
    std::erase(path, '\0');
    return path;
}

bool ProcessList::exeMatches(std::int64_t index, std::string_view path) const {
    const Entry* e = entryAt(index);
    if (!e || e->path.empty() || path.empty()) return false;
    std::string_view exe = e->path;
    if (e->deleted) exe.remove_suffix(kDeletedSuffix.size());
    return platform::equalFolded(exe, path);
}

ExecutableIdentity ProcessList::executableIdentity(std::int64_t index) const {
    const Entry* e = entryAt(index);
    return e ? e->executable : std::nullopt;
}

bool ProcessList::terminateProcessItem(std::int64_t index) {
    const Entry* e = entryAt(index);
    if (!e || e->id == 0) return false;
    return endProcess(e->id, e->startTime);
}

bool ProcessList::killProcess(std::uint32_t processId) {
    return endProcess(processId, std::nullopt);
}

}  // namespace vk::tools
