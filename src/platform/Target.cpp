#include "platform/Target.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/FileSystem.h"
#include "platform/TargetProfileFolders.h"
#include "platform/base/Text.h"
#include "platform/linux/HiveRegistry.h"
#include "platform/linux/WineRegistry.h"

namespace vk::platform {

namespace fs = std::filesystem;

namespace {

std::string absolute(std::string_view path) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(path), ec);
    std::string s = (ec ? fs::path(path) : p.lexically_normal()).string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

const char* env(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? v : nullptr;
}

}  // namespace

std::string Target::spec() const {
    switch (kind) {
        case Kind::Wine: return "wine:" + path;
        case Kind::Windows: return "windows:" + path;
        default: return "local";
    }
}

std::string Target::description() const {
    switch (kind) {
        case Kind::Wine: return "Wine prefix " + path;
        case Kind::Windows: return "Windows at " + path + (user.empty() ? "" : " (user " + user + ")");
        default: return "This computer";
    }
}

std::string Target::systemDrive() const {
    if (kind == Kind::Windows) return path;
    if (kind == Kind::Wine) return findPathNoCase(path, {"drive_c"});
    return {};
}

std::optional<Target> parseTarget(std::string_view text, std::string* error) {
    Target t;
    auto fail = [&](std::string why) -> std::optional<Target> {
        if (error) *error = std::move(why);
        return std::nullopt;
    };
    if (text == "local") return t;
    std::string_view path;
    if (text.starts_with("wine:")) {
        t.kind = Target::Kind::Wine;
        path = text.substr(5);
    } else if (text.starts_with("windows:")) {
        t.kind = Target::Kind::Windows;
        path = text.substr(8);
    } else {
        return fail("the target must be local, wine:PREFIX or windows:ROOT, not \"" + std::string(text) + "\"");
    }
    if (path.empty()) return fail("the target \"" + std::string(text) + "\" names no folder");
    t.path = absolute(path);
    std::error_code ec;
    if (!fs::is_directory(t.path, ec)) return fail(t.path + " is not a folder");
    if (t.kind == Target::Kind::Wine && !fs::exists(fs::path(t.path) / "system.reg", ec))
        return fail(t.path + " is not a Wine prefix (it has no system.reg)");
    if (t.kind == Target::Kind::Windows &&
        findPathNoCase(t.path, {"Windows", "System32", "config", "SOFTWARE"}).empty())
        return fail(t.path + " holds no Windows installation (no Windows/System32/config/SOFTWARE)");
    return t;
}

std::optional<Target> targetFromEnvironment(std::string* error) {
    const char* spec = env("VANDRELKAST_TARGET");
    if (!spec) return Target{};
    return parseTarget(spec, error);
}

std::map<char, std::string> targetDriveLetters(const Target& target) {
    std::map<char, std::string> letters;
    const std::string c = target.systemDrive();
    if (!c.empty()) letters['c'] = c;
    if (target.kind != Target::Kind::Wine) return letters;
    const fs::path devices = findPathNoCase(target.path, {"dosdevices"});
    std::error_code ec;
    if (devices.empty()) return letters;
    for (const auto& e : fs::directory_iterator(devices, ec)) {
        const std::string name = e.path().filename().string();
        // "d:" links to the folder that drive stands for; "d::" names a raw device.
        if (name.size() != 2 || name[1] != ':' || !e.is_symlink(ec)) continue;
        const char letter = base::asciiLower(name[0]);
        if (letter < 'a' || letter > 'z' || letters.count(letter)) continue;
        fs::path to = fs::read_symlink(e.path(), ec);
        if (ec) continue;
        if (to.is_relative()) to = devices / to;
        letters[letter] = to.lexically_normal().string();
    }
    return letters;
}

std::optional<std::string> TargetDriveLetterMap::rootOf(char letter) const {
    auto it = letters_.find(base::asciiLower(letter));
    if (it == letters_.end()) return std::nullopt;
    return it->second;
}

std::vector<Target> discoverTargets() {
    std::vector<Target> found;
    auto add = [&](const std::string& spec) {
        if (auto t = parseTarget(spec))
            if (std::find(found.begin(), found.end(), *t) == found.end()) found.push_back(*t);
    };
    if (const char* prefix = env("WINEPREFIX")) add(std::string("wine:") + prefix);
    if (const char* home = env("HOME")) {
        add(std::string("wine:") + home + "/.wine");
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(fs::path(home) / ".local/share/wineprefixes", ec))
            add("wine:" + e.path().string());
    }
    for (const Drive& d : FileSystem().drives())
        if (!findPathNoCase(d.path, {"Windows", "System32", "config", "SOFTWARE"}).empty()) add("windows:" + d.path);
    return found;
}

ActiveTarget::ActiveTarget(Target target, RegistryMessages* messages) : target_(std::move(target)) {
    if (target_.kind == Target::Kind::Local) return;
    std::string user = target_.user;
    if (target_.kind == Target::Kind::Wine) {
        registry_ = std::make_unique<WineRegistry>(target_.path, messages);
    } else {
        auto hives = std::make_unique<HiveRegistry>(target_.path, target_.user, messages);
        user = hives->userName();
        registry_ = std::move(hives);
    }
    setSystemRegistry(registry_.get());
    if (const char* old = std::getenv("VANDRELKAST_WINDOWS")) previousWindows_ = old;
    const std::string windows = findPathNoCase(target_.systemDrive(), {"Windows"});
    ::setenv("VANDRELKAST_WINDOWS", windows.c_str(), 1);
    letters_ = std::make_unique<TargetDriveLetterMap>(target_);
    if (&currentDriveLetters() != &localDriveLetters()) previousLetters_ = &currentDriveLetters();
    setDriveLetterMap(letters_.get());
    profile_ = std::make_unique<TargetProfileFolders>(target_, user, *registry_, *letters_);
    previousProfile_ = setProfileFolders(profile_.get());
}

ActiveTarget::~ActiveTarget() {
    if (!registry_) return;
    setProfileFolders(previousProfile_);
    setDriveLetterMap(previousLetters_);
    setSystemRegistry(nullptr);
    registry_.reset();
    if (previousWindows_) ::setenv("VANDRELKAST_WINDOWS", previousWindows_->c_str(), 1);
    else ::unsetenv("VANDRELKAST_WINDOWS");
}

bool ActiveTarget::flush() { return registry_ ? registry_->flush() : true; }

}  // namespace vk::platform
