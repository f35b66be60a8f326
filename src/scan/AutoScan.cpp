#include "scan/AutoScan.h"

#include <algorithm>

#include "platform/base/Text.h"

namespace vk::scan {

AutoScan::AutoScan(AutoScanEvents* events) : events_(events) {}

bool AutoScan::isDriveKnown(const std::string& drive) const {
    return std::find(knownDrives_.begin(), knownDrives_.end(), drive) != knownDrives_.end();
}

void AutoScan::restart() {
    knownDrives_.clear();
    firstPollDone_ = false;
}

void AutoScan::checkDrives() {
    // Nothing was mounted or unmounted since the last poll: nothing to do.
    if (!watcher_.changed() && firstPollDone_) return;
    bool allowScan = true;
    const auto drives = fileSystem_.drives();
    for (const auto& drive : drives) {
        if (drive.type != platform::DriveType::Removable) continue;
        if (base::equalsNoCase(drive.path, "A:") || base::equalsNoCase(drive.path, "B:")) continue;
        if (isDriveKnown(drive.path)) continue;
        knownDrives_.push_back(drive.path);
        if (!firstPollDone_) continue;
        if (removeAutoRun_) {
            AutorunCleanResult cleaned = cleanAutorun(drive.path, webAddress_);
            if (events_) events_->driveCleaned(drive.path, cleaned);
        }
        if (scanPrompt_ && events_) events_->confirmScan(drive.path, allowScan);
        if (allowScan && events_) events_->driveInsterted(drive.path);
    }
    for (auto it = knownDrives_.begin(); it != knownDrives_.end();) {
        const bool present = std::any_of(drives.begin(), drives.end(),
                                         [&](const platform::Drive& d) { return d.path == *it; });
        if (present) {
            ++it;
            continue;
        }
        const std::string gone = *it;
        it = knownDrives_.erase(it);
        if (events_) events_->driveRemoved(gone);
    }
    firstPollDone_ = true;
}

}  // namespace vk::scan
