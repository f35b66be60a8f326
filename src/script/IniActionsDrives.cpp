// [DisinfectDrives] of INI KastScripts: named files in every treated drive's
// root, and the digest scan of the drive's files.
#include <fcntl.h>
#include <sys/stat.h>

#include <set>
#include <utility>

#include "platform/FileDescriptor.h"
#include "script/ScriptFileOps.h"
#include "script/ScriptIniEngine.h"

namespace vk::script {
namespace {

constexpr std::int32_t kAnyDriveType = 6;
constexpr std::int32_t kNoSizeLimitMb = 2048;
constexpr std::int64_t kMegabyte = 1048576;

// The drive root joined with a name as the script wrote it.
std::string rootJoin(const std::string& root, std::string_view name) {
    std::string text = root;
    if (text.empty() || text.back() != '/') text += '/';
    text += name;
    return text;
}

std::string extensionOf(const std::string& path) {
    auto slash = path.rfind('/');
    std::string_view name = std::string_view(path).substr(slash == std::string::npos ? 0 : slash + 1);
    auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

}  // namespace

void ScriptIniEngine::runDisinfectDrives() {
    constexpr std::string_view kSection = "DisinfectDrives";

    std::int32_t driveType = readNumber(kSection, "DisinfectDriveType", "0");
    bool runScan = readFlag(kSection, "RunScan");
    scan_.threatMd5Signature = readString(kSection, "ThreatMD5Signature", "");
    scan_.fileSizeLimit = readNumber(kSection, "FileSizeLimit", "1");
    bool recurse = readFlag(kSection, "ScanRecurseDir");
    scan_.filterFileExtension = readFlag(kSection, "FilterFileExtension");
    scan_.fileExtensionFilter = readString(kSection, "FileExtensionFilter", "");
    std::int32_t count = readNumber(kSection, "DeleteFileCount", "0");
    std::vector<std::string> names;
    readEntries(count, [&](std::int32_t n) {
        auto raw = readRaw(kSection, "DeleteFile" + std::to_string(n));
        names.push_back(raw.value_or(""));
        return raw.has_value();
    });

    std::vector<platform::Drive> drives;
    guard([&] { drives = fileSystem_.drives(); });
    for (const platform::Drive& drive : drives) {
        bool kindMatches = static_cast<std::int32_t>(drive.type) == driveType || driveType == kAnyDriveType;
        if (!kindMatches || !drive.isReady) continue;
        guard([&] {
            for (const std::string& name : names) {
                std::string shown = rootJoin(drive.path, name);
                append("Deleting file: " + shown);
                platform::ResolvedPath ambiguous;
                clearAttributesAndDeleteInRoot(drive.path, name, &ambiguous);
                if (ambiguous.kind == platform::ResolvedPath::Kind::Ambiguous) append(ambiguousPathNotice(shown, ambiguous));
            }
            if (runScan) scanDrive(drive.path, recurse);
        });
    }
}

// The root's files, then each sub-folder's files, its own sub-folders after
// it when recurse is on. Walked with a stack of its own, so a deep tree cannot
// exhaust the call stack; a folder reached twice (bind mounts) or on another
// file system (each mount is a drive of its own) is not walked.
void ScriptIniEngine::scanDrive(const std::string& root, bool recurse) {
    struct stat rootStat {};
    if (!platform::FileDescriptor::openDirectory(root).stat(rootStat)) return;
    std::set<std::pair<dev_t, ino_t>> visited{{rootStat.st_dev, rootStat.st_ino}};

    std::optional<platform::Folder> top;
    try {
        top = fileSystem_.getFolder(root);
    } catch (...) {
    }
    if (!top) return;
    scanFiles(*top);

    struct Level {
        std::vector<std::string> subFolders;
        std::size_t next = 0;
    };
    std::vector<Level> stack;
    stack.push_back({std::move(top->subFolders), 0});
    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next >= level.subFolders.size()) {
            stack.pop_back();
            continue;
        }
        std::string sub = level.subFolders[level.next++];
        if (pump_) pump_->pump();
        checkStop();
        // Still a folder, not a link put in its place since it was listed.
        struct stat st {};
        if (!platform::FileDescriptor::open(sub, O_RDONLY | O_DIRECTORY | O_NOFOLLOW).stat(st)) continue;
        if (st.st_dev != rootStat.st_dev) continue;
        if (!visited.insert({st.st_dev, st.st_ino}).second) continue;
        std::optional<platform::Folder> folder;
        try {
            folder = fileSystem_.getFolder(sub);
        } catch (...) {
        }
        if (!folder) continue;
        scanFiles(*folder);
        if (recurse) stack.push_back({std::move(folder->subFolders), 0});  // invalidates level
    }
}

void ScriptIniEngine::scanFiles(const platform::Folder& folder) {
    bool limited = scan_.fileSizeLimit < kNoSizeLimitMb;
    std::int64_t limit = static_cast<std::int64_t>(scan_.fileSizeLimit) * kMegabyte;
    for (const platform::FileEntry& file : folder.files) {
        checkStop();
        try {
            if (limited && (limit < 0 || file.size > static_cast<std::uint64_t>(limit))) continue;
            if (scan_.filterFileExtension && !extensionInFilter(extensionOf(file.path))) continue;
            checkFileMD5(file.path);
        } catch (const StopRun&) {
            throw;
        } catch (...) {
            // The scan swallows its own failures and goes on with the next file.
        }
    }
}

void ScriptIniEngine::checkFileMD5(const std::string& path) {
    append("Scanning File: " + path);
    std::string digest = md5_.digestFileToHexStr(path);
    if (digest.empty() || scan_.threatMd5Signature.empty()) return;
    if (digest == scan_.threatMd5Signature) {
        append(path + " << Threat detected and neutralized!");
        clearAttributesAndDelete(path);
    }
}

}  // namespace vk::script
