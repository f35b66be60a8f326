#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vk::cli {

// Shared by every command: --help and --version, and the exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFound = 1;
inline constexpr int kExitError = 2;

// Prints "NAME (VandrelKast) 1.4.0 Beta".
void printVersion(std::string_view command);

// Handles --help/--version when it is the first argument; true when handled.
bool handleStandardOptions(const std::vector<std::string>& args, std::string_view command,
                           std::string_view usage);

std::vector<std::string> argumentsOf(int argc, char** argv);

}  // namespace vk::cli
