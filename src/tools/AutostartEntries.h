#pragma once

#include <string>
#include <vector>

namespace vk::tools {

// One desktop autostart entry as the session sees it: the user's file of a
// name wins over the system folders' files of that name.
struct AutostartEntry {
    std::string fileName;  // "name.desktop"
    std::string path;      // the file that counts
    std::string exec;      // its Exec value, as written
    bool hidden = false;   // Hidden=true
    bool shownHere = true; // not excluded by OnlyShowIn/NotShowIn for this desktop
    bool userOwned = false;

    bool enabled() const { return !hidden && shownHere; }
};

// $XDG_CONFIG_HOME/autostart.
std::string userAutostartFolder();
// Every $XDG_CONFIG_DIRS folder's autostart, the most important first.
std::vector<std::string> systemAutostartFolders();

// Every entry, sorted by file name.
std::vector<AutostartEntry> listAutostartEntries();

// Disabling writes Hidden=true into the user's entry of that name, making one
// from the system file when there is none (so system entries are disabled
// without touching them). Enabling removes such an override again, or sets
// Hidden=false in an entry of the user's own. False when a file could not be
// written or removed; nothing is changed then.
bool setAutostartEnabled(const std::string& fileName, bool enabled);

}  // namespace vk::tools
