#include "platform/ProgramFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "InstallLayout.h"

namespace vk::platform {
namespace {

bool isFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

ProgramFolder inFolder(const std::string& folder) {
    return {folder, folder + "/config.ini", folder + "/signatures.dat", folder + "/killers"};
}

std::string parentOf(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The installation prefix of a program installed into prefix/kInstallBinDir;
// for any other folder, its parent.
std::string installPrefix(const std::string& exeFolder) {
    std::string_view bin = kInstallBinDir;
    if (!bin.empty() && bin.front() != '/' && exeFolder.size() > bin.size() &&
        exeFolder.ends_with(bin) && exeFolder[exeFolder.size() - bin.size() - 1] == '/') {
        std::string prefix = exeFolder.substr(0, exeFolder.size() - bin.size() - 1);
        return prefix.empty() ? "/" : prefix;
    }
    return parentOf(exeFolder);
}

std::string installedDataFolder(const std::string& exeFolder) {
    std::string_view data = kInstallDataDir;
    if (!data.empty() && data.front() == '/') return std::string(data) + "/vandrelkast";
    std::string prefix = installPrefix(exeFolder);
    return (prefix == "/" ? "" : prefix) + "/" + std::string(data) + "/vandrelkast";
}

}  // namespace

std::string executableFolder() {
    char buf[4096];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    return parentOf(std::string(buf, static_cast<std::size_t>(n)));
}

ProgramFolder programFolder() {
    if (const char* home = std::getenv("VANDRELKAST_HOME"); home && *home) {
        std::string folder = home;
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        return inFolder(folder);
    }
    std::string exe = executableFolder();
    if (isFile(exe + "/signatures.dat")) return inFolder(exe);

    ProgramFolder installed = inFolder(installedDataFolder(exe));
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* userHome = std::getenv("HOME");
    std::string config = (xdg && *xdg == '/') ? std::string(xdg)
                         : std::string(userHome ? userHome : "") + "/.config";
    installed.configIni = config + "/vandrelkast/config.ini";
    return installed;
}

}  // namespace vk::platform
