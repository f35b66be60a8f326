// vkscan: scans files and folder trees like the scan page does.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/CommandLine.h"
#include "cli/FarwatchReport.h"
#include "cli/ProgressLine.h"
#include "platform/EventPump.h"
#include "platform/ProgramFolder.h"
#include "platform/VbConversion.h"
#include "scan/ScanEngine.h"
#include "scan/ScanEngineErrors.h"
#include "scan/ScanSettings.h"

using namespace vk;

namespace {

constexpr const char* kUsage =
    "Usage: vkscan [OPTIONS] PATH...\n"
    "Scans files and folder trees against the signature database. A folder is\n"
    "scanned with its whole tree; a file named on the command line is always scanned.\n\n"
    "  --database FILE       signature database (default: the program folder's signatures.dat)\n"
    "  --action ACTION       ask, heal, delete, rename or report (default from config.ini)\n"
    "  --max-size MB         skip files larger than MB megabytes in folders\n"
    "  --all-files           scan every file, whatever its extension\n"
    "  --extensions LIST     scan only these extensions, e.g. exe;com;scr\n"
    "  --quiet               print only the detections\n"
    "  --farwatch            afterwards, mail the Farwatch report of what was found\n"
    "                        (when enrolled and reporting is on; progress on stderr)\n"
    "  --help, --version\n\n"
    "Exit status: 0 nothing found, 1 something found, 2 error.\n";

volatile std::sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

const char* actionWord(std::int32_t action) {
    switch (action) {
        case 1: return "healed";
        case 2: return "deleted";
        case 3: return "renamed";
        default: return "left in place";
    }
}

class ScanOutput final : public scan::ScanEngineEvents, public platform::EventPump {
public:
    ScanOutput(scan::ScanEngine& engine, bool quiet, bool askOnTerminal, std::int32_t fixedAction)
        : engine_(engine), quiet_(quiet), ask_(askOnTerminal), fixedAction_(fixedAction), progress_(stdout) {}

    bool loadFailed = false;
    bool errorSeen = false;

    void errorOccured(std::int32_t number, const std::string& description) override {
        progress_.clear();
        std::string text;
        for (std::size_t i = 0; i < description.size(); ++i)
            if (!(description[i] == '\r' && i + 1 < description.size() && description[i + 1] == '\n'))
                text.push_back(description[i]);
        std::cerr << "vkscan: Error #" << number << ": " << text << "\n";
        if (number != scan::kErrDatabaseNotLoaded) loadFailed = true;
        errorSeen = true;
    }

    void scanningProgress(const std::string& file) override {
        current_ = file;
        showProgress(false);
    }

    void virusDetected(const std::string& file, const std::string& name, std::int32_t& action) override {
        progress_.clear();
        std::cout << file << ": " << name << " FOUND\n" << std::flush;
        announced_ = file;
        action = ask_ ? askUser() : fixedAction_;
    }

    void detectionHandled(const std::string& file, const std::string& name, std::int32_t action,
                          bool succeeded) override {
        progress_.clear();
        if (announced_ != file) std::cout << file << ": " << name << " FOUND\n";
        announced_.clear();
        std::cout << "  " << (succeeded ? "" : "could not be ") << actionWord(action);
        if (action == 3 && succeeded) std::cout << " to " << file << ".vir";
        std::cout << "\n" << std::flush;
    }

    void pump() override {
        if (interrupted) engine_.setStopScanningProcess(true);
        showProgress(false);
    }

    void finish() { progress_.clear(); }

private:
    void showProgress(bool force) {
        if (quiet_ || !progress_.active()) return;
        double mb = static_cast<double>(engine_.bytesScanned()) / 1048576.0;
        char head[96];
        std::snprintf(head, sizeof head, "%d files, %.1f MB  ", engine_.filesScanned(), mb);
        progress_.update(head + current_, force);
    }

    std::int32_t askUser() {
        while (true) {
            std::cout << "What do you want to do? [h]eal, [d]elete, [r]ename, [i]gnore (Enter: heal): " << std::flush;
            std::string answer;
            if (!std::getline(std::cin, answer)) return 0;
            if (answer.empty() || answer == "h" || answer == "heal") return 1;
            if (answer == "d" || answer == "delete") return 2;
            if (answer == "r" || answer == "rename") return 3;
            if (answer == "i" || answer == "ignore") return 0;
        }
    }

    scan::ScanEngine& engine_;
    bool quiet_;
    bool ask_;
    std::int32_t fixedAction_;
    cli::ProgressLine progress_;
    std::string current_;
    std::string announced_;
};

struct Options {
    std::string database;
    std::string action;
    std::optional<std::int32_t> maxSize;
    bool allFiles = false;
    std::optional<std::string> extensions;
    bool quiet = false;
    bool farwatch = false;
    std::vector<std::string> paths;
};

bool parseOptions(const std::vector<std::string>& args, Options& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                std::cerr << "vkscan: " << a << " needs a value\n";
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (a == "--database") {
            if (!value(o.database)) return false;
        } else if (a == "--action") {
            if (!value(o.action)) return false;
            if (o.action != "ask" && o.action != "heal" && o.action != "delete" && o.action != "rename" &&
                o.action != "report") {
                std::cerr << "vkscan: --action takes ask, heal, delete, rename or report\n";
                return false;
            }
        } else if (a == "--max-size") {
            if (!value(v)) return false;
            auto n = platform::parseVbNumber(v);
            if (!n || *n < 0 || *n > 2047 || *n != static_cast<std::int32_t>(*n)) {
                std::cerr << "vkscan: --max-size takes a whole number of megabytes from 0 to 2047\n";
                return false;
            }
            o.maxSize = static_cast<std::int32_t>(*n);
        } else if (a == "--all-files") {
            o.allFiles = true;
        } else if (a == "--extensions") {
            if (!value(v)) return false;
            o.extensions = v;
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else if (a == "--farwatch") {
            o.farwatch = true;
        } else if (a == "--") {
            o.paths.insert(o.paths.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            std::cerr << "vkscan: unknown option " << a << "\n";
            return false;
        } else {
            o.paths.push_back(a);
        }
    }
    if (o.paths.empty()) {
        std::cerr << "vkscan: no PATH given\n";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    auto args = cli::argumentsOf(argc, argv);
    if (cli::handleStandardOptions(args, "vkscan", kUsage)) return cli::kExitOk;
    Options opt;
    if (!parseOptions(args, opt)) {
        std::cerr << "Try 'vkscan --help'.\n";
        return cli::kExitError;
    }

    scan::ScanEngine engine;
    auto folder = platform::programFolder();
    scan::applyScanSettings(scan::readScanSettings(folder.configIni), engine);
    if (!opt.database.empty()) engine.setDatabasePath(opt.database);
    if (opt.maxSize) engine.setFileSizeLimit(*opt.maxSize);
    if (opt.allFiles) engine.setFilterFiles(false);
    if (opt.extensions) {
        engine.setFilterFiles(true);
        engine.setFilter(*opt.extensions);
    }

    // Every detection goes through the question; the answer is ours.
    std::int32_t fixed = engine.neutralizeMethods();
    if (opt.action == "heal") fixed = 1;
    else if (opt.action == "delete") fixed = 2;
    else if (opt.action == "rename") fixed = 3;
    else if (opt.action == "report") fixed = 0;
    else if (opt.action == "ask") fixed = 0;
    bool wantsAsk = opt.action == "ask" || (opt.action.empty() && fixed == 0);
    bool ask = wantsAsk && ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO);
    if (fixed < 0 || fixed > 3) fixed = 0;
    engine.setNeutralizeMethods(0);

    ScanOutput output(engine, opt.quiet, ask, wantsAsk ? 0 : fixed);
    engine.setEvents(&output);
    engine.setPump(&output);

    engine.loadVirusDatabase();
    if (output.loadFailed || !engine.vDatabaseLoaded()) return cli::kExitError;

    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sa.sa_flags = SA_RESTART;  // a write blocked on a full pipe must not lose output
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);

    bool badPath = false;
    engine.resetScanningStatistics();
    engine.resetFarwatch();
    engine.setStopScanningProcess(false);
    for (const auto& path : opt.paths) {
        if (engine.stopScanningProcess()) break;
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) {
            output.finish();
            std::cerr << "vkscan: " << path << ": no such file or folder\n";
            badPath = true;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            engine.scanFilesInFolder(path);
            if (!engine.stopScanningProcess()) engine.scanFolder(path, true);
        } else {
            engine.scanFile(path);
        }
    }
    output.finish();

    if (!opt.quiet) {
        if (interrupted) std::cout << "Scan stopped.\n";
        std::cout << "Files scanned:  " << engine.filesScanned() << "\n"
                  << "Files infected: " << engine.detections() << "\n"
                  << "Files healed:   " << engine.filesHealed() << "\n"
                  << "Files deleted:  " << engine.filesDeleted() << "\n"
                  << "Files renamed:  " << engine.filesRenamed() << "\n";
    }
    if (opt.farwatch && !interrupted) cli::sendFarwatchReport(engine, folder.configIni, std::cerr);
    if (badPath) return cli::kExitError;
    return engine.detections() > 0 ? cli::kExitFound : cli::kExitOk;
}
