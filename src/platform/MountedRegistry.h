#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Registry.h"
#include "platform/RegistryTree.h"

namespace vk::platform {

class RegistryMessages {
public:
    virtual ~RegistryMessages() = default;
    // Something the user should know: a file only read and why, a change that
    // could not be written.
    virtual void message(const std::string& /*text*/) {}
};

// A registry made of stored trees mounted at keys: HKEY_LOCAL_MACHINE\SOFTWARE
// from one hive, HKEY_CURRENT_USER from another, HKEY_CLASSES_ROOT as two
// trees in lookup order (the user's classes over the machine's). Levels above
// a mount only list what is mounted below them. Changes go to the disk when
// the key that made them is closed, and when the registry goes.
class MountedRegistry : public Registry {
public:
    struct Mount {
        RegHandle root = 0;
        std::vector<std::string> at;      // the key below root it serves
        RegistryTree* tree = nullptr;
        std::vector<std::string> inside;  // where in the tree that key is
    };

    MountedRegistry(std::vector<Mount> mounts, RegistryMessages* messages);
    ~MountedRegistry() override;

    // Writes every pending change now; false when one could not be written.
    bool flush();
    // $XDG_DATA_HOME/vandrelkast/backups: copies of files before their first change.
    static std::string backupFolder();

    long openKey(RegHandle parent, std::string_view subKey, std::uint32_t access, RegHandle& result) override;
    long createKey(RegHandle parent, std::string_view subKey, std::uint32_t access, RegHandle& result) override;
    long closeKey(RegHandle key) override;
    long queryValue(RegHandle key, std::string_view name, std::uint32_t& type, std::string& data) override;
    long setValue(RegHandle key, std::string_view name, std::uint32_t type, std::string_view data) override;
    long deleteValue(RegHandle key, std::string_view name) override;
    long deleteKey(RegHandle key, std::string_view subKey) override;
    long enumValue(RegHandle key, std::uint32_t index, std::string& name, std::uint32_t& type,
                   std::string& data) override;
    long enumKey(RegHandle key, std::uint32_t index, std::string& name) override;

protected:
    // For owners that open their trees before they know the mounts.
    void setMounts(std::vector<Mount> mounts) { mounts_ = std::move(mounts); }
    RegistryMessages* messages() const { return messages_; }

private:
    struct OpenKey {
        RegHandle root = 0;
        std::vector<std::string> path;
        std::uint32_t access = 0;
        bool wrote = false;
    };
    struct Place {
        RegistryTree* tree = nullptr;  // nullptr: a level above mounts
        RegistryTree::Node node = 0;
    };

    long resolve(RegHandle handle, OpenKey& out) const;
    std::vector<Place> places(RegHandle root, const std::vector<std::string>& path) const;
    std::optional<Place> locate(RegHandle root, const std::vector<std::string>& path) const;
    // The tree a key on path lives or would be made in.
    RegistryTree* treeFor(RegHandle root, const std::vector<std::string>& path) const;
    std::vector<std::string> subKeyNames(RegHandle root, const std::vector<std::string>& path) const;
    RegHandle allocate(OpenKey key);
    bool commitChanges();
    void wrote(RegHandle key);

    std::vector<Mount> mounts_;
    RegistryMessages* messages_;
    mutable std::mutex mutex_;
    std::unordered_map<RegHandle, OpenKey> handles_;
    RegHandle nextHandle_ = 0x100;
};

}  // namespace vk::platform
