#pragma once

#include <string>
#include <vector>

namespace vk::platform {

// CSIDL numbers the program names.
inline constexpr int kCsidlDesktop = 0;
inline constexpr int kCsidlPrograms = 2;
inline constexpr int kCsidlPersonal = 5;
inline constexpr int kCsidlFavorites = 6;
inline constexpr int kCsidlStartup = 7;
inline constexpr int kCsidlRecent = 8;
inline constexpr int kCsidlSendTo = 9;
inline constexpr int kCsidlStartMenu = 11;
inline constexpr int kCsidlDesktopDirectory = 16;
inline constexpr int kCsidlFonts = 20;
inline constexpr int kCsidlTemplates = 21;
inline constexpr int kCsidlCommonStartMenu = 22;
inline constexpr int kCsidlCommonPrograms = 23;
inline constexpr int kCsidlCommonStartup = 24;
inline constexpr int kCsidlCommonDesktopDirectory = 25;
inline constexpr int kCsidlAppData = 26;
inline constexpr int kCsidlLocalAppData = 28;
inline constexpr int kCsidlInternetCache = 32;
inline constexpr int kCsidlCommonAppData = 35;
inline constexpr int kCsidlProgramFiles = 38;
inline constexpr int kCsidlMyPictures = 39;
inline constexpr int kCsidlProfile = 40;
inline constexpr int kCsidlProgramFilesX86 = 42;
inline constexpr int kCsidlCommonDocuments = 46;

// The folder for a CSIDL number on this system, without a trailing separator,
// or "" when Linux has no counterpart (or the folder does not exist). While a
// target's profile is set, the folder of that profile instead.
std::string specialFolderPath(int csidl);

// The special folders of a Windows user's profile; "" for one it has not.
class ProfileFolders {
public:
    virtual ~ProfileFolders() = default;
    virtual std::string folder(int csidl) const = 0;
};
// nullptr returns to this computer's folders; answers the profile set before.
const ProfileFolders* setProfileFolders(const ProfileFolders* folders);

// What GetWindowsDirectory / GetSystemDirectory answer here: a Windows
// installation pointed at by $VANDRELKAST_WINDOWS (its Windows folder and
// its System32), else "".
std::string windowsDirectory();
std::string systemDirectory();

// $XDG_CONFIG_HOME (default ~/.config), whether or not it exists; "" without a home.
std::string xdgConfigHome();
// $XDG_CONFIG_DIRS split at ":" (relative entries dropped), default /etc/xdg;
// the most important first.
std::vector<std::string> xdgConfigDirs();

// The temporary folder ($TMPDIR or /tmp), without a trailing separator.
std::string tempFolder();

}  // namespace vk::platform
