#include "cli/CommandLine.h"

#include <iostream>

#include "Version.h"

namespace vk::cli {

void printVersion(std::string_view command) {
    std::cout << command << " (VandrelKast) " << kVersionDisplay << "\n";
}

bool handleStandardOptions(const std::vector<std::string>& args, std::string_view command,
                           std::string_view usage) {
    if (args.empty()) return false;
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << usage;
        return true;
    }
    if (args[0] == "--version") {
        printVersion(command);
        return true;
    }
    return false;
}

std::vector<std::string> argumentsOf(int argc, char** argv) {
    return {argv + 1, argv + argc};
}

}  // namespace vk::cli
