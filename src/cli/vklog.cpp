// vklog [FILE]: the Log Agent's system snapshot, for a helper on a rescue
// system (it runs well over SSH).
#include <clocale>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "cli/TargetOptions.h"
#include "tools/LogAgent.h"
#include "tools/ProcessList.h"

namespace {

const std::string kUsage =
    std::string("Usage: vklog [--target T] [--user NAME] [FILE]\n"
    "Writes the Log Agent snapshot of this system (running processes, startup\n"
    "entries, critical registry values, desktop autostart entries) to standard\n"
    "output, or to FILE (replaced), with CR LF line ends as the window saves it.\n"
    "\n") +
    vk::cli::kTargetUsage +
    "  --help       show this help\n"
    "  --version    show the version\n"
    "\n"
    "Exit status: 0 when written, 2 on a usage error or when FILE cannot be written.\n"
    "The registry store follows $VANDRELKAST_REGISTRY; autostart entries follow\n"
    "$XDG_CONFIG_HOME and $XDG_CONFIG_DIRS.\n";

struct LogOptions {
    std::optional<std::string> file;
};

// Options come before the file; "--" ends them.
std::optional<LogOptions> parseOptions(const std::vector<std::string>& args) {
    LogOptions options;
    bool optionsDone = false;
    for (const auto& arg : args) {
        if (!optionsDone && arg == "--") {
            optionsDone = true;
            continue;
        }
        if (!optionsDone && arg.size() > 1 && arg[0] == '-') {
            std::cerr << "vklog: unknown option " << arg << "\n";
            return std::nullopt;
        }
        if (options.file) {
            std::cerr << "vklog: more than one FILE\n";
            return std::nullopt;
        }
        options.file = arg;
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vk;
    auto args = cli::argumentsOf(argc, argv);
    if (cli::handleStandardOptions(args, "vklog", kUsage)) return cli::kExitOk;
    auto target = cli::takeTargetOptions(args, "vklog");
    if (!target) return cli::kExitError;
    cli::StderrRegistryMessages targetMessages("vklog");
    platform::ActiveTarget active(*target, &targetMessages);
    auto options = parseOptions(args);
    if (!options) {
        std::cerr << kUsage;
        return cli::kExitError;
    }
    // The date in the user's short format, as the window shows it.
    std::setlocale(LC_TIME, "");
    tools::ProcessList processes;
    std::string log = tools::takeSystemSnapshot(processes, std::time(nullptr));
    if (options->file) {
        std::string error = tools::saveLog(*options->file, log);
        if (!error.empty()) {
            std::cerr << "vklog: cannot write " << *options->file << ": " << error << "\n";
            return cli::kExitError;
        }
        return cli::kExitOk;
    }
    log += "\r\n";
    if (std::fwrite(log.data(), 1, log.size(), stdout) != log.size() || std::fflush(stdout) != 0) {
        std::cerr << "vklog: cannot write to standard output\n";
        return cli::kExitError;
    }
    return cli::kExitOk;
}
