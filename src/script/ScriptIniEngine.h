#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "checksum/Md5.h"
#include "platform/EventPump.h"
#include "platform/FileSystem.h"
#include "platform/IniProfile.h"
#include "script/Console.h"
#include "script/RegPath.h"
#include "tools/ProcessList.h"

namespace vk::script {

// The engine absorbs every failure of a run; each one is also reported here.
class ScriptIniEngineListener {
public:
    virtual ~ScriptIniEngineListener() = default;
    virtual void errorOccured(std::int32_t number, const std::string& description) {
        (void)number;
        (void)description;
    }
};

// Runs INI-based KastScripts (.vki), reporting every step on the console.
class ScriptIniEngine {
public:
    // The scan settings of [DisinfectDrives], kept between runs.
    struct ScanSettings {
        std::string threatMd5Signature;
        std::int32_t fileSizeLimit = 0;  // megabytes; 2048 or more = no limit
        bool filterFileExtension = false;
        std::string fileExtensionFilter;
    };

    // The pump goes to the digester and the process list; the console paces
    // itself with its own pump.
    explicit ScriptIniEngine(platform::EventPump* pump = nullptr);
    ~ScriptIniEngine();
    ScriptIniEngine(const ScriptIniEngine&) = delete;
    ScriptIniEngine& operator=(const ScriptIniEngine&) = delete;

    // The console to write to; nullptr falls back to the engine's own.
    void setConsole(Console* console);
    Console& console() { return *console_; }

    void setListener(ScriptIniEngineListener* listener) { listener_ = listener; }

    // Runs the script at filePath. The caller has checked that it exists and
    // cleared the console. Never throws.
    void runIniKastScript(const std::string& filePath);

    // Thread- and signal-safe: the running script ends before its next
    // console line or scanned file. Cleared when the next run starts.
    void requestStop() { stopRequested_ = true; }
    // The last run ended by requestStop().
    bool lastRunStopped() const { return lastRunStopped_; }

    // Part by part as text; a part the required version lacks means incompatible.
    static bool isVersionCompatible(std::string_view own, std::string_view required);

    // Replaces every <NAME> of the 39 folder placeholders (any case) by its
    // folder, resolved on first use for the object's lifetime; unknown names stay.
    std::string expandScriptPath(std::string_view text);

    // True when the last expandScriptPath text held a placeholder for a
    // folder this system does not have.
    bool lastExpansionUnresolved() const { return lastUnresolved_; }

    // Whether extension (without dot) is in the current scan settings' list.
    bool extensionInFilter(std::string_view extension) const;

    const ScanSettings& scanSettings() const { return scan_; }
    tools::ProcessList& processList() { return processes_; }

    // Names of the placeholders in table order.
    static const std::array<std::string_view, 39>& placeholderNames();

private:
    struct ProcessEntry {
        std::string path;  // as expanded
        bool pathUsable = false;
        std::string md5;
    };

    // Reading the script.
    std::optional<std::string> readRaw(std::string_view section, const std::string& key);
    std::string readString(std::string_view section, const std::string& key, std::string_view fallback);
    bool readFlag(std::string_view section, const std::string& key);
    std::int32_t readNumber(std::string_view section, const std::string& key, std::string_view fallback);
    // Reads entries 1..count with read(n); false from read(n) means every key
    // of entry n was missing. Stops after too many missing entries in a row.
    void readEntries(std::int32_t count, const std::function<bool(std::int32_t)>& read);

    // Absorbs a failure: raises the error event, the run goes on.
    void guard(const std::function<void()>& step);
    void raiseError(std::int32_t number, const std::string& description);

    void append(std::string_view text);
    // Thrown by checkStop; passes every guard up to runIniKastScript.
    struct StopRun {};
    // Ends the run (through every guard) once a stop was requested.
    void checkStop();

    void runTerminateProcesses();
    void runManageFiles();
    void runManageRegistry();
    void runDisinfectDrives();

    // Registry actions on textual paths.
    std::optional<ParsedRegPath> parseScriptRegPath(const std::string& path);
    void setScriptRegValue(const std::string& path, const std::string& contents, const std::string& type);
    void deleteScriptRegValue(const std::string& path);
    void deleteScriptRegKey(const std::string& path);

    // The drive scan.
    void scanDrive(const std::string& root, bool recurse);
    void scanFiles(const platform::Folder& folder);
    void checkFileMD5(const std::string& path);

    void fillFolderTable();

    platform::EventPump* pump_;
    checksum::Md5 md5_;
    tools::ProcessList processes_;
    platform::FileSystem fileSystem_;
    Console ownConsole_;
    Console* console_;
    ScriptIniEngineListener* listener_ = nullptr;

    std::string file_;
    std::unique_ptr<platform::IniDocument> script_;  // the running script's text
    ScanSettings scan_;

    bool folderTableFilled_ = false;
    std::array<std::string, 39> folderTable_;
    bool lastUnresolved_ = false;
    std::atomic<bool> stopRequested_{false};
    bool lastRunStopped_ = false;
};

}  // namespace vk::script
