#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "platform/FileDescriptor.h"

namespace vk::scan {

// A file of a folder opened for scanning.
struct OpenedFile {
    enum class Status {
        Opened,
        Gone,        // no longer there, a link or not a regular file: nothing to scan
        Unreadable,  // there, but it cannot be read: reason says why
    };
    Status status = Status::Gone;
    platform::FileDescriptor fd;
    std::string reason;
};

// Opens an entry without following a link and without blocking on a FIFO,
// and accepts only a regular file (with expected, only that very file).
OpenedFile openForScan(const platform::FileDescriptor& folder, const std::string& name,
                       const platform::FileId* expected);

// Reads a file from its start to its end in pieces, whatever its size:
// space() says where the next piece goes, arrived(n) hands it over, and
// keepGoing() is asked before each piece. 0, ECANCELED when keepGoing said
// no, or the errno of a failed read.
int streamFile(const platform::FileDescriptor& file, const std::function<std::span<std::uint8_t>()>& space,
               const std::function<void(std::size_t)>& arrived, const std::function<bool()>& keepGoing);

}  // namespace vk::scan
