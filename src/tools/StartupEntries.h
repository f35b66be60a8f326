#pragma once

#include <string>
#include <vector>

#include "platform/Registry.h"

namespace vk::tools {

inline constexpr const char* kUserRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* kMachineRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// Disabled entries wait in the Run key's twin with a trailing hyphen.
inline constexpr const char* kDisabledRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run-";

// One line of the startup list: a REG_SZ value of a Run key (or its twin),
// or a desktop autostart entry.
struct StartupEntry {
    enum class Source { Registry, Autostart };
    Source source = Source::Registry;
    platform::RegHandle root = 0;
    std::string keyPath;  // the key that holds the value now; the file for autostart
    std::string name;     // the value name; the file name for autostart
    std::string data;     // the value's data; Exec for autostart
};

struct StartupLine {
    std::string text;
    bool checked = false;
    StartupEntry entry;
};

// Per-user Run, machine Run, per-user Run-, machine Run-, then the desktop's
// autostart entries. Keys are opened for reading only.
std::vector<StartupLine> loadStartupList();

// Enables (to Run) or disables (to Run-) an entry. The value is written under
// its new key first and deleted from the old one only then, so a refused
// write leaves it where it was. True, with entry updated, when it moved.
bool moveStartupEntry(StartupEntry& entry, bool enable);

}  // namespace vk::tools
