#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/EventPump.h"
#include "platform/FileDescriptor.h"

namespace vk::tools {

// The device and inode of a process's executable when the list was built.
using ExecutableIdentity = std::optional<platform::FileId>;

// The running processes whose executable we may inspect, from /proc.
// Entries are indexed 0..count() inclusive; with nothing recorded, count() is
// 0 and entry 0 is (0, "").
class ProcessList {
public:
    // Fills the list once, like every later refresh().
    explicit ProcessList(platform::EventPump* pump = nullptr);

    void refresh();

    std::int32_t count() const { return count_; }
    // 0 / "" for an index outside 0..count().
    std::uint32_t processID(std::int64_t index) const;
    // The program's file; for a program under Wine its Windows program's file.
    std::string exePath(std::int64_t index) const;
    // Whether entry index runs the program at path, compared as Windows
    // compares file names (letter case ignored); a program whose file was
    // deleted (shown by Linux as "PATH (deleted)") still runs from PATH.
    bool exeMatches(std::int64_t index, std::string_view path) const;
    // nullopt for an index outside 0..count() or an executable that could not be examined.
    ExecutableIdentity executableIdentity(std::int64_t index) const;

    // Ends entry index's process; false when the entry's identifier now belongs
    // to another process (it ended and its number was reused) or the kill failed.
    bool terminateProcessItem(std::int64_t index);

    // SIGKILL, then waits until the process has really ended. False for 0, for
    // the program's own process, when the signal is refused, or when the
    // process is still alive after the wait.
    static bool killProcess(std::uint32_t processId);

    void setPump(platform::EventPump* pump) { pump_ = pump; }

private:
    struct Entry {
        std::uint32_t id = 0;
        std::string path;
        std::uint64_t startTime = 0;  // /proc/PID/stat field 22, guards against reuse
        ExecutableIdentity executable;
        bool deleted = false;         // path carries the kernel's " (deleted)"
    };

    const Entry* entryAt(std::int64_t index) const;

    platform::EventPump* pump_;
    std::vector<Entry> entries_;
    std::int32_t count_ = 0;
};

}  // namespace vk::tools
