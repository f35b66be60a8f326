// vkscan: scans files and folder trees with the conventions ClamAV users know.
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <regex>
#include <string>

#include "cli/CommandLine.h"
#include "cli/EscapedText.h"
#include "cli/FarwatchReport.h"
#include "cli/ProgressLine.h"
#include "cli/ScanCommandLine.h"
#include "platform/EventPump.h"
#include "platform/ProgramFolder.h"
#include "scan/Quarantine.h"
#include "scan/ScanEngine.h"
#include "scan/ScanEngineErrors.h"
#include "scan/ScanSettings.h"

using namespace vk;
using scan::DetectionAction;

namespace {

constexpr const char* kUsage =
    "Usage: vkscan [OPTIONS] PATH...\n"
    "Scans files and folder trees against the signature database and reports what it\n"
    "finds. Folders are scanned with their whole trees; links met inside a tree are\n"
    "never followed, a link named here is.\n\n"
    "  --database=FILE       signature database (default: the program folder's signatures.dat)\n"
    "  --action=ACTION       report (default), ask, heal, delete or rename\n"
    "  --move                move what is found into the quarantine\n"
    "  --max-size=MB         skip files larger than MB megabytes (default: no limit)\n"
    "  --extensions=LIST     scan only these extensions, e.g. exe;com;scr (default: every file)\n"
    "  --exclude=REGEX       skip files whose path matches (may be repeated)\n"
    "  --exclude-dir=REGEX   skip folders whose path matches, with their trees\n"
    "  -f FILE               scan the paths listed in FILE, one a line\n"
    "  --log=FILE            append the report to FILE as well\n"
    "  -i, --infected        list infected files only (what is always listed)\n"
    "  -r, --recursive       accepted; trees are always walked\n"
    "  --no-summary          leave out the summary\n"
    "  --quiet               print only the detections\n"
    "  --quarantine list | restore ID | purge\n"
    "                        show the quarantine, put a file back where it was, empty it\n"
    "  --farwatch            afterwards, mail the Farwatch report of what was found\n"
    "                        (when enrolled and reporting is on; progress on stderr)\n"
    "  --help, --version\n\n"
    "Heal and delete keep a copy in the quarantine first ($XDG_DATA_HOME/vandrelkast/quarantine)\n"
    "unless config.ini says [ScanningOptions] Quarantine=0. File names are printed with\n"
    "control characters escaped (\\n, \\t, \\e, \\xHH, \\\\).\n\n"
    "Exit status: 0 nothing found, 1 something found, 2 an error or something that\n"
    "could not be read (and nothing found), 130/143 interrupted by SIGINT/SIGTERM.\n";

volatile std::sig_atomic_t interruptedBy = 0;

void onSignal(int signal) { interruptedBy = signal; }

// Report lines go to the terminal and, with --log, to a file as well.
class Report {
public:
    explicit Report(const std::string& logFile) {
        if (!logFile.empty()) log_ = std::fopen(logFile.c_str(), "a");
    }
    ~Report() {
        if (log_) std::fclose(log_);
    }
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;
    bool logOpen() const { return log_ != nullptr; }

    void out(const std::string& line) {
        std::cout << line << "\n" << std::flush;
        toLog(line);
    }
    void err(const std::string& line) {
        std::cerr << line << "\n" << std::flush;
        toLog(line);
    }

private:
    void toLog(const std::string& line) {
        if (!log_) return;
        std::fputs(line.c_str(), log_);
        std::fputc('\n', log_);
        std::fflush(log_);
    }
    std::FILE* log_ = nullptr;
};

std::string withoutCr(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out.push_back(text[i]);
    return out;
}

class ScanOutput final : public scan::ScanEngineEvents, public platform::EventPump {
public:
    ScanOutput(scan::ScanEngine& engine, Report& report, bool quiet, bool ask, DetectionAction fixed, bool move)
        : engine_(engine), report_(report), quiet_(quiet), ask_(ask), fixed_(fixed), move_(move),
          progress_(stdout) {}

    bool loadFailed = false;
    bool unreadable = false;

    void errorOccured(std::int32_t number, const std::string& description) override {
        progress_.clear();
        std::string text = withoutCr(description);
        if (number == scan::kErrDatabaseNotLoaded) {
            report_.err("vkscan: Error #" + std::to_string(number) + ": " + cli::escapeControls(text));
            return;
        }
        report_.err("vkscan: " + cli::escapeControls(engine_.databasePath()) + ": Error #" + std::to_string(number) +
                    ": " + text);
        loadFailed = true;
    }

    void scanningProgress(const std::string& file) override {
        current_ = cli::escapeControls(file);
        showProgress();
    }

    void virusDetected(const std::string& file, const std::string& name, DetectionAction& action) override {
        announce(file, name);
        action = ask_ ? askUser() : fixed_;
    }

    void detectionHandled(const std::string& file, const std::string& name,
                          const scan::DetectionOutcome& outcome) override {
        if (announced_ != file) announce(file, name);
        announced_.clear();
        report_.out("  " + describe(file, outcome));
    }

    void fileNotScanned(const std::string& path, const std::string& reason) override {
        progress_.clear();
        unreadable = true;
        report_.err(cli::escapeControls(path) + ": cannot be read (" + reason + ")");
    }

    void pump() override {
        if (interruptedBy) engine_.setStopScanningProcess(true);
        showProgress();
    }

    void finish() { progress_.clear(); }

private:
    void announce(const std::string& file, const std::string& name) {
        progress_.clear();
        report_.out(cli::escapeControls(file) + ": " + cli::escapeControls(name) + " FOUND");
        announced_ = file;
    }

    std::string describe(const std::string& file, const scan::DetectionOutcome& o) const {
        const char* verb = o.action == DetectionAction::Heal     ? "healed"
                           : o.action == DetectionAction::Delete ? "deleted"
                           : o.action == DetectionAction::Rename ? "renamed"
                                                                 : "left in place";
        if (move_ && o.action == DetectionAction::Delete)
            return o.succeeded ? "moved to the quarantine as " + o.quarantineId
                               : "could not be moved to the quarantine (" + o.failure + ")";
        if (!o.succeeded) return std::string("could not be ") + verb + " (" + o.failure + ")";
        if (o.action == DetectionAction::Rename) return "renamed to " + cli::escapeControls(file + ".vir");
        std::string text = verb;
        if (!o.quarantineId.empty()) text += ", a copy kept in the quarantine as " + o.quarantineId;
        return text;
    }

    void showProgress() {
        if (quiet_ || !progress_.active()) return;
        double mb = static_cast<double>(engine_.bytesScanned()) / 1048576.0;
        char head[96];
        std::snprintf(head, sizeof head, "%d files, %.1f MB  ", engine_.filesScanned(), mb);
        progress_.update(head + current_);
    }

    // One line from the terminal; Ctrl-C or SIGTERM while waiting ends the scan.
    bool readAnswer(std::string& answer) {
        answer.clear();
        while (!interruptedBy) {
            pollfd p{STDIN_FILENO, POLLIN, 0};
            int ready = ::poll(&p, 1, 200);
            if (ready <= 0) continue;
            char c;
            ssize_t n = ::read(STDIN_FILENO, &c, 1);
            if (n <= 0) return false;
            if (c == '\n') return true;
            answer.push_back(c);
        }
        engine_.setStopScanningProcess(true);
        std::cout << "\n";
        return false;
    }

    DetectionAction askUser() {
        while (true) {
            std::cout << "What do you want to do? [h]eal, [d]elete, [r]ename, [i]gnore (Enter: heal): " << std::flush;
            std::string answer;
            if (!readAnswer(answer)) return DetectionAction::Ignore;
            if (answer.empty() || answer == "h" || answer == "heal") return DetectionAction::Heal;
            if (answer == "d" || answer == "delete") return DetectionAction::Delete;
            if (answer == "r" || answer == "rename") return DetectionAction::Rename;
            if (answer == "i" || answer == "ignore") return DetectionAction::Ignore;
        }
    }

    scan::ScanEngine& engine_;
    Report& report_;
    bool quiet_;
    bool ask_;
    DetectionAction fixed_;
    bool move_;
    cli::ProgressLine progress_;
    std::string current_;
    std::string announced_;
};

std::string localTime(std::int64_t seconds) {
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

int quarantineCommand(const cli::ScanCommandLine& o, scan::Quarantine& quarantine) {
    if (o.quarantineCommand == "list") {
        for (const auto& item : quarantine.list())
            std::cout << item.id << "  " << localTime(item.time) << "  " << cli::escapeControls(item.detection)
                      << "  " << cli::escapeControls(item.path) << "\n";
        return cli::kExitOk;
    }
    if (o.quarantineCommand == "purge") {
        std::size_t count = quarantine.list().size();
        std::string error = quarantine.purge();
        if (!error.empty()) {
            std::cerr << "vkscan: " << cli::escapeControls(error) << "\n";
            return cli::kExitError;
        }
        std::cout << count << (count == 1 ? " file" : " files") << " removed from the quarantine\n";
        return cli::kExitOk;
    }
    std::string path;
    for (const auto& item : quarantine.list())
        if (item.id == o.quarantineId) path = item.path;
    std::string error = quarantine.restore(o.quarantineId);
    if (!error.empty()) {
        std::cerr << "vkscan: " << cli::escapeControls(error) << "\n";
        return cli::kExitError;
    }
    std::cout << cli::escapeControls(path) << ": restored\n";
    return cli::kExitOk;
}

// A regular expression per option, searched in the path.
bool compileAll(const std::vector<std::string>& texts, std::vector<std::regex>& out) {
    for (const auto& t : texts) {
        try {
            out.emplace_back(t, std::regex::ECMAScript | std::regex::optimize);
        } catch (const std::regex_error& e) {
            std::cerr << "vkscan: " << t << ": not a regular expression (" << e.what() << ")\n";
            return false;
        }
    }
    return true;
}

bool anyMatches(const std::vector<std::regex>& patterns, const std::string& path) {
    for (const auto& r : patterns)
        if (std::regex_search(path, r)) return true;
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    auto args = cli::argumentsOf(argc, argv);
    if (cli::handleStandardOptions(args, "vkscan", kUsage)) return cli::kExitOk;
    cli::ScanCommandLine opt;
    if (!cli::parseScanCommandLine(args, opt)) {
        std::cerr << "Try 'vkscan --help'.\n";
        return cli::kExitError;
    }

    // config.ini's scan settings belong to the window; only the quarantine's are shared.
    auto settings = scan::readScanSettings(platform::programFolder().configIni);
    auto quarantine = std::make_shared<scan::Quarantine>(scan::Quarantine::defaultFolder(),
                                                         scan::quarantineBytes(settings));
    if (!opt.quarantineCommand.empty()) return quarantineCommand(opt, *quarantine);

    std::vector<std::regex> exclude, excludeDir;
    if (!compileAll(opt.exclude, exclude) || !compileAll(opt.excludeDir, excludeDir)) return cli::kExitError;

    scan::ScanEngine engine;
    if (!opt.database.empty()) engine.setDatabasePath(opt.database);
    engine.setFileSizeLimit(opt.maxSize ? *opt.maxSize : INT32_MAX);
    engine.setFilterFiles(opt.extensions.has_value());
    if (opt.extensions) engine.setFilter(*opt.extensions);
    engine.setQuarantine(opt.move || settings.quarantine ? quarantine : nullptr);
    if (!exclude.empty() || !excludeDir.empty())
        engine.setExclusion([&](const std::string& path, bool folder) {
            return anyMatches(folder ? excludeDir : exclude, path);
        });

    // Every detection goes through the question; the answer is ours.
    DetectionAction fixed = opt.move                 ? DetectionAction::Delete
                            : opt.action == "heal"   ? DetectionAction::Heal
                            : opt.action == "delete" ? DetectionAction::Delete
                            : opt.action == "rename" ? DetectionAction::Rename
                                                     : DetectionAction::Ignore;
    bool ask = !opt.move && opt.action == "ask" && ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO);
    engine.setNeutralizeMethods(DetectionAction::Ask);

    Report report(opt.logFile);
    if (!opt.logFile.empty() && !report.logOpen()) {
        std::cerr << "vkscan: " << cli::escapeControls(opt.logFile) << ": cannot be written\n";
        return cli::kExitError;
    }
    ScanOutput output(engine, report, opt.quiet, ask, fixed, opt.move);
    engine.setEvents(&output);
    engine.setPump(&output);

    engine.loadVirusDatabase();
    if (output.loadFailed || !engine.vDatabaseLoaded()) return cli::kExitError;

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sa.sa_flags = SA_RESTART;  // a write blocked on a full pipe must not lose output
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);

    const auto started = std::chrono::steady_clock::now();
    bool badPath = false;
    engine.resetScanningStatistics();
    engine.resetFarwatch();
    engine.setStopScanningProcess(interruptedBy != 0);
    for (const auto& path : opt.paths) {
        if (engine.stopScanningProcess()) break;
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) {
            output.finish();
            report.err("vkscan: " + cli::escapeControls(path) + ": no such file or folder");
            badPath = true;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            // The folder is opened through a link named here; none inside is followed.
            engine.scanFilesInFolder(path);
            if (!engine.stopScanningProcess()) engine.scanFolder(path, true);
            continue;
        }
        if (opt.maxSize && static_cast<std::uint64_t>(st.st_size) > static_cast<std::uint64_t>(*opt.maxSize) * 1048576u)
            continue;
        struct stat lst;
        std::error_code ec;
        std::string target = path;
        if (::lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode))
            target = std::filesystem::canonical(path, ec).string();
        engine.scanFile(ec ? path : target);
    }
    output.finish();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    if (interruptedBy) report.out("Scan stopped.");
    if (!opt.quiet && !opt.noSummary) {
        char data[64], time[64];
        std::snprintf(data, sizeof data, "%.2f MB", static_cast<double>(engine.bytesScanned()) / 1048576.0);
        std::snprintf(time, sizeof time, "%.3f sec", seconds);
        report.out("Signatures:     " + std::to_string(engine.vDatabaseSize()));
        report.out("Files scanned:  " + std::to_string(engine.filesScanned()));
        report.out("Files infected: " + std::to_string(engine.detections()));
        report.out("Files healed:   " + std::to_string(engine.filesHealed()));
        report.out("Files deleted:  " + std::to_string(engine.filesDeleted()));
        report.out("Files renamed:  " + std::to_string(engine.filesRenamed()));
        report.out("Not scanned:    " + std::to_string(engine.filesNotScanned()));
        report.out(std::string("Data scanned:   ") + data);
        report.out(std::string("Time:           ") + time);
    }
    if (opt.farwatch && !interruptedBy)
        cli::sendFarwatchReport(engine, platform::programFolder().configIni, std::cerr);
    if (interruptedBy) return 128 + interruptedBy;
    if (badPath) return cli::kExitError;
    if (engine.detections() > 0) return cli::kExitFound;
    return output.unreadable ? cli::kExitError : cli::kExitOk;
}
