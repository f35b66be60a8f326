#include "platform/MountedRegistry.h"

#include <algorithm>
#include <cstdlib>

#include "platform/RegistryAccessMask.h"
#include "platform/base/Text.h"

namespace vk::platform {

namespace {

constexpr std::size_t kMaxDepth = 512;
constexpr std::size_t kMaxNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;

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

bool isRoot(RegHandle h) {
    return h == kHkeyClassesRoot || h == kHkeyCurrentUser || h == kHkeyLocalMachine || h == kHkeyUsers;
}

// a is b's beginning, names compared without regard to case.
bool isPrefix(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    if (a.size() > b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!base::equalsNoCase(a[i], b[i])) return false;
    return true;
}

void addName(std::vector<std::string>& names, std::string name) {
    if (std::none_of(names.begin(), names.end(), [&](const std::string& s) { return base::equalsNoCase(s, name); }))
        names.push_back(std::move(name));
}

}  // namespace

std::string MountedRegistry::backupFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string base = data && *data ? data : std::string(home ? home : "/tmp") + "/.local/share";
    return base + "/vandrelkast/backups";
}

MountedRegistry::MountedRegistry(std::vector<Mount> mounts, RegistryMessages* messages)
    : mounts_(std::move(mounts)), messages_(messages) {}

MountedRegistry::~MountedRegistry() {
    // Owners that hold the trees flush before they let them go; this catches the rest.
    flush();
}

bool MountedRegistry::commitChanges() {
    bool ok = true;
    std::vector<RegistryTree*> done;
    for (const Mount& m : mounts_) {
        if (!m.tree || std::find(done.begin(), done.end(), m.tree) != done.end()) continue;
        done.push_back(m.tree);
        if (!m.tree->modified()) continue;
        if (!m.tree->commit(backupFolder())) {
            ok = false;
            if (messages_) messages_->message(m.tree->problem());
        }
    }
    return ok;
}

bool MountedRegistry::flush() {
    std::lock_guard guard(mutex_);
    return commitChanges();
}

std::vector<MountedRegistry::Place> MountedRegistry::places(RegHandle root, const std::vector<std::string>& path) const {
    std::vector<Place> out;
    bool level = false;
    for (const Mount& m : mounts_) {
        if (m.root != root || !m.tree) continue;
        if (isPrefix(m.at, path)) {
            std::vector<std::string> inside = m.inside;
            inside.insert(inside.end(), path.begin() + static_cast<std::ptrdiff_t>(m.at.size()), path.end());
            if (auto node = m.tree->find(m.tree->root(), inside)) out.push_back({m.tree, *node});
        } else if (!level && path.size() < m.at.size() && isPrefix(path, m.at)) {
            level = true;
            out.push_back({nullptr, 0});
        }
    }
    return out;
}

std::optional<MountedRegistry::Place> MountedRegistry::locate(RegHandle root, const std::vector<std::string>& path) const {
    auto all = places(root, path);
    if (all.empty()) return std::nullopt;
    return all.front();
}

RegistryTree* MountedRegistry::treeFor(RegHandle root, const std::vector<std::string>& path) const {
    for (std::size_t have = path.size() + 1; have-- > 0;) {
        auto all = places(root, std::vector<std::string>(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(have)));
        if (all.empty()) continue;
        // New keys at the top of a merged view go to its last tree (the machine's classes).
        const Place& p = have == 0 ? all.back() : all.front();
        return p.tree;
    }
    return nullptr;
}

std::vector<std::string> MountedRegistry::subKeyNames(RegHandle root, const std::vector<std::string>& path) const {
    std::vector<std::string> names;
    for (const Place& p : places(root, path)) {
        if (p.tree) {
            for (auto& n : p.tree->childNames(p.node)) addName(names, std::move(n));
            continue;
        }
        for (const Mount& m : mounts_)
            if (m.root == root && m.tree && path.size() < m.at.size() && isPrefix(path, m.at))
                addName(names, m.at[path.size()]);
    }
    return names;
}

long MountedRegistry::resolve(RegHandle handle, OpenKey& out) const {
    if (isRoot(handle)) {
        out = OpenKey{handle, {}, kKeyAllAccess, false};
        return kErrorSuccess;
    }
    auto it = handles_.find(handle);
    if (it == handles_.end()) return kErrorInvalidHandle;
    out = it->second;
    return kErrorSuccess;
}

RegHandle MountedRegistry::allocate(OpenKey key) {
    RegHandle h = nextHandle_++;
    handles_.emplace(h, std::move(key));
    return h;
}

void MountedRegistry::wrote(RegHandle key) {
    auto it = handles_.find(key);
    if (it != handles_.end()) it->second.wrote = true;
    else commitChanges();  // through a root handle, which is never closed
}

long MountedRegistry::openKey(RegHandle parent, std::string_view subKey, std::uint32_t access, RegHandle& result) {
    std::lock_guard guard(mutex_);
    OpenKey p;
    if (long st = resolve(parent, p)) return st;
    std::vector<std::string> path = p.path;
    if (long st = splitPath(subKey, path)) return st == kErrorInvalidParameter ? kErrorFileNotFound : st;
    if (!locate(p.root, p.path)) return kErrorKeyDeleted;
    auto place = locate(p.root, path);
    if (!place) return kErrorFileNotFound;
    std::uint32_t acc = effectiveKeyAccess(access);
    const RegistryTree* tree = place->tree ? place->tree : treeFor(p.root, path);
    const bool canWrite = place->tree && !tree->readOnly();
    if (acc & kMaximumAllowed) acc |= canWrite ? kKeyAllAccess : kKeyRead;
    if ((acc & kKeyWriteBits) && place->tree && !canWrite) return kErrorAccessDenied;
    result = allocate(OpenKey{p.root, std::move(path), acc, false});
    return kErrorSuccess;
}

long MountedRegistry::createKey(RegHandle parent, std::string_view subKey, std::uint32_t access, RegHandle& result) {
    std::lock_guard guard(mutex_);
    OpenKey p;
    if (long st = resolve(parent, p)) return st;
    std::vector<std::string> path = p.path;
    if (long st = splitPath(subKey, path)) return st;
    if (!locate(p.root, p.path)) return kErrorKeyDeleted;
    std::uint32_t acc = effectiveKeyAccess(access);
    RegistryTree* tree = treeFor(p.root, path);
    const bool canWrite = tree && !tree->readOnly();
    if (acc & kMaximumAllowed) acc |= canWrite ? kKeyAllAccess : kKeyRead;
    bool made = false;
    if (!locate(p.root, path)) {
        if (!(p.access & kKeyCreateSubKey) || !canWrite) return kErrorAccessDenied;
        // From the deepest key that exists in that tree, the rest is added.
        std::size_t have = path.size();
        std::optional<Place> at;
        while (have > 0) {
            auto all = places(p.root, std::vector<std::string>(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(have)));
            auto mine = std::find_if(all.begin(), all.end(), [&](const Place& pl) { return pl.tree == tree; });
            if (mine != all.end()) {
                at = *mine;
                break;
            }
            --have;
        }
        if (!at) {
            auto all = places(p.root, {});
            auto mine = std::find_if(all.begin(), all.end(), [&](const Place& pl) { return pl.tree == tree; });
            if (mine == all.end()) return kErrorAccessDenied;  // no new trees under a level above mounts
            at = *mine;
        }
        RegistryTree::Node node = at->node;
        for (std::size_t i = have; i < path.size(); ++i) {
            auto added = tree->addChild(node, path[i]);
            if (!added) return kErrorAccessDenied;
            node = *added;
        }
        made = true;
    } else if ((acc & kKeyWriteBits) && !canWrite) {
        return kErrorAccessDenied;
    }
    result = allocate(OpenKey{p.root, std::move(path), acc, made});
    return kErrorSuccess;
}

long MountedRegistry::closeKey(RegHandle key) {
    std::lock_guard guard(mutex_);
    if (isRoot(key) || (key >= kHkeyPerformanceData && key <= kHkeyDynData)) return kErrorSuccess;
    auto it = handles_.find(key);
    if (it == handles_.end()) return kErrorInvalidHandle;
    const bool changed = it->second.wrote;
    handles_.erase(it);
    if (changed) commitChanges();
    return kErrorSuccess;
}

long MountedRegistry::queryValue(RegHandle key, std::string_view name, std::uint32_t& type, std::string& data) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeyQueryValue)) return kErrorAccessDenied;
    auto place = locate(k.root, k.path);
    if (!place) return kErrorKeyDeleted;
    if (!place->tree) return kErrorFileNotFound;
    auto value = place->tree->value(place->node, cutAtNul(name));
    if (!value) return kErrorFileNotFound;
    type = value->type;
    data = value->data;
    return kErrorSuccess;
}

long MountedRegistry::setValue(RegHandle key, std::string_view name, std::uint32_t type, std::string_view data) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeySetValue)) return kErrorAccessDenied;
    name = cutAtNul(name);
    if (name.size() > kMaxValueNameLength) return kErrorInvalidParameter;
    auto place = locate(k.root, k.path);
    if (!place) return kErrorKeyDeleted;
    if (!place->tree || place->tree->readOnly()) return kErrorAccessDenied;
    auto old = place->tree->value(place->node, name);
    if (old && old->type == type && old->data == data) return kErrorSuccess;
    // An existing value keeps the spelling of its name.
    if (!place->tree->setValue(place->node, {old ? old->name : std::string(name), type, std::string(data)}))
        return kErrorAccessDenied;
    wrote(key);
    return kErrorSuccess;
}

long MountedRegistry::deleteValue(RegHandle key, std::string_view name) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeySetValue)) return kErrorAccessDenied;
    name = cutAtNul(name);
    auto place = locate(k.root, k.path);
    if (!place) return kErrorKeyDeleted;
    if (!place->tree || !place->tree->value(place->node, name)) return kErrorFileNotFound;
    if (place->tree->readOnly() || !place->tree->deleteValue(place->node, name)) return kErrorAccessDenied;
    wrote(key);
    return kErrorSuccess;
}

long MountedRegistry::deleteKey(RegHandle key, std::string_view subKey) {
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
    // Levels above mounts and the mounted keys themselves are no keys to delete.
    if (!place->tree || place->node == place->tree->root()) return kErrorAccessDenied;
    for (const Mount& m : mounts_)
        if (m.root == k.root && m.tree == place->tree && m.at.size() == target.size() && isPrefix(m.at, target))
            return kErrorAccessDenied;
    if (!place->tree->childNames(place->node).empty()) return kErrorAccessDenied;
    if (place->tree->readOnly() || !place->tree->deleteChild(place->node)) return kErrorAccessDenied;
    commitChanges();
    return kErrorSuccess;
}

long MountedRegistry::enumValue(RegHandle key, std::uint32_t index, std::string& name, std::uint32_t& type,
                                std::string& data) {
    std::lock_guard guard(mutex_);
    OpenKey k;
    if (long st = resolve(key, k)) return st;
    if (!(k.access & kKeyQueryValue)) return kErrorAccessDenied;
    auto place = locate(k.root, k.path);
    if (!place) return kErrorKeyDeleted;
    if (!place->tree) return kErrorNoMoreItems;
    auto values = place->tree->values(place->node);
    if (index >= values.size()) return kErrorNoMoreItems;
    name = values[index].name;
    type = values[index].type;
    data = values[index].data;
    return kErrorSuccess;
}

long MountedRegistry::enumKey(RegHandle key, std::uint32_t index, std::string& name) {
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
