#pragma once

#include <string>

#include "platform/Registry.h"
#include "platform/SpecialFolders.h"
#include "platform/WindowsPath.h"

namespace vk::platform {

struct Target;

// The special folders of a user on a Wine prefix or an offline Windows: the
// user hive's "Shell Folders" values where present (Windows paths, led through
// the target's drive letters), otherwise where Windows puts them in the
// profile (Users\NAME, Documents and Settings\NAME, drive_c/users/NAME).
class TargetProfileFolders final : public ProfileFolders {
public:
    // userName "" on a prefix takes $USER's profile, else the first one there.
    TargetProfileFolders(const Target& target, std::string userName, Registry& registry, const DriveLetterMap& letters);

    std::string folder(int csidl) const override;
    // The profile folder itself, "" when there is none.
    const std::string& profile() const { return profile_; }

private:
    std::string shellFolder(RegHandle root, const char* key, const char* value) const;
    std::string resolved(const std::string& windowsPath) const;

    Registry& registry_;
    const DriveLetterMap& letters_;
    std::string systemDrive_;
    std::string profile_;
    std::string allUsers_;
    bool oldLayout_ = false;  // Documents and Settings: "Application Data", "My Documents"
};

}  // namespace vk::platform
