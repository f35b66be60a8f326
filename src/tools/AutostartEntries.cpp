#include "tools/AutostartEntries.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>

#include "platform/SpecialFolders.h"
#include "tools/DesktopEntryFile.h"

namespace vk::tools {
namespace {

namespace fs = std::filesystem;

// Marks a user file this program made only to hide a system entry, so
// enabling the entry again removes it instead of leaving a copy behind.
constexpr std::string_view kOverrideKey = "X-VandrelKast-Override";

std::vector<std::string> splitList(std::string_view text, char separator) {
    std::vector<std::string> out;
    while (!text.empty()) {
        std::size_t cut = text.find(separator);
        if (cut > 0) out.emplace_back(text.substr(0, cut));
        if (cut == std::string_view::npos) break;
        text.remove_prefix(cut + 1);
    }
    return out;
}

std::vector<std::string> currentDesktops() {
    const char* v = std::getenv("XDG_CURRENT_DESKTOP");
    return splitList(v ? v : "", ':');
}

bool shownOnDesktop(const DesktopEntryFile& file) {
    const auto desktops = currentDesktops();
    auto anyListed = [&](std::string_view key) {
        auto list = splitList(file.get(key).value_or(""), ';');
        for (const auto& d : desktops)
            if (std::find(list.begin(), list.end(), d) != list.end()) return true;
        return false;
    };
    if (file.get("OnlyShowIn") && !anyListed("OnlyShowIn")) return false;
    return !anyListed("NotShowIn");
}

bool isDesktopFile(const fs::directory_entry& e) {
    std::error_code ec;
    return e.path().extension() == ".desktop" && e.is_regular_file(ec);
}

std::string systemFileOf(const std::string& fileName) {
    std::error_code ec;
    for (const auto& dir : systemAutostartFolders()) {
        std::string p = dir + "/" + fileName;
        if (fs::is_regular_file(p, ec)) return p;
    }
    return {};
}

}  // namespace

std::string userAutostartFolder() {
    std::string base = platform::xdgConfigHome();
    return base.empty() ? std::string() : base + "/autostart";
}

std::vector<std::string> systemAutostartFolders() {
    std::vector<std::string> out;
    for (const auto& d : platform::xdgConfigDirs()) out.push_back(d + "/autostart");
    return out;
}

std::vector<AutostartEntry> listAutostartEntries() {
    // Most important folder first; the first file of a name wins.
    std::vector<std::pair<std::string, bool>> folders;
    if (std::string user = userAutostartFolder(); !user.empty()) folders.emplace_back(user, true);
    for (const auto& d : systemAutostartFolders()) folders.emplace_back(d, false);
    std::map<std::string, AutostartEntry> byName;
    for (const auto& [folder, user] : folders) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            if (!isDesktopFile(*it)) continue;
            std::string name = it->path().filename().string();
            if (byName.count(name)) continue;
            auto file = DesktopEntryFile::load(it->path().string());
            if (!file) continue;
            AutostartEntry e;
            e.fileName = name;
            e.path = it->path().string();
            e.exec = file->get("Exec").value_or("");
            e.hidden = file->isTrue("Hidden");
            e.shownHere = shownOnDesktop(*file);
            e.userOwned = user;
            byName.emplace(name, std::move(e));
        }
    }
    std::vector<AutostartEntry> out;
    for (auto& [name, e] : byName) out.push_back(std::move(e));
    return out;
}

bool setAutostartEnabled(const std::string& fileName, bool enabled) {
    if (fileName.empty() || fileName.find('/') != std::string::npos) return false;
    std::string folder = userAutostartFolder();
    if (folder.empty()) return false;
    std::string userFile = folder + "/" + fileName;
    std::error_code ec;
    auto user = fs::is_regular_file(userFile, ec) ? DesktopEntryFile::load(userFile) : std::nullopt;
    if (fs::exists(userFile, ec) && !user) return false;
    std::string systemFile = systemFileOf(fileName);

    if (enabled) {
        if (!user) return !systemFile.empty();  // nothing of the user's hides it
        if (user->isTrue(kOverrideKey) && !systemFile.empty()) return fs::remove(userFile, ec) && !ec;
        if (!user->get("Hidden")) return true;
        user->set("Hidden", "false");
        return user->save(userFile) == 0;
    }
    if (!user) {
        if (systemFile.empty()) return false;
        user = DesktopEntryFile::load(systemFile);
        if (!user) return false;
        user->set(kOverrideKey, "true");
        fs::create_directories(folder, ec);
    }
    user->set("Hidden", "true");
    return user->save(userFile) == 0;
}

}  // namespace vk::tools
