#include "platform/linux/RegistryStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <filesystem>

#include "platform/RegistryAccessMask.h"
#include "platform/linux/FileLock.h"

namespace vk::platform {
namespace {

// Whole-registry exports run to hundreds of megabytes; beyond this a file
// is not loaded (and so never rewritten), and a change that would grow a file
// beyond it is refused.
constexpr std::size_t kMaxFileSize = std::size_t{16} << 30;
constexpr auto kProbeLifetime = std::chrono::seconds(1);

constexpr long kErrorDiskFull = 112;
constexpr long kErrorRegistryIoFailed = 1016;
constexpr long kErrorNoSystemResources = 1450;


constexpr std::array<std::pair<RegHandle, std::string_view>, 4> kRoots = {{
    {kHkeyClassesRoot, "HKEY_CLASSES_ROOT"},
    {kHkeyCurrentUser, "HKEY_CURRENT_USER"},
    {kHkeyLocalMachine, "HKEY_LOCAL_MACHINE"},
    {kHkeyUsers, "HKEY_USERS"},
}};

long fromErrno(int e) {
    switch (e) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOTDIR:
    case EISDIR:
    case ETXTBSY:
        return kErrorAccessDenied;
    case ENOSPC:
    case EDQUOT:
        return kErrorDiskFull;
    default:
        return kErrorRegistryIoFailed;
    }
}

std::string_view cutAtNul(std::string_view s) {
    auto nul = s.find('\0');
    return nul == std::string_view::npos ? s : s.substr(0, nul);
}

// Key names as RegOpenKeyEx takes them: "\"-separated; empty segments (a
// doubled or trailing "\") are skipped.
long splitPath(std::string_view subKey, std::vector<std::string>& out, bool forCreate) {
    subKey = cutAtNul(subKey);
    while (!subKey.empty()) {
        std::size_t cut = subKey.find('\\');
        std::string_view part = subKey.substr(0, cut);
        if (!part.empty()) {
            if (part.size() > kRegMaxKeyNameLength) return kErrorInvalidParameter;
            if (forCreate && part.find_first_of("\r\n") != std::string_view::npos)
                return kErrorInvalidParameter;
            out.emplace_back(part);
        }
        if (cut == std::string_view::npos) break;
        subKey.remove_prefix(cut + 1);
    }
    return kErrorSuccess;
}

// The key at the first count names of path below from, or nullptr.
RegKeyNode* descend(RegKeyNode& from, const std::vector<std::string>& path, std::size_t count) {
    RegKeyNode* node = &from;
    for (std::size_t i = 0; i < count && node; ++i) node = node->findSubKey(path[i]);
    return node;
}
RegKeyNode* descend(RegKeyNode& from, const std::vector<std::string>& path) {
    return descend(from, path, path.size());
}

}  // namespace

RegistryStore::RegistryStore(std::string folder) : RegistryStore(std::move(folder), Options{}) {}

RegistryStore::RegistryStore(std::string folder, Options options)
    : folder_(std::move(folder)), options_(options) {
    while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
    for (std::size_t i = 0; i < kRoots.size(); ++i) {
        roots_[i].handle = kRoots[i].first;
        roots_[i].hiveName = kRoots[i].second;
        roots_[i].file = folder_ + "/" + std::string(kRoots[i].second) + ".reg";
    }
}

RegistryStore::~RegistryStore() = default;

std::string RegistryStore::defaultFolder() {
    if (const char* env = std::getenv("VANDRELKAST_REGISTRY"); env && *env) return env;
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
        data = xdg;
    } else {
        std::string home;
        if (const char* h = std::getenv("HOME"); h && *h) {
            home = h;
        } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
            home = pw->pw_dir;
        } else {
            home = "/tmp";
        }
        data = home + "/.local/share";
    }
    return data + "/vandrelkast/registry";
}

std::string RegistryStore::rootFile(RegHandle root) const {
    for (const auto& r : roots_)
        if (r.handle == root) return r.file;
    return {};
}

long RegistryStore::resolve(RegHandle handle, OpenKey& out) const {
    for (std::size_t i = 0; i < kRoots.size(); ++i) {
        if (kRoots[i].first == handle) {
            out = OpenKey{i, {}, kKeyAllAccess};
            return kErrorSuccess;
        }
    }
    auto it = handles_.find(handle);
    if (it == handles_.end()) return kErrorInvalidHandle;
    out = it->second;
    return kErrorSuccess;
}

void RegistryStore::load(Root& root) {
    std::string bytes;
    int err = 0;
    FileStamp before;
    root.doc = RegDocument{};  // a large tree is freed before the next is read
    for (int attempt = 0; attempt < 5; ++attempt) {
        before = fileStamp(root.file);
        try {
            err = readWholeFile(root.file, bytes, kMaxFileSize);
        } catch (const std::bad_alloc&) {
            err = ENOMEM;
        }
        if (fileStamp(root.file) == before) break;
    }
    root.stamp = before;
    root.loaded = true;
    root.unreadable = false;
    root.unreadableWhy.clear();
    if (err == 0) {
        try {
            root.doc = parseRegText(std::move(bytes));
        } catch (const std::bad_alloc&) {
            root.doc = RegDocument{};
            err = ENOMEM;
        }
    }
    if (err != 0 && err != ENOENT) {
        // There is something we cannot read: never replace it.
        root.unreadable = true;
        root.unreadableWhy = err == EFBIG ? "is larger than the store reads" : std::string("cannot be read: ") + std::strerror(err);
    }
}

void RegistryStore::refresh(Root& root) {
    if (!root.loaded || fileStamp(root.file) != root.stamp) load(root);
}

RegKeyNode& RegistryStore::hiveOf(Root& root) { return root.doc.ensureHive(root.hiveName); }

RegKeyNode* RegistryStore::find(Root& root, const std::vector<std::string>& path) {
    return descend(hiveOf(root), path);
}

std::string RegistryStore::whyReadOnly(Root& root) {
    if (options_.readOnly) return "belongs to a store opened read-only";
    if (root.unreadable) return root.unreadableWhy;
    if (root.doc.damaged) return root.doc.damage;
    auto now = std::chrono::steady_clock::now();
    if (root.probed && now - root.probedAt < kProbeLifetime) return root.writable ? std::string() : root.probeWhy;
    // Permission bits do not tell (root ignores them, read-only mounts and
    // immutable files do not show in them): try it.
    std::string why;
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (!std::filesystem::is_directory(folder_, ec)) why = "is in a folder that cannot be made: " + folder_;
    if (why.empty() && fileStamp(root.file).exists) {
        int fd = ::open(root.file.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0)
            why = std::string("cannot be opened for writing: ") + std::strerror(errno);
        else
            ::close(fd);
    }
    if (why.empty() && !folderAcceptsNewFiles(folder_)) why = "is in a folder that does not accept new files: " + folder_;
    root.probed = true;
    root.writable = why.empty();
    root.probeWhy = why;
    root.probedAt = now;
    return why;
}

long RegistryStore::refuseWrite(Root& root) {
    std::string why = whyReadOnly(root);
    if (why.empty()) why = "cannot be written";
    if (listener_ && why != root.reportedReason) {
        root.reportedReason = why;
        try {
            listener_->writeRefused(root.file, why);
        } catch (...) {
        }
    }
    return kErrorAccessDenied;
}

namespace {

// A lock file made by root in a user's store would lock the user out.
void giveLockFileToFolderOwner(const std::string& lockFile, const std::string& folder) {
    if (::geteuid() != 0) return;
    struct stat dir {}, lock {};
    if (::stat(folder.c_str(), &dir) != 0 || ::stat(lockFile.c_str(), &lock) != 0) return;
    if (lock.st_uid != dir.st_uid || lock.st_gid != dir.st_gid)
        (void)::chown(lockFile.c_str(), dir.st_uid, dir.st_gid);
}

}  // namespace

RegHandle RegistryStore::allocate(OpenKey key) {
    while (true) {
        RegHandle h = nextHandle_;
        nextHandle_ += 4;
        if (nextHandle_ >= 0x7FFFFFF0u) nextHandle_ = 0x100;
        if (handles_.count(h) == 0) {
            handles_.emplace(h, std::move(key));
            return h;
        }
    }
}

template <class Change>
long RegistryStore::change(Root& root, Change&& apply) {
    if (!writable(root)) return refuseWrite(root);
    // A lock file of its own, never replaced, so the lock still holds after the
    // rename while we take the new file's stamp.
    FileLock lock;
    if (int e = lock.lock(root.file + ".lock", 0600)) {
        root.probed = false;
        return fromErrno(e);
    }
    giveLockFileToFolderOwner(root.file + ".lock", folder_);
    refresh(root);
    if (root.unreadable || root.doc.damaged) return refuseWrite(root);
    bool changed = false;
    long status = apply(hiveOf(root), changed);
    if (status != kErrorSuccess || !changed) return status;
    std::string text = writeRegText(root.doc);
    if (text.size() > kMaxFileSize) {
        load(root);
        return kErrorNoSystemResources;
    }
    if (int e = atomicReplaceFile(root.file, text, 0600)) {
        root.probed = false;
        load(root);  // drop the change we could not save
        return fromErrno(e);
    }
    root.stamp = fileStamp(root.file);
    return kErrorSuccess;
}

std::string RegistryStore::readOnlyReason(RegHandle handle) {
    std::lock_guard guard(mutex_);
    for (auto& r : roots_) {
        if (r.handle == handle) {
            refresh(r);
            return whyReadOnly(r);
        }
    }
    return "is not kept by the store";
}

void RegistryStore::setListener(RegistryStoreListener* listener) {
    std::lock_guard guard(mutex_);
    listener_ = listener;
}

bool RegistryStore::rootDamaged(RegHandle handle) {
    std::lock_guard guard(mutex_);
    for (auto& r : roots_) {
        if (r.handle == handle) {
            refresh(r);
            return r.doc.damaged || r.unreadable;
        }
    }
    return false;
}

std::size_t RegistryStore::openHandleCount() {
    std::lock_guard guard(mutex_);
    return handles_.size();
}

long RegistryStore::openKey(RegHandle parent, std::string_view subKey, std::uint32_t access,
                            RegHandle& result) {
    std::lock_guard guard(mutex_);
    OpenKey p;
    if (long st = resolve(parent, p)) return st;
    std::vector<std::string> path = p.path;
    if (long st = splitPath(subKey, path, false)) return st;
    if (path.size() > kRegMaxDepth) return kErrorFileNotFound;
    Root& root = roots_[p.root];
    refresh(root);
    if (!find(root, p.path)) return kErrorKeyDeleted;
    if (!find(root, path)) return kErrorFileNotFound;
    std::uint32_t acc = effectiveKeyAccess(access);
    if (acc & kMaximumAllowed) acc |= writable(root) ? kKeyAllAccess : kKeyRead;
    if ((acc & kKeyWriteBits) && !writable(root)) return refuseWrite(root);
    result = allocate(OpenKey{p.root, std::move(path), acc});
    return kErrorSuccess;
}

long RegistryStore::createKey(RegHandle parent, std::string_view subKey, std::uint32_t access,
                              RegHandle& result) {
    std::lock_guard guard(mutex_);
    OpenKey p;
    if (long st = resolve(parent, p)) return st;
    std::vector<std::string> path = p.path;
    if (long st = splitPath(subKey, path, true)) return st;
    if (path.size() > kRegMaxDepth) return kErrorInvalidParameter;
    Root& root = roots_[p.root];
    refresh(root);
    if (!find(root, p.path)) return kErrorKeyDeleted;
    std::uint32_t acc = effectiveKeyAccess(access);
    if (acc & kMaximumAllowed) acc |= writable(root) ? kKeyAllAccess : kKeyRead;
    if (!find(root, path)) {
        if (!(p.access & kKeyCreateSubKey)) return kErrorAccessDenied;
        long st = change(root, [&](RegKeyNode& hive, bool& changed) -> long {
            RegKeyNode* node = descend(hive, p.path);
            if (!node) return kErrorKeyDeleted;
            for (std::size_t i = p.path.size(); i < path.size(); ++i) {
                std::size_t before = node->subKeyCount();
                RegKeyNode& next = node->ensureSubKey(path[i]);
                if (node->subKeyCount() != before) changed = true;
                node = &next;
            }
            return kErrorSuccess;
        });
        if (st) return st;
    } else if ((acc & kKeyWriteBits) && !writable(root)) {
        return refuseWrite(root);
    }
    result = allocate(OpenKey{p.root, std::move(path), acc});
    return kErrorSuccess;
}

long RegistryStore::closeKey(RegHandle key) {
    std::lock_guard guard(mutex_);
    if (key >= kHkeyClassesRoot && key <= kHkeyDynData) return kErrorSuccess;
    return handles_.erase(key) ? kErrorSuccess : kErrorInvalidHandle;
}

long RegistryStore::queryValue(RegHandle key, std::string_view name, std::uint32_t& type,
                               std::string& data) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeyQueryValue)) return kErrorAccessDenied;
    Root& root = roots_[k.root];
    refresh(root);
    RegKeyNode* node = find(root, k.path);
    if (!node) return kErrorKeyDeleted;
    const RegValueEntry* v = node->findValue(cutAtNul(name));
    if (!v) return kErrorFileNotFound;
    type = v->type;
    data = v->data;
    return kErrorSuccess;
}

long RegistryStore::setValue(RegHandle key, std::string_view name, std::uint32_t type,
                             std::string_view data) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeySetValue)) return kErrorAccessDenied;
    name = cutAtNul(name);
    // A line break cannot be written in a .reg value name.
    if (name.size() > kRegMaxValueNameLength || name.find_first_of("\r\n") != std::string_view::npos)
        return kErrorInvalidParameter;
    Root& root = roots_[k.root];
    refresh(root);
    if (!find(root, k.path)) return kErrorKeyDeleted;
    return change(root, [&](RegKeyNode& hive, bool& changed) -> long {
        RegKeyNode* node = descend(hive, k.path);
        if (!node) return kErrorKeyDeleted;
        const RegValueEntry* old = node->findValue(name);
        if (old && old->type == type && old->data == data) return kErrorSuccess;
        node->setValue(name, type, std::string(data));
        changed = true;
        return kErrorSuccess;
    });
}

long RegistryStore::deleteValue(RegHandle key, std::string_view name) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeySetValue)) return kErrorAccessDenied;
    name = cutAtNul(name);
    Root& root = roots_[k.root];
    refresh(root);
    RegKeyNode* node = find(root, k.path);
    if (!node) return kErrorKeyDeleted;
    if (!node->findValue(name)) return kErrorFileNotFound;
    return change(root, [&](RegKeyNode& hive, bool& changed) -> long {
        RegKeyNode* n = descend(hive, k.path);
        if (!n) return kErrorKeyDeleted;
        if (!n->removeValue(name)) return kErrorFileNotFound;
        changed = true;
        return kErrorSuccess;
    });
}

long RegistryStore::deleteKey(RegHandle key, std::string_view subKey) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & (kKeySetValue | kKeyCreateSubKey | kKeyDelete))) return kErrorAccessDenied;
    std::vector<std::string> target = k.path;
    if (long st = splitPath(subKey, target, false)) return st;
    if (target.empty()) return kErrorAccessDenied;  // a root cannot be deleted
    Root& root = roots_[k.root];
    refresh(root);
    if (!find(root, k.path)) return kErrorKeyDeleted;
    RegKeyNode* node = find(root, target);
    if (!node) return kErrorFileNotFound;
    if (node->subKeyCount() > 0) return kErrorAccessDenied;
    return change(root, [&](RegKeyNode& hive, bool& changed) -> long {
        RegKeyNode* parent = descend(hive, target, target.size() - 1);
        if (!parent) return kErrorFileNotFound;
        RegKeyNode* child = parent->findSubKey(target.back());
        if (!child) return kErrorFileNotFound;
        if (child->subKeyCount() > 0) return kErrorAccessDenied;
        parent->removeSubKey(target.back());
        changed = true;
        return kErrorSuccess;
    });
}

long RegistryStore::enumValue(RegHandle key, std::uint32_t index, std::string& name,
                              std::uint32_t& type, std::string& data) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeyQueryValue)) return kErrorAccessDenied;
    Root& root = roots_[k.root];
    refresh(root);
    RegKeyNode* node = find(root, k.path);
    if (!node) return kErrorKeyDeleted;
    if (index >= node->values().size()) return kErrorNoMoreItems;
    const RegValueEntry& v = node->values()[index];
    name = v.name;
    type = v.type;
    data = v.data;
    return kErrorSuccess;
}

long RegistryStore::enumKey(RegHandle key, std::uint32_t index, std::string& name) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeyEnumerateSubKeys)) return kErrorAccessDenied;
    Root& root = roots_[k.root];
    refresh(root);
    RegKeyNode* node = find(root, k.path);
    if (!node) return kErrorKeyDeleted;
    if (index >= node->subKeyCount()) return kErrorNoMoreItems;
    name = node->subKeyAt(index).name();
    return kErrorSuccess;
}

}  // namespace vk::platform
