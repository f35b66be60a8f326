#include "platform/linux/WineRegistry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/FileDescriptor.h"

namespace vk::platform {

std::string wineServerFolder(const std::string& prefix) {
    struct stat st {};
    if (::stat(prefix.c_str(), &st) != 0) return {};
    char folder[128];
    std::snprintf(folder, sizeof folder, "/tmp/.wine-%u/server-%llx-%llx", static_cast<unsigned>(::getuid()),
                  static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino));
    return folder;
}

bool wineServerRunning(const std::string& prefix) {
    const std::string folder = wineServerFolder(prefix);
    if (folder.empty()) return false;
    FileDescriptor lock = FileDescriptor::open(folder + "/lock", O_RDWR);
    if (!lock) return false;
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    return ::fcntl(lock.get(), F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

WineRegistry::WineRegistry(std::string prefix, RegistryMessages* messages)
    : MountedRegistry({}, messages), prefix_(std::move(prefix)) {
    const bool running = wineServerRunning(prefix_);
    const std::string reason =
        running ? "The Wine prefix " + prefix_ +
                      " is in use (its wineserver runs, and would overwrite any change): its registry is only read. "
                      "Close the prefix's programs first (wineserver -k), then try again."
                : std::string();
    if (running && messages) messages->message(reason);
    auto open = [&](const char* name) {
        auto file = std::make_unique<WineRegistryFile>(prefix_ + "/" + name, running, reason);
        if (!running && !file->problem().empty() && messages) messages->message(file->problem());
        return file;
    };
    system_ = open("system.reg");
    user_ = open("user.reg");
    // ";; All keys relative to \\User\\S-1-5-21-..." names the user's key.
    const std::string& rel = user_->relativeTo();
    userKey_ = rel.substr(rel.rfind('\\') == std::string::npos ? 0 : rel.rfind('\\') + 1);
    std::vector<Mount> mounts;
    mounts.push_back({kHkeyLocalMachine, {}, system_.get(), {}});
    mounts.push_back({kHkeyCurrentUser, {}, user_.get(), {}});
    if (!userKey_.empty()) mounts.push_back({kHkeyUsers, {userKey_}, user_.get(), {}});
    mounts.push_back({kHkeyClassesRoot, {}, user_.get(), {"Software", "Classes"}});
    mounts.push_back({kHkeyClassesRoot, {}, system_.get(), {"Software", "Classes"}});
    setMounts(std::move(mounts));
}

WineRegistry::~WineRegistry() {
    flush();
    setMounts({});
}

}  // namespace vk::platform
