#include "platform/TargetProfileFolders.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/Target.h"
#include "platform/base/Text.h"
#include "platform/linux/HiveRegistry.h"

namespace vk::platform {

namespace fs = std::filesystem;

namespace {

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kCurrentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";

struct Place {
    int csidl;
    bool common;            // all users': HKEY_LOCAL_MACHINE, below C: (or All Users)
    const char* value;      // in Shell Folders
    const char* inProfile;  // the default below the profile (or C:)
    const char* oldLayout;  // the same below Documents and Settings\NAME (or All Users)
};

constexpr Place kPlaces[] = {
    {kCsidlDesktop, false, "Desktop", "Desktop", "Desktop"},
    {kCsidlDesktopDirectory, false, "Desktop", "Desktop", "Desktop"},
    {kCsidlPrograms, false, "Programs", "AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs", "Start Menu\\Programs"},
    {kCsidlPersonal, false, "Personal", "Documents", "My Documents"},
    {kCsidlFavorites, false, "Favorites", "Favorites", "Favorites"},
    {kCsidlStartup, false, "Startup", "AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
     "Start Menu\\Programs\\Startup"},
    {kCsidlRecent, false, "Recent", "AppData\\Roaming\\Microsoft\\Windows\\Recent", "Recent"},
    {kCsidlSendTo, false, "SendTo", "AppData\\Roaming\\Microsoft\\Windows\\SendTo", "SendTo"},
    {kCsidlStartMenu, false, "Start Menu", "AppData\\Roaming\\Microsoft\\Windows\\Start Menu", "Start Menu"},
    {kCsidlTemplates, false, "Templates", "AppData\\Roaming\\Microsoft\\Windows\\Templates", "Templates"},
    {kCsidlAppData, false, "AppData", "AppData\\Roaming", "Application Data"},
    {kCsidlLocalAppData, false, "Local AppData", "AppData\\Local", "Local Settings\\Application Data"},
    {kCsidlInternetCache, false, "Cache", "AppData\\Local\\Microsoft\\Windows\\INetCache",
     "Local Settings\\Temporary Internet Files"},
    {kCsidlMyPictures, false, "My Pictures", "Pictures", "My Documents\\My Pictures"},
    {kCsidlCommonStartMenu, true, "Common Start Menu", "ProgramData\\Microsoft\\Windows\\Start Menu", "Start Menu"},
    {kCsidlCommonPrograms, true, "Common Programs", "ProgramData\\Microsoft\\Windows\\Start Menu\\Programs",
     "Start Menu\\Programs"},
    {kCsidlCommonStartup, true, "Common Startup", "ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Startup",
     "Start Menu\\Programs\\Startup"},
    {kCsidlCommonDesktopDirectory, true, "Common Desktop", "Users\\Public\\Desktop", "Desktop"},
    {kCsidlCommonAppData, true, "Common AppData", "ProgramData", "Application Data"},
    {kCsidlCommonDocuments, true, "Common Documents", "Users\\Public\\Documents", "Documents"},
};

std::string wineUser(const std::string& users) {
    if (const char* user = std::getenv("USER"); user && *user && !findPathNoCase(users, {user}).empty()) return user;
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(users, ec)) {
        const std::string name = e.path().filename().string();
        if (e.is_directory(ec) && !base::equalsNoCase(name, "Public")) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names.empty() ? std::string() : names.front();
}

}  // namespace

TargetProfileFolders::TargetProfileFolders(const Target& target, std::string userName, Registry& registry,
                                           const DriveLetterMap& letters)
    : registry_(registry), letters_(letters), systemDrive_(target.systemDrive()) {
    if (target.kind == Target::Kind::Wine) {
        const std::string users = findPathNoCase(systemDrive_, {"users"});
        if (userName.empty()) userName = wineUser(users);
        if (!userName.empty()) profile_ = findPathNoCase(users, {userName});
        return;
    }
    oldLayout_ = findPathNoCase(systemDrive_, {"Users"}).empty() &&
                 !findPathNoCase(systemDrive_, {"Documents and Settings"}).empty();
    if (oldLayout_) allUsers_ = findPathNoCase(systemDrive_, {"Documents and Settings", "All Users"});
    if (!userName.empty())
        profile_ = findPathNoCase(systemDrive_, {oldLayout_ ? "Documents and Settings" : "Users", userName});
}

std::string TargetProfileFolders::folder(int csidl) const {
    if (csidl == kCsidlProfile) return profile_;
    if (csidl == kCsidlProgramFiles || csidl == kCsidlProgramFilesX86) {
        const bool x86 = csidl == kCsidlProgramFilesX86;
        std::string dir = shellFolder(kHkeyLocalMachine, kCurrentVersion, x86 ? "ProgramFilesDir (x86)" : "ProgramFilesDir");
        return dir.empty() ? resolved(x86 ? "C:\\Program Files (x86)" : "C:\\Program Files") : dir;
    }
    if (csidl == kCsidlFonts) {
        std::string dir = shellFolder(kHkeyCurrentUser, kShellFolders, "Fonts");
        return dir.empty() ? resolved("C:\\Windows\\Fonts") : dir;
    }
    const auto* place = std::find_if(std::begin(kPlaces), std::end(kPlaces), [&](const Place& p) { return p.csidl == csidl; });
    if (place == std::end(kPlaces)) return {};
    std::string dir = shellFolder(place->common ? kHkeyLocalMachine : kHkeyCurrentUser, kShellFolders, place->value);
    if (!dir.empty()) return dir;
    const std::string& base = place->common ? (oldLayout_ ? allUsers_ : systemDrive_) : profile_;
    if (base.empty()) return {};
    return resolved(base + "/" + (oldLayout_ ? place->oldLayout : place->inProfile));
}

std::string TargetProfileFolders::shellFolder(RegHandle root, const char* key, const char* value) const {
    RegHandle h = 0;
    if (registry_.openKey(root, key, kKeyQueryValue, h) != kErrorSuccess) return {};
    std::uint32_t type = 0;
    std::string data;
    const long status = registry_.queryValue(h, value, type, data);
    registry_.closeKey(h);
    if (status != kErrorSuccess || (type != kRegSz && type != kRegExpandSz)) return {};
    data.erase(std::find(data.begin(), data.end(), '\0'), data.end());
    // A path without its drive would name a folder of our own working folder.
    if (data.size() < 3 || data[1] != ':') return {};
    return resolved(data);
}

std::string TargetProfileFolders::resolved(const std::string& windowsPath) const {
    const ResolvedPath path = resolveWindowsPath(windowsPath, letters_);
    return path.kind == ResolvedPath::Kind::Found || path.kind == ResolvedPath::Kind::Missing ? path.path : std::string();
}

}  // namespace vk::platform
