#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/EventPump.h"
#include "scan/Md5.h"
#include "scan/ReleaseDate.h"
#include "scan/ScanEngineEvents.h"
#include "scan/SignatureEntry.h"

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

private:
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

    Md5 md5_;
};

}  // namespace vk::scan
