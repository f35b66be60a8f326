#include "cli/TargetOptions.h"

#include <iostream>

namespace vk::cli {

namespace {

bool takeValue(std::vector<std::string>& args, std::size_t& i, const std::string& option, std::optional<std::string>& out,
               bool& missing) {
    if (args[i] == option) {
        if (i + 1 >= args.size()) {
            missing = true;
            return true;
        }
        out = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        return true;
    }
    if (args[i].starts_with(option + "=")) {
        out = args[i].substr(option.size() + 1);
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
        return true;
    }
    return false;
}

}  // namespace

std::optional<platform::Target> takeTargetOptions(std::vector<std::string>& args, const std::string& command) {
    std::optional<std::string> spec, user;
    for (std::size_t i = 0; i < args.size();) {
        bool missing = false;
        if (takeValue(args, i, "--target", spec, missing) || takeValue(args, i, "--user", user, missing)) {
            if (missing) {
                std::cerr << command << ": " << args[i] << " needs a value\n";
                return std::nullopt;
            }
            continue;
        }
        ++i;
    }
    std::string error;
    std::optional<platform::Target> target = spec ? platform::parseTarget(*spec, &error)
                                                  : platform::targetFromEnvironment(&error);
    if (!target) {
        std::cerr << command << ": " << error << "\n";
        return std::nullopt;
    }
    if (user) target->user = *user;
    return target;
}

void StderrRegistryMessages::message(const std::string& text) { std::cerr << command_ << ": " << text << "\n"; }

}  // namespace vk::cli
