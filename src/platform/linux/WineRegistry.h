#pragma once

#include <memory>
#include <string>

#include "platform/MountedRegistry.h"
#include "platform/linux/WineRegistryFile.h"

namespace vk::platform {

// The registry of a Wine prefix: system.reg as HKEY_LOCAL_MACHINE, user.reg
// as HKEY_CURRENT_USER and HKEY_USERS\<its SID>, HKEY_CLASSES_ROOT as the
// user's classes over the machine's. While the prefix's wineserver runs it
// holds the registry in memory and writes it back on its own, so changes are
// refused then (reads go on).
class WineRegistry final : public MountedRegistry {
public:
    WineRegistry(std::string prefix, RegistryMessages* messages);
    ~WineRegistry() override;

    const std::string& userKey() const { return userKey_; }

private:
    std::string prefix_;
    std::string userKey_;
    std::unique_ptr<WineRegistryFile> system_;
    std::unique_ptr<WineRegistryFile> user_;
};

// Whether the wineserver of prefix runs: it holds a lock on the "lock" file
// of its server folder (/tmp/.wine-UID/server-DEV-INODE, from the prefix
// folder's device and inode).
bool wineServerRunning(const std::string& prefix);
std::string wineServerFolder(const std::string& prefix);

}  // namespace vk::platform
