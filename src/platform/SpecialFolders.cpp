#include "platform/SpecialFolders.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string_view>

namespace vk::platform {
namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string home() { return env("HOME"); }

std::string xdgBase(const char* var, const char* fallbackBelowHome) {
    std::string v = env(var);
    if (!v.empty() && v.front() == '/') return v;
    std::string h = home();
    return h.empty() ? std::string() : h + "/" + fallbackBelowHome;
}

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// One XDG user directory from user-dirs.dirs ("$HOME/Desktop" form), with the
// usual English default when the file does not name it.
std::string userDir(std::string_view key, const char* fallback) {
    std::ifstream in(xdgBase("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs");
    std::string line;
    std::string wanted = "XDG_" + std::string(key) + "_DIR=";
    while (std::getline(in, line)) {
        if (line.rfind(wanted, 0) != 0) continue;
        std::string value = line.substr(wanted.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value.rfind("$HOME", 0) == 0) value = home() + value.substr(5);
        if (!value.empty() && value.front() == '/') return value;
    }
    return home().empty() ? std::string() : home() + "/" + fallback;
}

bool isFolder(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string mapped(int csidl) {
    switch (csidl) {
        case kCsidlDesktop:
        case kCsidlDesktopDirectory: return userDir("DESKTOP", "Desktop");
        case kCsidlPersonal: return userDir("DOCUMENTS", "Documents");
        case kCsidlMyPictures: return userDir("PICTURES", "Pictures");
        case kCsidlTemplates: return userDir("TEMPLATES", "Templates");
        case kCsidlProfile: return home();
        case kCsidlAppData: return xdgBase("XDG_CONFIG_HOME", ".config");
        case kCsidlLocalAppData: return xdgBase("XDG_DATA_HOME", ".local/share");
        case kCsidlStartup: return xdgBase("XDG_CONFIG_HOME", ".config") + "/autostart";
        case kCsidlInternetCache: return xdgBase("XDG_CACHE_HOME", ".cache");
        case kCsidlFonts: return xdgBase("XDG_DATA_HOME", ".local/share") + "/fonts";
        default: return {};
    }
}

// A mounted Windows disk keeps "system32" in whatever case it was created.
std::string childIgnoringCase(const std::string& folder, std::string_view name) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return {};
    std::string found;
    while (dirent* e = ::readdir(dir)) {
        if (::strcasecmp(e->d_name, std::string(name).c_str()) == 0) {
            found = folder + "/" + e->d_name;
            break;
        }
    }
    ::closedir(dir);
    return isFolder(found) ? found : std::string();
}

std::atomic<const ProfileFolders*> g_profile{nullptr};

}  // namespace

std::string specialFolderPath(int csidl) {
    const ProfileFolders* profile = g_profile.load();
    std::string path = withoutTrailingSlash(profile ? profile->folder(csidl) : mapped(csidl));
    return isFolder(path) ? path : std::string();
}

const ProfileFolders* setProfileFolders(const ProfileFolders* folders) { return g_profile.exchange(folders); }

std::string windowsDirectory() {
    std::string path = withoutTrailingSlash(env("VANDRELKAST_WINDOWS"));
    return isFolder(path) ? path : std::string();
}

std::string systemDirectory() {
    std::string windows = windowsDirectory();
    if (windows.empty()) return {};
    return childIgnoringCase(windows, "System32");
}

std::string xdgConfigHome() { return withoutTrailingSlash(xdgBase("XDG_CONFIG_HOME", ".config")); }

std::vector<std::string> xdgConfigDirs() {
    std::vector<std::string> dirs;
    std::string_view list = std::getenv("XDG_CONFIG_DIRS") ? std::getenv("XDG_CONFIG_DIRS") : "";
    while (!list.empty()) {
        std::size_t colon = list.find(':');
        std::string_view part = list.substr(0, colon);
        if (!part.empty() && part.front() == '/') dirs.push_back(withoutTrailingSlash(std::string(part)));
        if (colon == std::string_view::npos) break;
        list.remove_prefix(colon + 1);
    }
    if (dirs.empty()) dirs.emplace_back("/etc/xdg");
    return dirs;
}

std::string tempFolder() {
    std::string t = withoutTrailingSlash(env("TMPDIR"));
    return isFolder(t) ? t : std::string("/tmp");
}

}  // namespace vk::platform
