#include "scan/ScanEngine.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>

#include "net/SendMail.h"
#include "platform/ProgramFolder.h"
#include "platform/RuntimeError.h"
#include "platform/base/VersionCheck.h"
#include "scan/DatabaseFile.h"
#include "platform/base/ErrorInfo.h"
#include "scan/ScanEngineErrors.h"
#include "scan/SignatureDatabase.h"

namespace vk::scan {
namespace {

platform::RuntimeError envelopeError(const DatabaseEnvelope& env) {
    using S = DatabaseEnvelope::Status;
    switch (env.status) {
        case S::BadLength: return {platform::kErrSubscriptOutOfRange, "Subscript out of range", platform::kErrorSource};
        case S::Unreadable:
            return env.errnoValue == EACCES || env.errnoValue == EPERM ? platform::permissionDeniedError()
                                                                        : platform::pathFileAccessError();
        default: return platform::pathFileAccessError();
    }
}

}  // namespace

ScanEngine::ScanEngine(ScanEngineEvents* events, platform::EventPump* pump)
    : events_(events), pump_(pump), databasePath_(platform::programFolder().signaturesDat), md5_(pump) {}

ScanEngine::~ScanEngine() = default;

void ScanEngine::setPump(platform::EventPump* pump) {
    pump_ = pump;
    md5_.setPump(pump);
    if (mail_) mail_->setPump(pump);
}

void ScanEngine::raiseError(std::int32_t number, const std::string& description) {
    if (events_) events_->errorOccured(number, description);
}

void ScanEngine::raiseProgress(std::int16_t percent, const std::string& status) {
    if (events_) events_->loadProgress(percent, status);
}

std::int16_t ScanEngine::getPercent(std::int32_t i, std::int32_t n) {
    double value = static_cast<double>(i) / static_cast<double>(n) * 100.0;
    return static_cast<std::int16_t>(std::nearbyint(value));  // default rounding mode: half to even
}

void ScanEngine::loadVirusDatabase() {
    if (events_) events_->initializeLoading();
    try {
        DatabaseEnvelope env = readDatabaseFile(databasePath_);
        if (env.status == DatabaseEnvelope::Status::Missing) {
            raiseError(kErrDatabaseMissing,
                       "The virus database file \"\\signatures.dat\" doesn't exists. Please make sure the file "
                       "specified exists.");
            return;
        }
        raiseProgress(0, "Loading Virus Database...");
        switch (env.status) {
            case DatabaseEnvelope::Status::Ok: break;
            case DatabaseEnvelope::Status::BadMagic:
                raiseError(kErrDatabaseHeader,
                           "The header stub in virus database file \"\\signatures.dat\" is missing.");
                return;
            // A file cut short is as corrupt as one whose bytes changed.
            case DatabaseEnvelope::Status::Truncated:
            case DatabaseEnvelope::Status::BadChecksum:
                raiseError(kErrDatabaseCrc,
                           "The Cyclic Redundancy Check (CRC32) on virus database file \"\\signatures.dat\" "
                           "failed. File is corrupt.");
                return;
            default: throw envelopeError(env);
        }

        cryptPayload(env.payload);
        const std::size_t payloadSize = env.payload.size();
        PayloadReader reader(std::move(env.payload));

        // Nothing of the engine changes until the whole database has loaded:
        // a failed reload keeps the signatures and the index that were there.
        DatabaseMain main = reader.readMain();

        raiseProgress(0, "Checking Version Compatible info...");
        auto compatible = base::compareVersionParts(base::programVersion(), main.compatibleVersion);
        // Three parts are required even where the first part alone would decide ("0.9").
        if (!compatible || std::count(main.compatibleVersion.begin(), main.compatibleVersion.end(), '.') < 2)
            throw platform::RuntimeError(platform::kErrSubscriptOutOfRange, "Subscript out of range",
                                                      platform::kErrorSource);
        if (!*compatible) {
            raiseError(kErrDatabaseTooNew,
                       "The database file needs a newer version of VandrelKast. Please download the latest "
                       "version of VandrelKast.\r\n\r\nVersion Needed: " +
                           main.compatibleVersion + " or later.");
            return;
        }

        if (main.size < 1)
            throw platform::RuntimeError(platform::kErrSubscriptOutOfRange, "Subscript out of range",
                                         platform::kErrorSource);
        // The count is not trusted to size memory: a missing section ends the load long before.
        std::vector<SignatureEntry> entries;
        entries.reserve(static_cast<std::size_t>(
            std::min<std::int32_t>(main.size, static_cast<std::int32_t>(payloadSize / 16 + 1))));
        for (std::int32_t i = 1; i <= main.size; ++i) {
            entries.push_back(reader.readEntry(i));
            raiseProgress(getPercent(i, main.size), "Loading Virus Signatures...");
        }
        SignatureIndex index(entries);

        version_ = main.version;
        compatibleVersion_ = main.compatibleVersion;
        releaseDate_ = main.releaseDate;
        size_ = main.size;
        entries_ = std::move(entries);
        index_ = std::move(index);
        index_.rebind(entries_);

        raiseProgress(100, "Finished Loading");
        loaded_ = true;
        if (events_) events_->finishedLoading();
    } catch (const platform::RuntimeError& e) {
        raiseError(static_cast<std::int32_t>(e.number()), base::internalErrorText(e.number(), e.description(), e.source()));
    } catch (const std::bad_alloc&) {
        auto e = platform::outOfMemoryError();
        raiseError(static_cast<std::int32_t>(e.number()), base::internalErrorText(e.number(), e.description(), e.source()));
    }
}

}  // namespace vk::scan
