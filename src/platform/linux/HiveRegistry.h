#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/MountedRegistry.h"
#include "platform/linux/HiveFile.h"

namespace vk::platform {

// The registry of an offline Windows installation, from its hive files:
// HKEY_LOCAL_MACHINE\SOFTWARE and \SYSTEM from Windows/System32/config,
// HKEY_CURRENT_USER (and HKEY_USERS\NAME) from the profile's NTUSER.DAT,
// HKEY_CLASSES_ROOT as the user's classes over the machine's. Names in the
// Windows tree are found without regard to case. Before the first change to a
// hive a copy goes to the backup folder; a hive Windows did not close cleanly
// is only read.
class HiveRegistry final : public MountedRegistry {
public:
    // userName "" takes the profile whose NTUSER.DAT changed last.
    HiveRegistry(std::string windowsRoot, std::string userName, RegistryMessages* messages);
    ~HiveRegistry() override;

    const std::string& userName() const { return userName_; }
    // The hive file behind "SOFTWARE", "SYSTEM" or "NTUSER.DAT"; "" when missing.
    std::string hivePath(std::string_view which) const;

private:
    std::string windowsRoot_;
    std::string userName_;
    std::unique_ptr<HiveFile> software_;
    std::unique_ptr<HiveFile> system_;
    std::unique_ptr<HiveFile> user_;
};

// Where a name path lies below root, the names matched without regard to case
// (the exact name first); "" when a name is missing.
std::string findPathNoCase(const std::string& root, const std::vector<std::string>& names);

}  // namespace vk::platform
