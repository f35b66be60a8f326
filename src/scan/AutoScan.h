#pragma once

#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/MountWatcher.h"
#include "scan/AutorunCleaner.h"

namespace vk::scan {

class AutoScanEvents {
public:
    virtual ~AutoScanEvents() = default;
    virtual void driveInsterted(const std::string& /*drive*/) {}
    virtual void driveRemoved(const std::string& /*drive*/) {}
    virtual void confirmScan(const std::string& /*drive*/, bool& /*allowScan*/) {}
    // Beyond the three: what cleaning a new drive did, before it is scanned.
    virtual void driveCleaned(const std::string& /*drive*/, const AutorunCleanResult& /*result*/) {}
};

// The removable-drive watcher, polled by its owner's timer: the first poll
// learns the drives already there; a drive that appears later is cleaned of
// its autorun file, protected, confirmed and handed over for a scan.
class AutoScan {
public:
    explicit AutoScan(AutoScanEvents* events);

    bool removeAutoRun() const { return removeAutoRun_; }
    void setRemoveAutoRun(bool on) { removeAutoRun_ = on; }
    bool scanPrompt() const { return scanPrompt_; }
    void setScanPrompt(bool on) { scanPrompt_ = on; }
    // The last line of the protective folder's Readme.txt.
    void setWebAddress(std::string address) { webAddress_ = std::move(address); }

    // One poll.
    void checkDrives();
    // Forgets every drive: the next poll only learns what is there (the
    // timer was started again).
    void restart();

    bool firstPollDone() const { return firstPollDone_; }
    const std::vector<std::string>& knownDrives() const { return knownDrives_; }

private:
    bool isDriveKnown(const std::string& drive) const;

    AutoScanEvents* events_;
    platform::FileSystem fileSystem_;
    platform::MountWatcher watcher_;
    bool removeAutoRun_ = true;
    bool scanPrompt_ = true;
    std::string webAddress_ = "https://vandrelkast.example.org/";
    std::vector<std::string> knownDrives_;
    bool firstPollDone_ = false;
};

}  // namespace vk::scan
