#include "platform/linux/HiveRegistry.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/RegistryAccessMask.h"
#include "platform/Utf16.h"
#include "platform/base/Text.h"

namespace vk::platform {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxDepth = 512;
constexpr std::size_t kMaxNameLength = 255;

// A path below root whose names match without regard to case (the exact name first).
std::string findNoCase(const std::string& root, const std::vector<std::string>& names) {
    fs::path at = root;
    for (const auto& name : names) {
        std::error_code ec;
        if (fs::exists(at / name, ec)) {
            at /= name;
            continue;
        }
        fs::path match;
        for (const auto& e : fs::directory_iterator(at, ec)) {
            if (base::equalsNoCase(e.path().filename().string(), name)) {
                match = e.path();
                break;
            }
        }
        if (match.empty()) return {};
        at = match;
    }
    return at.string();
}

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
        const std::string hive = findNoCase(e.path().string(), {"NTUSER.DAT"});
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

bool isStringType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

// The interface keeps strings as UTF-8 with their NUL; hives keep UTF-16LE.
std::string fromHive(std::uint32_t type, const std::string& data) {
    if (!isStringType(type)) return data;
    std::string text = utf16ToUtf8(data);
    if (text.empty() || text.back() != '\0') text.push_back('\0');
    return text;
}

std::string toHive(std::uint32_t type, std::string_view data) {
    if (!isStringType(type)) return std::string(data);
    std::string text(data);
    if (text.empty() || text.back() != '\0') text.push_back('\0');
    return utf8ToUtf16le(text);
}

long splitPath(std::string_view subKey, std::vector<std::string>& path) {
    std::size_t start = 0;
    while (start <= subKey.size()) {
        std::size_t end = subKey.find('\\', start);
        if (end == std::string_view::npos) end = subKey.size();
        std::string_view part = subKey.substr(start, end - start);
        if (!part.empty()) {
            if (part.size() > kMaxNameLength) return kErrorInvalidParameter;
            path.emplace_back(part);
        }
        start = end + 1;
    }
    return path.size() > kMaxDepth ? kErrorInvalidParameter : kErrorSuccess;
}

std::string_view cutAtNul(std::string_view name) { return name.substr(0, name.find('\0')); }

bool isRoot(RegHandle h) { return h == kHkeyClassesRoot || h == kHkeyCurrentUser || h == kHkeyLocalMachine || h == kHkeyUsers; }

}  // namespace

std::string HiveRegistry::backupFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base = data && *data ? data : std::string(std::getenv("HOME") ? std::getenv("HOME") : "/tmp") + "/.local/share";
    return base + "/vandrelkast/backups";
}

HiveRegistry::HiveRegistry(std::string windowsRoot, std::string userName, HiveRegistryListener* listener)
    : windowsRoot_(std::move(windowsRoot)), userName_(std::move(userName)), listener_(listener) {
    auto open = [this](const std::string& path, const char* what) -> std::unique_ptr<HiveFile> {
        if (path.empty()) {
            if (listener_) listener_->message(std::string("No ") + what + " hive was found under " + windowsRoot_ + ".");
            return nullptr;
        }
        auto hive = std::make_unique<HiveFile>(path, false);
        if (!hive->problem().empty() && listener_) listener_->message(hive->problem());
        if (!hive->opened()) return nullptr;
        return hive;
    };
    software_ = open(findNoCase(windowsRoot_, {"Windows", "System32", "config", "SOFTWARE"}), "SOFTWARE");
    system_ = open(findNoCase(windowsRoot_, {"Windows", "System32", "config", "SYSTEM"}), "SYSTEM");
    std::string users = findNoCase(windowsRoot_, {"Users"});
    if (users.empty()) users = findNoCase(windowsRoot_, {"Documents and Settings"});
    if (!users.empty()) {
        if (userName_.empty()) userName_ = newestProfile(users);
        const std::string profile = userName_.empty() ? std::string() : findNoCase(users, {userName_});
        if (!profile.empty()) {
            userName_ = fs::path(profile).filename().string();
            user_ = open(findNoCase(profile, {"NTUSER.DAT"}), "NTUSER.DAT");
        }
    }
}

HiveRegistry::~HiveRegistry() { flush(); }

std::string HiveRegistry::hivePath(std::string_view which) const {
    const HiveFile* hive = base::equalsNoCase(which, "SOFTWARE")  ? software_.get()
                           : base::equalsNoCase(which, "SYSTEM")  ? system_.get()
                                                                  : user_.get();
    return hive ? hive->path() : std::string();
}

bool HiveRegistry::flush() {
    std::lock_guard guard(mutex_);
    bool ok = true;
    for (HiveFile* hive : {software_.get(), system_.get(), user_.get()}) {
        if (!hive || !hive->modified()) continue;
        if (!hive->commit(backupFolder())) {
            ok = false;
            if (listener_) listener_->message(hive->problem());
        }
    }
    return ok;
}

void HiveRegistry::commitChanges() {
    for (HiveFile* hive : {software_.get(), system_.get(), user_.get()})
        if (hive && hive->modified() && !hive->commit(backupFolder()) && listener_) listener_->message(hive->problem());
}

std::vector<HiveRegistry::Place> HiveRegistry::places(RegHandle root, const std::vector<std::string>& path) const {
    std::vector<Place> out;
    auto below = [&](HiveFile* hive, std::vector<std::string> prefix, std::size_t skip) {
        if (!hive) return;
        for (std::size_t i = skip; i < path.size(); ++i) prefix.push_back(path[i]);
        if (auto node = hive->find(hive->root(), prefix)) out.push_back({hive, *node, false});
    };
    switch (root) {
        case kHkeyLocalMachine:
            if (path.empty()) out.push_back({nullptr, 0, true});
            else if (base::equalsNoCase(path[0], "SOFTWARE")) below(software_.get(), {}, 1);
            else if (base::equalsNoCase(path[0], "SYSTEM")) below(system_.get(), {}, 1);
            break;
        case kHkeyCurrentUser: below(user_.get(), {}, 0); break;
        case kHkeyUsers:
            if (path.empty()) out.push_back({nullptr, 0, true});
            else if (user_ && base::equalsNoCase(path[0], userName_)) below(user_.get(), {}, 1);
            break;
        case kHkeyClassesRoot:
            // The user's classes first, as Windows merges them.
            below(user_.get(), {"Software", "Classes"}, 0);
            below(software_.get(), {"Classes"}, 0);
            break;
        default: break;
    }
    return out;
}

std::optional<HiveRegistry::Place> HiveRegistry::locate(RegHandle root, const std::vector<std::string>& path) const {
    auto all = places(root, path);
    if (all.empty()) return std::nullopt;
    return all.front();
}

bool HiveRegistry::writable(RegHandle root, const std::vector<std::string>& path) const {
    auto place = locate(root, path);
    if (place && place->hive) return !place->hive->readOnly();
    // A key still to be made: the hive it would go into.
    const HiveFile* hive = nullptr;
    if (root == kHkeyCurrentUser || (root == kHkeyUsers && !path.empty())) hive = user_.get();
    else if (root == kHkeyClassesRoot) hive = software_.get();
    else if (root == kHkeyLocalMachine && !path.empty())
        hive = base::equalsNoCase(path[0], "SYSTEM") ? system_.get() : software_.get();
    return hive && !hive->readOnly();
}

std::vector<std::string> HiveRegistry::subKeyNames(RegHandle root, const std::vector<std::string>& path) const {
    std::vector<std::string> names;
    for (const Place& p : places(root, path)) {
        if (p.virtualLevel) {
            if (root == kHkeyLocalMachine) {
                if (software_) names.push_back("SOFTWARE");
                if (system_) names.push_back("SYSTEM");
            } else if (user_) {
                names.push_back(userName_);
            }
            continue;
        }
        for (auto& n : p.hive->childNames(p.node)) {
            bool seen = std::any_of(names.begin(), names.end(), [&](const std::string& s) { return base::equalsNoCase(s, n); });
            if (!seen) names.push_back(std::move(n));
        }
    }
    return names;
}

long HiveRegistry::resolve(RegHandle handle, OpenKey& out) const {
    if (isRoot(handle)) {
        out = OpenKey{handle, {}, kKeyAllAccess, false};
        return kErrorSuccess;
    }
    auto it = handles_.find(handle);
    if (it == handles_.end()) return kErrorInvalidHandle;
    out = it->second;
    return kErrorSuccess;
}

RegHandle HiveRegistry::allocate(OpenKey key) {
    RegHandle h = nextHandle_++;
    handles_.emplace(h, std::move(key));
    return h;
}

long HiveRegistry::openKey(RegHandle parent, std::string_view subKey, std::uint32_t access, RegHandle& result) {
    std::lock_guard guard(mutex_);
    OpenKey p;
    if (long st = resolve(parent, p)) return st;
    if (!isRoot(p.root)) return kErrorInvalidHandle;
    std::vector<std::string> path = p.path;
    if (long st = splitPath(subKey, path)) return st == kErrorInvalidParameter ? kErrorFileNotFound : st;
    if (!locate(p.root, p.path)) return kErrorKeyDeleted;
    if (!locate(p.root, path)) return kErrorFileNotFound;
    std::uint32_t acc = effectiveKeyAccess(access);
    const bool canWrite = writable(p.root, path);
    if (acc & kMaximumAllowed) acc |= canWrite ? kKeyAllAccess : kKeyRead;
    if ((acc & kKeyWriteBits) && !canWrite) return kErrorAccessDenied;
    result = allocate(OpenKey{p.root, std::move(path), acc, false});
    return kErrorSuccess;
}

long HiveRegistry::createKey(RegHandle parent, std::string_view subKey, std::uint32_t access, RegHandle& result) {
    std::lock_guard guard(mutex_);
    OpenKey p;
    if (long st = resolve(parent, p)) return st;
    std::vector<std::string> path = p.path;
    if (long st = splitPath(subKey, path)) return st;
    if (!locate(p.root, p.path)) return kErrorKeyDeleted;
    std::uint32_t acc = effectiveKeyAccess(access);
    const bool canWrite = writable(p.root, path);
    if (acc & kMaximumAllowed) acc |= canWrite ? kKeyAllAccess : kKeyRead;
    bool wrote = false;
    if (!locate(p.root, path)) {
        if (!(p.access & kKeyCreateSubKey) || !canWrite) return kErrorAccessDenied;
        // Walk down from the deepest existing key, adding the rest.
        std::size_t have = path.size();
        std::optional<Place> at;
        while (have > 0 && !(at = locate(p.root, std::vector<std::string>(path.begin(), path.begin() + have)))) --have;
        if (!at) {
            // Nothing of the path exists: HKEY_CLASSES_ROOT makes new keys in the machine's classes.
            auto top = places(p.root, {});
            if (!top.empty()) at = top.back();
        }
        if (!at || at->virtualLevel) return kErrorAccessDenied;  // no new hives under HKLM or HKU
        HiveFile::Node node = at->node;
        for (std::size_t i = have; i < path.size(); ++i) {
            auto added = at->hive->addChild(node, path[i]);
            if (!added) return kErrorAccessDenied;
            node = *added;
        }
        wrote = true;
    } else if ((acc & kKeyWriteBits) && !canWrite) {
        return kErrorAccessDenied;
    }
    result = allocate(OpenKey{p.root, std::move(path), acc, wrote});
    return kErrorSuccess;
}

long HiveRegistry::closeKey(RegHandle key) {
    std::lock_guard guard(mutex_);
    if (isRoot(key) || (key >= kHkeyPerformanceData && key <= kHkeyDynData)) return kErrorSuccess;
    auto it = handles_.find(key);
    if (it == handles_.end()) return kErrorInvalidHandle;
    const bool wrote = it->second.wrote;
    handles_.erase(it);
    // The changes of a closed key go to the disk.
    if (wrote) commitChanges();
    return kErrorSuccess;
}

long HiveRegistry::queryValue(RegHandle key, std::string_view name, std::uint32_t& type, std::string& data) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeyQueryValue)) return kErrorAccessDenied;
    auto place = locate(k.root, k.path);
    if (!place) return kErrorKeyDeleted;
    if (place->virtualLevel) return kErrorFileNotFound;
    auto value = place->hive->value(place->node, cutAtNul(name));
    if (!value) return kErrorFileNotFound;
    type = value->type;
    data = fromHive(value->type, value->data);
    return kErrorSuccess;
}

long HiveRegistry::setValue(RegHandle key, std::string_view name, std::uint32_t type, std::string_view data) {
    std::lock_guard guard(mutex_);
    auto it = handles_.find(key);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeySetValue)) return kErrorAccessDenied;
    name = cutAtNul(name);
    if (name.size() > 16383) return kErrorInvalidParameter;
    auto place = locate(k.root, k.path);
    if (!place) return kErrorKeyDeleted;
    if (place->virtualLevel || place->hive->readOnly()) return kErrorAccessDenied;
    auto old = place->hive->value(place->node, name);
    const std::string stored = toHive(type, data);
    if (old && old->type == type && old->data == stored) return kErrorSuccess;
    // An existing value keeps the spelling of its name.
    HiveFile::Value value{old ? old->name : std::string(name), type, stored};
    if (!place->hive->setValue(place->node, value)) return kErrorAccessDenied;
    if (it != handles_.end()) it->second.wrote = true;
    else commitChanges();
    return kErrorSuccess;
}

long HiveRegistry::deleteValue(RegHandle key, std::string_view name) {
    std::lock_guard guard(mutex_);
    auto it = handles_.find(key);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeySetValue)) return kErrorAccessDenied;
    auto place = locate(k.root, k.path);
    if (!place) return kErrorKeyDeleted;
    if (place->virtualLevel) return kErrorFileNotFound;
    if (!place->hive->value(place->node, cutAtNul(name))) return kErrorFileNotFound;
    if (place->hive->readOnly()) return kErrorAccessDenied;
    if (!place->hive->deleteValue(place->node, cutAtNul(name))) return kErrorAccessDenied;
    if (it != handles_.end()) it->second.wrote = true;
    else commitChanges();
    return kErrorSuccess;
}

long HiveRegistry::deleteKey(RegHandle key, std::string_view subKey) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & (kKeySetValue | kKeyCreateSubKey | kKeyDelete))) return kErrorAccessDenied;
    std::vector<std::string> target = k.path;
    if (long st = splitPath(subKey, target)) return st;
    if (target.empty()) return kErrorAccessDenied;
    if (!locate(k.root, k.path)) return kErrorKeyDeleted;
    auto place = locate(k.root, target);
    if (!place) return kErrorFileNotFound;
    // A hive's own root is no key to delete.
    if (place->virtualLevel || place->node == place->hive->root()) return kErrorAccessDenied;
    if (!place->hive->childNames(place->node).empty()) return kErrorAccessDenied;
    if (place->hive->readOnly() || !place->hive->deleteChild(place->node)) return kErrorAccessDenied;
    commitChanges();
    return kErrorSuccess;
}

long HiveRegistry::enumValue(RegHandle key, std::uint32_t index, std::string& name, std::uint32_t& type,
                             std::string& data) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeyQueryValue)) return kErrorAccessDenied;
    auto place = locate(k.root, k.path);
    if (!place) return kErrorKeyDeleted;
    if (place->virtualLevel) return kErrorNoMoreItems;
    auto values = place->hive->values(place->node);
    if (index >= values.size()) return kErrorNoMoreItems;
    name = values[index].name;
    type = values[index].type;
    data = fromHive(type, values[index].data);
    return kErrorSuccess;
}

long HiveRegistry::enumKey(RegHandle key, std::uint32_t index, std::string& name) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeyEnumerateSubKeys)) return kErrorAccessDenied;
    if (!locate(k.root, k.path)) return kErrorKeyDeleted;
    auto names = subKeyNames(k.root, k.path);
    if (index >= names.size()) return kErrorNoMoreItems;
    name = names[index];
    return kErrorSuccess;
}

}  // namespace vk::platform
