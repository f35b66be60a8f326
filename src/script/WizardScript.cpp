#include "script/WizardScript.h"

#include "platform/base/Text.h"
#include "script/IniFile.h"

namespace vk::script {
namespace {

// Writes in order and remembers whether every write worked.
class KeyWriter {
public:
    explicit KeyWriter(const std::string& file) : file_(file) {}
    void write(std::string_view section, const std::string& key, std::string_view value) {
        if (!writeIniString(file_, section, key, value)) ok_ = false;
    }
    void flag(std::string_view section, const std::string& key, bool on) { write(section, key, on ? "1" : "0"); }
    template <class T>
    void count(std::string_view section, const std::string& key, const std::vector<T>& list) {
        write(section, key, std::to_string(list.size()));
    }
    bool ok() const { return ok_; }

private:
    const std::string& file_;
    bool ok_ = true;
};

std::string unlessNotAvailable(const std::string& text) { return text == kNotAvailable ? std::string() : text; }

}  // namespace

std::string disinfectDriveType(std::string_view driveTypes) {
    if (driveTypes == "Fixed Drives") return "2";
    if (driveTypes == "Removable Drives") return "1";
    return "6";
}

std::string compileFileName(std::string_view chosen) {
    std::string name(chosen);
    if (base::asciiLower(name).ends_with(".vki")) return name;
    return name + ".vki";
}

bool compileWizardScript(const std::string& file, const WizardScript& s) {
    KeyWriter w(file);
    constexpr std::string_view kMain = "Main";

    w.write(kMain, "Title", s.title);
    w.write(kMain, "ThreatName", s.threatName);
    w.write(kMain, "Version", s.version);
    w.write(kMain, "VersionCompatible", "1.1.0");
    w.write(kMain, "LegalCopyright", s.copyright);
    w.flag(kMain, "DoTerminateProcesses", s.terminateProcesses);

    constexpr std::string_view kProcess = "TerminateProcess";
    w.flag(kProcess, "TerminateWScript", s.terminateWScript);
    if (!s.processes.empty()) {
        w.count(kProcess, "Count", s.processes);
        for (std::size_t i = 0; i < s.processes.size(); ++i) {
            std::string n = "Process" + std::to_string(i + 1);
            w.write(kProcess, n + "_Path", unlessNotAvailable(s.processes[i].path));
            w.write(kProcess, n + "_MD5", unlessNotAvailable(s.processes[i].md5));
        }
    }

    w.flag(kMain, "DoManageFiles", s.manageFiles);
    if (!s.deleteFiles.empty()) {
        w.count("ManageFiles", "DeleteFileCount", s.deleteFiles);
        for (std::size_t i = 0; i < s.deleteFiles.size(); ++i)
            w.write("ManageFiles", "DeleteFile" + std::to_string(i + 1), s.deleteFiles[i]);
    }

    constexpr std::string_view kRegistry = "ManageRegistry";
    w.flag(kMain, "DoManageRegistry", s.manageRegistry);
    if (!s.registryChanges.empty()) {
        w.count(kRegistry, "RegistryChangeCount", s.registryChanges);
        for (std::size_t i = 0; i < s.registryChanges.size(); ++i) {
            std::string n = "RegistryChange" + std::to_string(i + 1);
            w.write(kRegistry, n + "_Key", s.registryChanges[i].key);
            w.write(kRegistry, n + "_Contents", s.registryChanges[i].contents);
            w.write(kRegistry, n + "_Type", s.registryChanges[i].type);
        }
    }
    if (!s.registryDeleteValues.empty()) {
        w.count(kRegistry, "RegistryDeleteValueCount", s.registryDeleteValues);
        for (std::size_t i = 0; i < s.registryDeleteValues.size(); ++i)
            w.write(kRegistry, "RegistryDeleteValue" + std::to_string(i + 1), s.registryDeleteValues[i]);
    }
    if (!s.registryDeleteKeys.empty()) {
        w.count(kRegistry, "RegistryDeleteKeyCount", s.registryDeleteKeys);
        for (std::size_t i = 0; i < s.registryDeleteKeys.size(); ++i)
            w.write(kRegistry, "RegistryDeleteKey" + std::to_string(i + 1), s.registryDeleteKeys[i]);
    }

    constexpr std::string_view kDrives = "DisinfectDrives";
    w.flag(kMain, "DoDisinfectDrives", s.disinfectDrives);
    w.write(kDrives, "DisinfectDriveType", disinfectDriveType(s.driveTypes));
    if (!s.driveFiles.empty()) {
        w.count(kDrives, "DeleteFileCount", s.driveFiles);
        for (std::size_t i = 0; i < s.driveFiles.size(); ++i)
            w.write(kDrives, "DeleteFile" + std::to_string(i + 1), s.driveFiles[i]);
    }
    w.flag(kDrives, "RunScan", s.runScan);
    w.write(kDrives, "ThreatMD5Signature", s.threatMd5);
    w.write(kDrives, "FileSizeLimit", s.fileSizeLimit);
    w.flag(kDrives, "ScanRecurseDir", s.scanSubFolders);
    w.flag(kDrives, "FilterFileExtension", s.filterExtension);
    w.write(kDrives, "FileExtensionFilter", s.extensionFilter);
    return w.ok();
}

}  // namespace vk::script
