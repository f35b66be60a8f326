// vkrepair SCRIPT: runs a KastScript headless against the live system.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include "cli/CommandLine.h"
#include "cli/ConsolePrinter.h"
#include "cli/TargetOptions.h"
#include "platform/Registry.h"
#include "platform/base/Text.h"
#include "platform/linux/RegistryStore.h"
#include "script/Console.h"
#include "script/KastScriptFiles.h"
#include "script/ScriptIniEngine.h"
#include "script/ScriptStop.h"
#include "script/host/ScriptHost.h"

namespace {

const std::string kUsage =
    std::string("Usage: vkrepair [--target T] [--user NAME] SCRIPT\n"
    "Runs a KastScript against this system and prints its console as it is written.\n"
    "INI KastScripts (.vki) end processes, delete files, restore registry values\n"
    "and treat every connected drive. VBScript KastScripts (.vks, .kst) run with\n"
    "the IO, Process, MD5Digest, SHA256 and FileIO objects; ShowScanFileDialog asks\n"
    "for a folder on the terminal (cancelled when stdin is not a terminal).\n"
    "\n") +
    vk::cli::kTargetUsage +
    "  --help       show this help\n"
    "  --version    show the version\n"
    "\n"
    "Exit status: 0 after a completed run, 1 when a VBScript KastScript stopped\n"
    "with an error, 2 when the script cannot be run, 130 when Ctrl-C (or\n"
    "SIGTERM) stopped it; a second Ctrl-C ends the program at once.\n"
    "The registry store follows $VANDRELKAST_REGISTRY, drives $VANDRELKAST_DRIVES.\n";

// Absorbed failures go to stderr; the run carries on as in the window.
class ErrorPrinter final : public vk::script::ScriptIniEngineListener {
public:
    void errorOccured(std::int32_t number, const std::string& description) override {
        std::fprintf(stderr, "vkrepair: skipped a step: error %ld: %s\n", static_cast<long>(number), description.c_str());
    }
};

// A script's registry changes that the store refuses, and why.
class RegistryRefusalPrinter final : public vk::platform::RegistryStoreListener {
public:
    void writeRefused(const std::string& file, const std::string& reason) override {
        std::fprintf(stderr, "vkrepair: registry changes refused: %s %s\n", file.c_str(), reason.c_str());
    }
};

// A VBScript KastScript that stopped with a script error.
constexpr int kExitScriptError = 1;
// Stopped by Ctrl-C or SIGTERM.
constexpr int kExitStopped = 130;

// What the signal handler stops; both requests are a single atomic store.
vk::script::ScriptIniEngine* gIniEngine = nullptr;
vk::script::ScriptHost* gHost = nullptr;

extern "C" void requestStopOnSignal(int) {
    if (gIniEngine) gIniEngine->requestStop();
    if (gHost) gHost->requestStop();
}

// SA_RESETHAND: a second signal takes its default course.
void stopOnSignals() {
    struct sigaction action {};
    action.sa_handler = requestStopOnSignal;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// ShowScanFileDialog without a window: a question on the terminal.
class TerminalFolderPrompt final : public vk::script::FolderPrompt {
public:
    std::optional<std::string> ask() override {
        if (!::isatty(STDIN_FILENO)) return std::nullopt;
        std::fputs("Folder or drive to scan (empty line cancels): ", stderr);
        std::fflush(stderr);
        std::string line;
        if (!std::getline(std::cin, line)) return std::nullopt;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) return std::nullopt;
        return line;
    }
};

std::string withLfEndings(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

int runVbsKastScript(const std::string& path) {
    using namespace vk;
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        std::cerr << "vkrepair: cannot read " << path << "\n";
        return cli::kExitError;
    }
    script::Console console;
    cli::ConsolePrinter printer(stdout);
    console.addListener(&printer);
    TerminalFolderPrompt prompt;
    script::ScriptHost host(console, nullptr, &prompt);
    gHost = &host;
    vbs::ScriptResult result = host.runScript(script::scriptTextFromBytes(bytes));
    gHost = nullptr;
    if (result.stopped) {
        script::appendStoppedLine(console);
        std::fflush(stdout);
        return kExitStopped;
    }
    std::fflush(stdout);
    if (result.ok) return cli::kExitOk;
    std::string text = withLfEndings(script::scriptErrorText(result.number, result.description));
    std::fprintf(stderr, "%s\n%s\n", script::kScriptErrorTitle, text.c_str());
    // where it happened, which the window's dialog does not say
    if (result.line > 0 && result.column > 0)
        std::fprintf(stderr, "Line %d, column %d\n", result.line, result.column);
    else if (result.line > 0)
        std::fprintf(stderr, "Line %d\n", result.line);
    return kExitScriptError;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vk;
    auto args = cli::argumentsOf(argc, argv);
    if (cli::handleStandardOptions(args, "vkrepair", kUsage)) return cli::kExitOk;
    auto target = cli::takeTargetOptions(args, "vkrepair");
    if (!target) return cli::kExitError;
    if (args.size() != 1 || args[0].starts_with("--")) {
        std::cerr << kUsage;
        return cli::kExitError;
    }
    const std::string& path = args[0];
    cli::StderrRegistryMessages targetMessages("vkrepair");
    platform::ActiveTarget active(*target, &targetMessages);
    static RegistryRefusalPrinter refusals;
    if (auto* store = dynamic_cast<platform::RegistryStore*>(&platform::systemRegistry())) store->setListener(&refusals);

    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        std::cerr << "vkrepair: cannot read " << path << ": " << std::strerror(errno) << "\n";
        return cli::kExitError;
    }
    if (!S_ISREG(st.st_mode)) {
        std::cerr << "vkrepair: cannot read " << path << ": not a regular file\n";
        return cli::kExitError;
    }
    if (std::ifstream probe(path, std::ios::binary); !probe) {
        std::cerr << "vkrepair: cannot read " << path << ": " << std::strerror(errno) << "\n";
        return cli::kExitError;
    }

    stopOnSignals();
    script::KastScriptKind kind = script::kastScriptKindOf(path);
    if (kind == script::KastScriptKind::VBScript) return runVbsKastScript(path);
    if (kind != script::KastScriptKind::Ini) {
        std::cerr << "vkrepair: " << path
                  << ": not a KastScript (expected .vki, .vks or .kst)\n";
        return cli::kExitError;
    }

    script::Console console;
    cli::ConsolePrinter printer(stdout);
    console.addListener(&printer);
    ErrorPrinter errors;
    script::ScriptIniEngine engine;
    engine.setConsole(&console);
    engine.setListener(&errors);
    // No clipboard without a window: the engine's copy is skipped.
    gIniEngine = &engine;
    engine.runIniKastScript(path);
    gIniEngine = nullptr;
    if (engine.lastRunStopped()) {
        script::appendStoppedLine(console);
        std::fflush(stdout);
        return kExitStopped;
    }
    return cli::kExitOk;
}
