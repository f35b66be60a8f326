// vksubmit FILE --name N --address A --reason R: sends a suspicious file to
// the analysts headless, as the window's submission page does.
#include <cstdio>
#include <iostream>
#include <string>

#include "cli/CommandLine.h"
#include "cli/ProgressLine.h"
#include "net/SampleSubmission.h"
#include "platform/ProgramFolder.h"

namespace {

constexpr const char* kUsage =
    "Usage: vksubmit FILE --name NAME --address ADDRESS --reason REASON\n"
    "Sends a suspicious file and a short description (name, address, reason)\n"
    "to VandrelKast Labs over FTP, into a new folder of its own.\n"
    "\n"
    "  --name NAME        your full name (must be true and complete)\n"
    "  --address ADDRESS  your complete address\n"
    "  --reason REASON    why you chose this file and the symptoms observed\n"
    "  --help             show this help\n"
    "  --version          show the version\n"
    "\n"
    "The server comes from config.ini [SubmitSamples] (Server as HOST or\n"
    "HOST:PORT, Username, Password, Folder) in the program folder\n"
    "($VANDRELKAST_HOME). Exit status: 0 when the file and its description\n"
    "arrived, 1 when the submission failed, 2 for bad input.\n";

class TerminalProgress final : public vk::net::FtpEvents {
public:
    explicit TerminalProgress(std::string name) : line_(stderr), name_(std::move(name)) {}
    void fileTransferProgress(std::int64_t current, std::int64_t total) override {
        if (total <= 0) return;
        line_.update("Sending " + name_ + ": " + std::to_string(current * 100 / total) + "% (" +
                         std::to_string(current) + " of " + std::to_string(total) + " bytes)",
                     current == total);
    }
    void clear() { line_.clear(); }

private:
    vk::cli::ProgressLine line_;
    std::string name_;
};

// "--name VALUE" or "--name=VALUE".
bool optionValue(const std::vector<std::string>& args, std::size_t& i, const std::string& option, std::string& out) {
    if (args[i] == option && i + 1 < args.size()) {
        out = args[++i];
        return true;
    }
    if (args[i].starts_with(option + "=")) {
        out = args[i].substr(option.size() + 1);
        return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vk;
    auto args = cli::argumentsOf(argc, argv);
    if (cli::handleStandardOptions(args, "vksubmit", kUsage)) return cli::kExitOk;
    net::SubmissionForm form;
    bool haveFile = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (optionValue(args, i, "--name", form.name) || optionValue(args, i, "--address", form.address) ||
            optionValue(args, i, "--reason", form.reason))
            continue;
        if (args[i].starts_with("-") || haveFile) {
            std::cerr << "vksubmit: unexpected argument: " << args[i] << "\n" << kUsage;
            return cli::kExitError;
        }
        form.file = args[i];
        haveFile = true;
    }
    if (auto refused = net::validateSubmission(form)) {
        std::cerr << "vksubmit: " << refused->message << "\n";
        return cli::kExitError;
    }

    const std::string name = form.file.substr(form.file.find_last_of('/') == std::string::npos
                                                  ? 0
                                                  : form.file.find_last_of('/') + 1);
    TerminalProgress progress(name);
    net::SampleSubmission submission(&progress);
    const net::SubmissionSettings settings = net::readSubmissionSettings(platform::programFolder().configIni);
    if (settings.server.empty()) {
        std::cerr << "vksubmit: config.ini [SubmitSamples] Server is not HOST or HOST:PORT\n";
        return cli::kExitError;
    }
    const net::SubmissionResult result = submission.submit(form, settings);
    progress.clear();
    if (result.outcome == net::SubmissionResult::Outcome::Submitted) {
        std::cout << result.message << "\n";
        return cli::kExitOk;
    }
    std::cerr << "vksubmit: " << result.message << "\n";
    if (!result.ftpError.empty()) std::cerr << "vksubmit: " << result.ftpError << "\n";
    return result.outcome == net::SubmissionResult::Outcome::Invalid ? cli::kExitError : 1;
}
