#pragma once

#include "platform/FileDescriptor.h"

namespace vk::platform {

// Tells whether the mount table may have changed since the last question, so
// a poll of the drives costs nothing while nothing was plugged or pulled. The
// kernel marks /proc/self/mountinfo with POLLPRI on every change; a simulated
// drive list ($VANDRELKAST_DRIVES) cannot be watched and always counts as changed.
class MountWatcher {
public:
    MountWatcher();
    // True at the first call and after every change.
    bool changed();
    // For an event loop that wants to wake at once (-1 when there is nothing to watch).
    int descriptor() const { return mountInfo_.get(); }

private:
    FileDescriptor mountInfo_;
    bool first_ = true;
    bool simulated_ = false;
};

}  // namespace vk::platform
