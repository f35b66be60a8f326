#include "platform/linux/HiveRegistry.h"

#include <filesystem>

#include "platform/FileDescriptor.h"
#include "platform/WindowsPath.h"
#include "platform/base/Text.h"

namespace vk::platform {

namespace fs = std::filesystem;

namespace {

// The profile whose NTUSER.DAT changed last, leaving out the templates.
std::string newestProfile(const std::string& usersFolder) {
    std::string best;
    fs::file_time_type bestTime{};
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(usersFolder, ec)) {
        const std::string name = e.path().filename().string();
        if (base::equalsNoCase(name, "Default") || base::equalsNoCase(name, "Default User") ||
            base::equalsNoCase(name, "Public") || base::equalsNoCase(name, "All Users"))
            continue;
        const std::string hive = findPathNoCase(e.path().string(), {"NTUSER.DAT"});
        if (hive.empty()) continue;
        auto time = fs::last_write_time(hive, ec);
        if (ec) continue;
        if (best.empty() || time > bestTime) {
            best = name;
            bestTime = time;
        }
    }
    return best;
}

}  // namespace

std::string findPathNoCase(const std::string& root, const std::vector<std::string>& names) {
    if (root.empty()) return {};
    std::string at = root;
    for (const auto& name : names) {
        const FileDescriptor dir = FileDescriptor::openDirectory(at);
        if (!dir.valid()) return {};
        NameMatch match = lookupName(dir.get(), name);
        // Two names differing only in case: take the first in byte order, as a listing shows them.
        if (match.kind == NameMatch::Kind::Ambiguous) match.name = match.candidates.front();
        else if (match.kind == NameMatch::Kind::Missing) return {};
        if (at.back() != '/') at += '/';
        at += match.name;
    }
    return at;
}

HiveRegistry::HiveRegistry(std::string windowsRoot, std::string userName, RegistryMessages* messages)
    : MountedRegistry({}, messages), windowsRoot_(std::move(windowsRoot)), userName_(std::move(userName)) {
    auto open = [this](const std::string& path, const char* what) -> std::unique_ptr<HiveFile> {
        if (path.empty()) {
            if (this->messages())
                this->messages()->message(std::string("No ") + what + " hive was found under " + windowsRoot_ + ".");
            return nullptr;
        }
        auto hive = std::make_unique<HiveFile>(path, false);
        if (!hive->problem().empty() && this->messages()) this->messages()->message(hive->problem());
        if (!hive->opened()) return nullptr;
        return hive;
    };
    software_ = open(findPathNoCase(windowsRoot_, {"Windows", "System32", "config", "SOFTWARE"}), "SOFTWARE");
    system_ = open(findPathNoCase(windowsRoot_, {"Windows", "System32", "config", "SYSTEM"}), "SYSTEM");
    std::string users = findPathNoCase(windowsRoot_, {"Users"});
    if (users.empty()) users = findPathNoCase(windowsRoot_, {"Documents and Settings"});
    if (!users.empty()) {
        if (userName_.empty()) userName_ = newestProfile(users);
        const std::string profile = userName_.empty() ? std::string() : findPathNoCase(users, {userName_});
        if (!profile.empty()) {
            userName_ = fs::path(profile).filename().string();
            user_ = open(findPathNoCase(profile, {"NTUSER.DAT"}), "NTUSER.DAT");
        }
    }
    std::vector<Mount> mounts;
    if (software_) mounts.push_back({kHkeyLocalMachine, {"SOFTWARE"}, software_.get(), {}});
    if (system_) mounts.push_back({kHkeyLocalMachine, {"SYSTEM"}, system_.get(), {}});
    if (user_) {
        mounts.push_back({kHkeyCurrentUser, {}, user_.get(), {}});
        mounts.push_back({kHkeyUsers, {userName_}, user_.get(), {}});
        mounts.push_back({kHkeyClassesRoot, {}, user_.get(), {"Software", "Classes"}});
    }
    if (software_) mounts.push_back({kHkeyClassesRoot, {}, software_.get(), {"Classes"}});
    setMounts(std::move(mounts));
}

HiveRegistry::~HiveRegistry() {
    flush();
    setMounts({});  // the hives go before the base does
}

std::string HiveRegistry::hivePath(std::string_view which) const {
    const HiveFile* hive = base::equalsNoCase(which, "SOFTWARE") ? software_.get()
                           : base::equalsNoCase(which, "SYSTEM") ? system_.get()
                                                                 : user_.get();
    return hive ? hive->path() : std::string();
}

}  // namespace vk::platform
