#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Registry.h"
#include "platform/linux/HiveFile.h"

namespace vk::platform {

class HiveRegistryListener {
public:
    virtual ~HiveRegistryListener() = default;
    // Something the user should know: a hive only read and why, a backup
    // made, a change that could not be written.
    virtual void message(const std::string& /*text*/) {}
};

// The registry of an offline Windows installation, from its hive files:
// HKEY_LOCAL_MACHINE\SOFTWARE and \SYSTEM from Windows/System32/config,
// HKEY_CURRENT_USER (and HKEY_USERS\NAME) from the profile's NTUSER.DAT,
// HKEY_CLASSES_ROOT as the user's classes over the machine's. Names in the
// Windows tree are found without regard to case. Before the first change to a
// hive a copy goes to $XDG_DATA_HOME/vandrelkast/backups; changes are written
// when the key that made them is closed (and when the registry goes).
class HiveRegistry final : public Registry {
public:
    // userName "" takes the profile whose NTUSER.DAT changed last.
    HiveRegistry(std::string windowsRoot, std::string userName, HiveRegistryListener* listener);
    ~HiveRegistry() override;

    const std::string& userName() const { return userName_; }
    // The hive file behind a root key ("SOFTWARE", "SYSTEM", "NTUSER.DAT"), "" when missing.
    std::string hivePath(std::string_view which) const;
    // Writes every pending change now; false when one could not be written.
    bool flush();
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

private:
    struct OpenKey {
        RegHandle root = 0;
        std::vector<std::string> path;
        std::uint32_t access = 0;
        bool wrote = false;
    };
    // Where a key lives: a hive and a node, or one of the made-up levels
    // (HKEY_LOCAL_MACHINE, HKEY_USERS) that only list their hives.
    struct Place {
        HiveFile* hive = nullptr;
        HiveFile::Node node = 0;
        bool virtualLevel = false;
    };

    long resolve(RegHandle handle, OpenKey& out) const;
    // Candidates in lookup order (two for HKEY_CLASSES_ROOT).
    std::vector<Place> places(RegHandle root, const std::vector<std::string>& path) const;
    std::optional<Place> locate(RegHandle root, const std::vector<std::string>& path) const;
    bool writable(RegHandle root, const std::vector<std::string>& path) const;
    std::vector<std::string> subKeyNames(RegHandle root, const std::vector<std::string>& path) const;
    RegHandle allocate(OpenKey key);
    void commitChanges();

    std::string windowsRoot_;
    std::string userName_;
    HiveRegistryListener* listener_;
    std::unique_ptr<HiveFile> software_;
    std::unique_ptr<HiveFile> system_;
    std::unique_ptr<HiveFile> user_;
    mutable std::mutex mutex_;
    std::unordered_map<RegHandle, OpenKey> handles_;
    RegHandle nextHandle_ = 0x100;
};

}  // namespace vk::platform
