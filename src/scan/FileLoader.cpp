#include "scan/FileLoader.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

namespace vk::scan {

OpenedFile openForScan(const platform::FileDescriptor& folder, const std::string& name,
                       const platform::FileId* expected) {
    OpenedFile result;
    result.fd = folder.openAt(name, O_RDONLY | O_NONBLOCK);
    if (!result.fd.valid()) {
        int e = errno;
        // Vanished, or now a link: what was listed is no longer there to read.
        if (e == ENOENT || e == ELOOP || e == ENXIO || e == ENOTDIR) return result;
        result.status = OpenedFile::Status::Unreadable;
        result.reason = std::strerror(e);
        return result;
    }
    struct stat st;
    if (!result.fd.stat(st)) {
        result.status = OpenedFile::Status::Unreadable;
        result.reason = std::strerror(errno);
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.fd.reset();
        return result;
    }
    if (expected && !(platform::FileId::of(st) == *expected)) {
        result.fd.reset();
        result.status = OpenedFile::Status::Unreadable;
        result.reason = "replaced while the folder was read";
        return result;
    }
    result.status = OpenedFile::Status::Opened;
    return result;
}

int streamFile(const platform::FileDescriptor& file, const std::function<std::span<std::uint8_t>()>& space,
               const std::function<void(std::size_t)>& arrived, const std::function<bool()>& keepGoing) {
    std::uint64_t offset = 0;
    while (true) {
        if (!keepGoing()) return ECANCELED;
        std::span<std::uint8_t> into = space();
        // pread: the position of a descriptor is shared with whoever else holds it.
        std::ptrdiff_t n = file.readFullyAt(into.data(), into.size(), offset);
        if (n < 0) return errno;
        if (n == 0) return 0;
        offset += static_cast<std::uint64_t>(n);
        arrived(static_cast<std::size_t>(n));
        if (static_cast<std::size_t>(n) < into.size()) return 0;
    }
}

}  // namespace vk::scan
