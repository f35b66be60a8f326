#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/MountedRegistry.h"
#include "platform/SpecialFolders.h"
#include "platform/WindowsPath.h"

namespace vk::platform {

// The Windows system the program repairs: this computer's embedded store
// (local), a Wine prefix, or an offline Windows installation mounted here.
struct Target {
    enum class Kind { Local, Wine, Windows };
    Kind kind = Kind::Local;
    std::string path;  // the prefix, or the Windows root
    std::string user;  // the profile on a Windows root ("" = the newest)

    // "local", "wine:PREFIX", "windows:ROOT".
    std::string spec() const;
    // For the window's caption area and messages.
    std::string description() const;
    // What C: stands for: the Windows root, or the prefix's drive_c ("" for local).
    std::string systemDrive() const;
    friend bool operator==(const Target&, const Target&) = default;
};

// Parses "local", "wine:PREFIX" or "windows:ROOT"; nullopt with the reason otherwise.
std::optional<Target> parseTarget(std::string_view text, std::string* error = nullptr);
// $VANDRELKAST_TARGET, local when unset; nullopt (with the reason) when it cannot be parsed.
std::optional<Target> targetFromEnvironment(std::string* error = nullptr);

// Drive letters ("c" -> folder) of a target: C: for the Windows root or
// drive_c, and a prefix's dosdevices links for the others.
// A link leading out of the prefix (z: -> / as winecfg makes it) is followed,
// since that is the drive the prefix's programs see; C: is always drive_c.
std::map<char, std::string> targetDriveLetters(const Target& target);

// Those letters as the Windows-path resolver asks for them.
class TargetDriveLetterMap final : public DriveLetterMap {
public:
    explicit TargetDriveLetterMap(const Target& target) : letters_(targetDriveLetters(target)) {}
    std::optional<std::string> rootOf(char letter) const override;

private:
    std::map<char, std::string> letters_;
};

// Wine prefixes ($WINEPREFIX, ~/.wine, ~/.local/share/wineprefixes/*) and
// mounted Windows installations found on this computer.
std::vector<Target> discoverTargets();

// Makes a target the process's own while it lives: its registry becomes the
// system registry, its Windows folder the Windows directory, its drive letters
// those of Windows paths and its user's profile the special folders.
class ActiveTarget {
public:
    ActiveTarget(Target target, RegistryMessages* messages);
    ~ActiveTarget();
    ActiveTarget(const ActiveTarget&) = delete;
    ActiveTarget& operator=(const ActiveTarget&) = delete;

    const Target& target() const { return target_; }
    // Writes the registry's pending changes now.
    bool flush();

private:
    Target target_;
    std::unique_ptr<MountedRegistry> registry_;
    std::optional<std::string> previousWindows_;
    std::unique_ptr<TargetDriveLetterMap> letters_;
    const DriveLetterMap* previousLetters_ = nullptr;
    std::unique_ptr<ProfileFolders> profile_;
    const ProfileFolders* previousProfile_ = nullptr;
};

}  // namespace vk::platform
