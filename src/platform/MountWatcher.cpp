#include "platform/MountWatcher.h"

#include <poll.h>

#include <cstdlib>

namespace vk::platform {

MountWatcher::MountWatcher() {
    simulated_ = std::getenv("VANDRELKAST_DRIVES") != nullptr;
    if (!simulated_) mountInfo_ = FileDescriptor::open("/proc/self/mountinfo", O_RDONLY);
}

bool MountWatcher::changed() {
    if (first_) {
        first_ = false;
        return true;
    }
    if (simulated_ || !mountInfo_) return true;
    pollfd p{mountInfo_.get(), POLLPRI, 0};
    // Each poll that reports the change also clears it.
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLPRI | POLLERR)) != 0;
}

}  // namespace vk::platform
