// The scanning half of the scan engine: the extension filter, the one-pass
// match of a file streamed in pieces, and the actions on a detected file.
#include <cerrno>
#include <cstring>

#include "platform/FileAttributes.h"
#include "platform/base/Text.h"
#include "scan/FileLoader.h"
#include "scan/Quarantine.h"
#include "scan/ScanEngine.h"
#include "scan/ScanEngineErrors.h"

namespace vk::scan {
namespace {

bool alreadyRenamed(const std::string& name) {
    return name.size() > 4 && base::equalsNoCase(std::string_view(name).substr(name.size() - 4), ".vir");
}

// MD5 of the whole file, read again: it is needed only to confirm a CRC match.
std::string md5OfFile(const platform::FileDescriptor& file) {
    checksum::Md5Hasher md5;
    std::vector<std::uint8_t> buffer(SignatureIndex::Pass::kPiece);
    std::uint64_t offset = 0;
    while (true) {
        std::ptrdiff_t n = file.readFullyAt(buffer.data(), buffer.size(), offset);
        if (n <= 0) break;
        md5.update(buffer.data(), static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    return md5.finishHex();
}

DetectionOutcome failed(DetectionAction action, std::string why) {
    DetectionOutcome out;
    out.action = action;
    out.succeeded = false;
    out.failure = std::move(why);
    return out;
}

}  // namespace

void ScanEngine::setFilter(std::string_view extensions) { filter_ = std::string(base::trim(extensions)); }

void ScanEngine::setStopScanningProcess(bool stop) {
    stop_.store(stop, std::memory_order_relaxed);
    md5_.cancelDigest.store(stop, std::memory_order_relaxed);
}

void ScanEngine::resetScanningStatistics() {
    detections_ = filesScanned_ = filesHealed_ = filesRenamed_ = filesDeleted_ = filesNotScanned_ = 0;
    failedActions_.clear();
    bytesScanned_ = 0;
}

bool ScanEngine::isExtensionFiltered(std::string_view extension) const {
    std::string_view rest = filter_;
    while (true) {
        auto semi = rest.find(';');
        std::string_view part = rest.substr(0, semi);
        if (base::equalsNoCase(part, extension)) return true;
        if (semi == std::string_view::npos) return false;
        rest.remove_prefix(semi + 1);
    }
}

bool ScanEngine::yieldOrStop() {
    if (stopScanningProcess()) return false;
    if (pump_) pump_->pump();
    return true;
}

void ScanEngine::scanEntry(const platform::FileDescriptor& folder, const std::string& name, const std::string& path,
                           const platform::FileId* expected) {
    if (!loaded_) {
        raiseError(kErrDatabaseNotLoaded,
                   "Unable to scan the file \"" + path + "\". The virus database is not loaded.");
    }
    if (events_) events_->scanningProgress(path);
    if (!loaded_) {
        ++filesScanned_;
        return;
    }

    OpenedFile file = openForScan(folder, name, expected);
    if (file.status == OpenedFile::Status::Gone) return;
    if (file.status == OpenedFile::Status::Unreadable) {
        notScanned(path, file.reason);
        return;
    }
    // Checksummed and searched piece by piece as the file is read, in a
    // window of fixed size: memory stays bounded whatever the file's size.
    SignatureIndex::Pass pass(index_, window_, pump_);
    int error = streamFile(
        file.fd, [&] { return pass.space(); }, [&](std::size_t n) { pass.commit(n); },
        [&] { return !stopScanningProcess(); });
    if (error == ECANCELED) return;
    if (error != 0) {
        notScanned(path, std::strerror(error));
        return;
    }
    ++filesScanned_;
    bytesScanned_ += pass.bytesSeen();
    if (pass.bytesSeen() == 0) return;  // an empty file matches nothing
    std::int64_t hit = pass.finish([&] { return md5OfFile(file.fd); });
    if (hit != SignatureIndex::kNoMatch) actOn(folder, name, path, file.fd, entries_[static_cast<std::size_t>(hit)]);
}

void ScanEngine::actOn(const platform::FileDescriptor& folder, const std::string& name, const std::string& path,
                       const platform::FileDescriptor& file, const SignatureEntry& entry) {
    ++detections_;
    farwatchLog_.push_back({entry.name, path});
    DetectionAction action = neutralizeMethods_;
    if (action == DetectionAction::Ask) {
        DetectionAction answer = DetectionAction::Ask;
        if (events_) events_->virusDetected(path, entry.name, answer);
        action = answer == DetectionAction::Ask ? DetectionAction::Ignore : answer;
    }
    // A stop requested meanwhile (at the question, say) leaves the file as it is.
    if (stopScanningProcess()) action = DetectionAction::Ignore;

    DetectionOutcome outcome = neutralize(folder, name, path, file, entry, action);
    if (outcome.succeeded) {
        // Counted only when done: a write-protected stick must not claim a deletion.
        if (outcome.action == DetectionAction::Heal) ++filesHealed_;
        if (outcome.action == DetectionAction::Delete) ++filesDeleted_;
        if (outcome.action == DetectionAction::Rename) ++filesRenamed_;
    } else {
        failedActions_.push_back(path);
    }
    if (events_) events_->detectionHandled(path, entry.name, outcome);
}

DetectionOutcome ScanEngine::neutralize(const platform::FileDescriptor& folder, const std::string& name,
                                        const std::string& path, const platform::FileDescriptor& file,
                                        const SignatureEntry& entry, DetectionAction action) {
    DetectionOutcome out;
    out.action = action;
    if (action != DetectionAction::Heal && action != DetectionAction::Delete && action != DetectionAction::Rename) {
        out.action = DetectionAction::Ignore;
        return out;
    }
    // The entry may have been swapped for something else since it was read.
    if (!file.isSameFileAt(folder, name)) return failed(action, "replaced while it was scanned");
    if (action == DetectionAction::Rename) {
        if (alreadyRenamed(name)) {
            out.action = DetectionAction::Ignore;
            return out;
        }
        int e = folder.renameNoReplaceAt(name, folder, name + ".vir") ? 0 : errno;
        if (e == EEXIST) return failed(action, path + ".vir already exists");
        if (e != 0) return failed(action, std::strerror(e));
        return out;
    }
    if (quarantine_) {
        Quarantine::Stored stored = quarantine_->store(file, path, entry.name);
        if (stored.id.empty()) return failed(action, "no copy could be kept in the quarantine: " + stored.error);
        out.quarantineId = stored.id;
    }
    auto forgetCopy = [&] {
        if (!out.quarantineId.empty()) quarantine_->remove(out.quarantineId);
        out.quarantineId.clear();
    };
    platform::setFileAttributes(file.get(), platform::kAttrNormal);
    if (!file.isSameFileAt(folder, name)) {
        forgetCopy();
        return failed(action, "replaced while it was scanned");
    }
    if (!folder.unlinkAt(name)) {
        int e = errno;
        forgetCopy();
        return failed(action, std::strerror(e));
    }
    return out;
}

}  // namespace vk::scan
