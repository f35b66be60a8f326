#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vk::script {

// What a list of the wizard shows for an empty column; written as "".
inline constexpr std::string_view kNotAvailable = "n/a";

// An INI KastScript as the KastScript Generator Wizard's pages describe it:
// the texts as typed, the lists as shown, the check boxes as ticked.
struct WizardScript {
    struct Process {
        std::string path;  // or "n/a"
        std::string md5;   // or "n/a"
    };
    struct RegistryChange {
        std::string key;
        std::string contents;
        std::string type;
    };

    std::string title;
    std::string threatName;
    std::string version;
    std::string copyright;

    bool terminateProcesses = false;
    bool terminateWScript = false;
    std::vector<Process> processes;

    bool manageFiles = false;
    std::vector<std::string> deleteFiles;

    bool manageRegistry = false;
    std::vector<RegistryChange> registryChanges;
    std::vector<std::string> registryDeleteValues;
    std::vector<std::string> registryDeleteKeys;

    bool disinfectDrives = false;
    std::string driveTypes = "All Types";  // the combo box's text
    std::vector<std::string> driveFiles;   // relative to each drive's root
    bool runScan = false;
    std::string threatMd5;
    std::string fileSizeLimit;
    bool scanSubFolders = false;
    bool filterExtension = false;
    std::string extensionFilter;
};

// "6" for "All Types", "2" for "Fixed Drives", "1" for "Removable Drives",
// "6" for any other text.
std::string disinfectDriveType(std::string_view driveTypes);

// The name the script is compiled as: the chosen name with ".vki" added
// unless it already ends in it (any case).
std::string compileFileName(std::string_view chosen);

// Writes the script key by key into file (an existing file keeps the keys
// this script does not write). Every list and flag is written whatever the
// Do-flags say. False when a write failed; the keys before it stay written.
bool compileWizardScript(const std::string& file, const WizardScript& script);

}  // namespace vk::script
