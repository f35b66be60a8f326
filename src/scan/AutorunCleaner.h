#pragma once

#include <string>

namespace vk::scan {

// What cleaning a drive did, for the user to be told.
struct AutorunCleanResult {
    bool autorunRemoved = false;
    std::string openTarget;        // the Open= value, as the autorun file named it
    bool openTargetRemoved = false;
    std::string openTargetKept;    // why the named file was left alone, when it was
    bool protectionPlanted = false;
};

// Neutralises a drive's autorun file and plants the protective Autorun.inf
// folder (with Readme.txt, attributes read-only, hidden, system, archive).
// Everything named by the drive's own files is resolved inside the drive:
// nothing outside it is ever touched, and no link is followed.
AutorunCleanResult cleanAutorun(const std::string& drivePath, const std::string& webAddress);

// The protective folder's Readme.txt, CR LF line ends.
std::string protectiveReadme(const std::string& webAddress);

}  // namespace vk::scan
