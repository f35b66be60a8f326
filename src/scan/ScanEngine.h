#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "checksum/Md5.h"
#include "platform/EventPump.h"
#include "scan/FileLoader.h"
#include "scan/ReleaseDate.h"
#include "scan/ScanEngineEvents.h"
#include "scan/SignatureEntry.h"
#include "scan/SignatureIndex.h"

namespace vk::scan {

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

    // Scan settings. Actions: 0 ask, 1 heal, 2 delete, 3 rename; others none.
    std::int32_t neutralizeMethods() const { return neutralizeMethods_; }
    void setNeutralizeMethods(std::int32_t v) { neutralizeMethods_ = v; }
    std::int32_t fileSizeLimit() const { return fileSizeLimit_; }  // MiB
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
    void resetScanningStatistics();

    // The sub-folders of path (and, with recurse, their whole trees); not the
    // files directly in path.
    void scanFolder(const std::string& path, bool recurse = false);
    void scanFilesInFolder(const std::string& path);
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

    // Bytes of files read by scans, for progress displays.
    std::uint64_t bytesScanned() const { return bytesScanned_; }

    static constexpr const char* kDefaultFilter =
        "exe;scr;com;bat;pif;vbs;vbe;js;reg;asp;bin;cla;class;cmd;dll;doc;dot;drv;hta;htm;html;htt;ini;inf;"
        "jse;ocx;php;pif;ppt;sys;key;vbx;vxd;xls;xml";

private:
    void scanEntry(const std::string& path, FileIdentity expected);
    void actOn(const std::string& path, const SignatureEntry& entry);
    bool neutralize(const std::string& path, int fd, std::int32_t action);
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

    std::int32_t neutralizeMethods_ = 0;
    std::int32_t fileSizeLimit_ = 10;
    bool filterFiles_ = true;
    std::string filter_ = kDefaultFilter;
    std::atomic<bool> stop_{false};

    std::int32_t detections_ = 0;
    std::int32_t filesScanned_ = 0;
    std::int32_t filesHealed_ = 0;
    std::int32_t filesRenamed_ = 0;
    std::int32_t filesDeleted_ = 0;
    std::uint64_t bytesScanned_ = 0;
    std::vector<Detection> farwatchLog_;
    std::string username_;
    std::string address_;
    std::string emailAddress_;
    bool enableFarwatch_ = true;
    LoadedFile current_;  // its buffer is reused for every file read here

    checksum::Md5 md5_;
};

}  // namespace vk::scan
