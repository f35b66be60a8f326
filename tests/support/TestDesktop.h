#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "support/TempDir.h"
#include "support/TestRegistry.h"

namespace vk::test {

// A registry store and desktop folders of the test's own: the user's
// $XDG_CONFIG_HOME and two system folders, on a GNOME desktop.
struct SystemFixture {
    TestRegistry registry;
    TempDir xdg;
    ScopedEnv configHome{"XDG_CONFIG_HOME", (xdg.path() / "user").c_str()};
    ScopedEnv configDirs{"XDG_CONFIG_DIRS",
                                   ((xdg.path() / "sys1").string() + ":" + (xdg.path() / "sys2").string()).c_str()};
    ScopedEnv desktop{"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"};

    std::string userFile(const std::string& name) const { return (xdg.path() / "user/autostart" / name).string(); }
    std::string systemFile(int folder, const std::string& name) const {
        return (xdg.path() / ("sys" + std::to_string(folder)) / "autostart" / name).string();
    }
    std::string writeUser(const std::string& name, const std::string& text) const {
        return xdg.write("user/autostart/" + name, text).string();
    }
    // Every file below the desktop folders with its bytes.
    std::map<std::string, std::string> desktopFiles() const {
        std::map<std::string, std::string> out;
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(xdg.path(), ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->is_regular_file(ec)) out[it->path().string()] = readFile(it->path());
        return out;
    }
    std::string writeSystem(int folder, const std::string& name, const std::string& text) const {
        return xdg.write("sys" + std::to_string(folder) + "/autostart/" + name, text).string();
    }
};

}  // namespace vk::test
