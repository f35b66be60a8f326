#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/MountedRegistry.h"
#include "platform/Target.h"

namespace vk::cli {

// Takes --target T / --target=T and --user NAME / --user=NAME out of args;
// without --target, $VANDRELKAST_TARGET decides (local when unset). nullopt,
// after a message on stderr, when the target cannot be used.
std::optional<platform::Target> takeTargetOptions(std::vector<std::string>& args, const std::string& command);

// A target's messages (a hive only read, a backup that failed) on stderr.
class StderrRegistryMessages final : public platform::RegistryMessages {
public:
    explicit StderrRegistryMessages(std::string command) : command_(std::move(command)) {}
    void message(const std::string& text) override;

private:
    std::string command_;
};

inline constexpr const char* kTargetUsage =
    "  --target T   the system to repair: local (this computer, default),\n"
    "               wine:PREFIX (a Wine prefix) or windows:ROOT (an offline\n"
    "               Windows installation mounted at ROOT); also $VANDRELKAST_TARGET\n"
    "  --user NAME  the Windows profile on windows:ROOT (default: the newest)\n";

}  // namespace vk::cli
