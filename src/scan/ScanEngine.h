#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "checksum/Md5.h"
#include "platform/EventPump.h"
#include "platform/FileDescriptor.h"
#include "scan/DetectionAction.h"
#include "scan/ReleaseDate.h"
#include "scan/FarwatchSettings.h"
#include "scan/ScanEngineEvents.h"
#include "scan/SignatureEntry.h"
#include "scan/SignatureIndex.h"

namespace vk::platform {
struct FolderEntry;
}

namespace vk::net {
class SendMail;
}

namespace vk::scan {

class Quarantine;

// Loads the signature database and scans files against it; reports only
// through its events.
class ScanEngine {
public:
    explicit ScanEngine(ScanEngineEvents* events = nullptr, platform::EventPump* pump = nullptr);
    ~ScanEngine();
    ScanEngine(const ScanEngine&) = delete;
    ScanEngine& operator=(const ScanEngine&) = delete;

    void setEvents(ScanEngineEvents* events) { events_ = events; }
    void setPump(platform::EventPump* pump);

    // The database file; the program folder's signatures.dat unless set.
    void setDatabasePath(std::string path) { databasePath_ = std::move(path); }
    const std::string& databasePath() const { return databasePath_; }

    void loadVirusDatabase();

    const std::string& vDatabaseVersion() const { return version_; }
    const std::string& vDatabaseCompatibleVer() const { return compatibleVersion_; }
    const CivilDate& vDatabaseReleaseDate() const { return releaseDate_; }
    std::int32_t vDatabaseSize() const { return size_; }
    bool vDatabaseLoaded() const { return loaded_; }
    const std::vector<SignatureEntry>& signatures() const { return entries_; }

    // i / n * 100 rounded half to even.
    static std::int16_t getPercent(std::int32_t i, std::int32_t n);

    // Scan settings.
    DetectionAction neutralizeMethods() const { return neutralizeMethods_; }
    void setNeutralizeMethods(DetectionAction v) { neutralizeMethods_ = v; }
    // MiB; a negative limit skips every file of a walk.
    std::int32_t fileSizeLimit() const { return fileSizeLimit_; }
    void setFileSizeLimit(std::int32_t megabytes) { fileSizeLimit_ = megabytes; }
    bool filterFiles() const { return filterFiles_; }
    void setFilterFiles(bool v) { filterFiles_ = v; }
    const std::string& filter() const { return filter_; }
    void setFilter(std::string_view extensions);  // stored without blanks at either end
    bool stopScanningProcess() const { return stop_.load(std::memory_order_relaxed); }
    // Safe from any thread (a signal handler's thread, a Stop button).
    void setStopScanningProcess(bool stop);

    std::int32_t detections() const { return detections_; }
    std::int32_t filesScanned() const { return filesScanned_; }
    std::int32_t filesHealed() const { return filesHealed_; }
    std::int32_t filesRenamed() const { return filesRenamed_; }
    std::int32_t filesDeleted() const { return filesDeleted_; }
    // Files and folders that could not be read since the last reset.
    std::int32_t filesNotScanned() const { return filesNotScanned_; }
    // Detected files whose heal, delete or rename failed, since the last reset.
    const std::vector<std::string>& failedActions() const { return failedActions_; }
    void resetScanningStatistics();

    // Heal and delete keep a copy here first (none: they delete for good).
    void setQuarantine(std::shared_ptr<Quarantine> quarantine) { quarantine_ = std::move(quarantine); }
    const std::shared_ptr<Quarantine>& quarantine() const { return quarantine_; }

    // Paths a walk leaves out: excluded(path, isFolder) true skips the file,
    // or the folder with its whole tree.
    void setExclusion(std::function<bool(const std::string&, bool)> excluded) { excluded_ = std::move(excluded); }

    // The sub-folders of path (and, with recurse, their whole trees); not the
    // files directly in path. Links met inside are never followed.
    void scanFolder(const std::string& path, bool recurse = false);
    void scanFilesInFolder(const std::string& path);
    // One file, whatever its size or name; a link is not followed.
    void scanFile(const std::string& path);
    bool isExtensionFiltered(std::string_view extension) const;

    // Detections since the last reset: (virus name, file path).
    struct Detection {
        std::string virusName;
        std::string path;
    };
    const std::vector<Detection>& farwatchLog() const { return farwatchLog_; }
    void resetFarwatch() { farwatchLog_.clear(); }

    // The reporter's details and switch, set by the enrolment form and the
    // Farwatch page; the detection report reads them.
    const std::string& username() const { return username_; }
    void setUsername(std::string v) { username_ = std::move(v); }
    const std::string& address() const { return address_; }
    void setAddress(std::string v) { address_ = std::move(v); }
    const std::string& emailAddress() const { return emailAddress_; }
    void setEmailAddress(std::string v) { emailAddress_ = std::move(v); }
    bool enableFarwatch() const { return enableFarwatch_; }
    void setEnableFarwatch(bool v) { enableFarwatch_ = v; }

    // Mails the report of the detections since the last reset, when enabled
    // and something was found; the outcome is not looked at.
    void executeFarwatch();
    const FarwatchMailSettings& farwatchMailSettings() const { return farwatchMailSettings_; }
    void setFarwatchMailSettings(FarwatchMailSettings s) { farwatchMailSettings_ = std::move(s); }
    // The mail client the report goes through, kept for the engine's life
    // (callers may listen to its events).
    net::SendMail& farwatchMail();

    // Bytes of files read by scans, for progress displays.
    std::uint64_t bytesScanned() const { return bytesScanned_; }

    static constexpr const char* kDefaultFilter =
        "exe;scr;com;bat;pif;vbs;vbe;js;reg;asp;bin;cla;class;cmd;dll;doc;dot;drv;hta;htm;html;htt;ini;inf;"
        "jse;ocx;php;pif;ppt;sys;key;vbx;vxd;xls;xml";

private:
    struct Walk;
    // The files of an open folder (without descending).
    void scanFilesIn(const platform::FileDescriptor& folder, const std::string& path,
                     const std::vector<platform::FolderEntry>& entries);
    void scanEntry(const platform::FileDescriptor& folder, const std::string& name, const std::string& path,
                   const platform::FileId* expected);
    void actOn(const platform::FileDescriptor& folder, const std::string& name, const std::string& path,
               const platform::FileDescriptor& file, const SignatureEntry& entry);
    DetectionOutcome neutralize(const platform::FileDescriptor& folder, const std::string& name,
                                const std::string& path, const platform::FileDescriptor& file,
                                const SignatureEntry& entry, DetectionAction action);
    void notScanned(const std::string& path, const std::string& reason);
    bool yieldOrStop();
    void raiseError(std::int32_t number, const std::string& description);
    void raiseProgress(std::int16_t percent, const std::string& status);

    ScanEngineEvents* events_;
    platform::EventPump* pump_;
    std::string databasePath_;

    std::string version_;
    std::string compatibleVersion_;
    CivilDate releaseDate_;
    std::int32_t size_ = 0;
    bool loaded_ = false;
    std::vector<SignatureEntry> entries_;
    SignatureIndex index_;

    DetectionAction neutralizeMethods_ = DetectionAction::Ask;
    std::int32_t fileSizeLimit_ = 10;
    bool filterFiles_ = true;
    std::string filter_ = kDefaultFilter;
    std::atomic<bool> stop_{false};

    std::int32_t detections_ = 0;
    std::int32_t filesScanned_ = 0;
    std::int32_t filesHealed_ = 0;
    std::int32_t filesRenamed_ = 0;
    std::int32_t filesDeleted_ = 0;
    std::int32_t filesNotScanned_ = 0;
    std::vector<std::string> failedActions_;
    std::uint64_t bytesScanned_ = 0;
    std::shared_ptr<Quarantine> quarantine_;
    std::function<bool(const std::string&, bool)> excluded_;
    std::vector<Detection> farwatchLog_;
    std::string username_;
    std::string address_;
    std::string emailAddress_;
    bool enableFarwatch_ = true;
    FarwatchMailSettings farwatchMailSettings_ = loadFarwatchMailSettings("");
    std::unique_ptr<net::SendMail> mail_;
    std::vector<std::uint8_t> window_;  // the read buffer, reused for every file

    checksum::Md5 md5_;
};

}  // namespace vk::scan
