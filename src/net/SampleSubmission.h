#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "net/Ftp.h"
#include "platform/EventPump.h"

namespace vk::net {

// What the user filled in.
struct SubmissionForm {
    std::string file;
    std::string name;
    std::string address;
    std::string reason;
};

// config.ini [SubmitSamples]: Server (HOST or HOST:PORT), Username, Password, Folder.
struct SubmissionSettings {
    std::string server;
    std::uint16_t port = Ftp::kDefaultPort;
    std::string user;
    std::string password;
    std::string folder;
};
SubmissionSettings readSubmissionSettings(const std::string& configIni);
// "host", "host:2121", "[::1]:2121"; false for a bad port.
bool splitServer(const std::string& text, std::string& host, std::uint16_t& port);

enum class SubmissionField { File, Name, Address, Reason };

struct SubmissionResult {
    enum class Outcome { Submitted, Failed, Invalid, InternalError };
    Outcome outcome = Outcome::Failed;
    std::string message;  // what the user is told
    std::string title;    // "Submission Complete", "Error" or "Internal Application Error"
    std::optional<SubmissionField> field;  // where the focus goes after a refusal
    std::string remoteFolder;
    std::string ftpError;  // the client's own text, for logs and the command line
};

inline constexpr const char* kSubmissionFailed =
    "File submission failed. The server might be experiencing technical problems right now. ";
inline constexpr const char* kSubmissionComplete = "The file has been successfully submitted. Thanks for sending.";

// The first field the form refuses, with its message; nullopt when all is well.
std::optional<SubmissionResult> validateSubmission(const SubmissionForm& form);

// Eight characters from eight draws of 1..22 in hexadecimal.
std::string randomTag();
// The tag, then day, month and four-digit year without separators or leading zeros.
std::string remoteFolderName(const std::string& tag, int day, int month, int year);
// info.txt: three lines with CR LF.
std::string descriptionText(const SubmissionForm& form);

// Sends a sample and its description into a new folder on the FTP server.
class SampleSubmission {
public:
    explicit SampleSubmission(FtpEvents* progress = nullptr, platform::EventPump* pump = nullptr);
    SubmissionResult submit(const SubmissionForm& form, const SubmissionSettings& settings);
    void setTimeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

private:
    FtpEvents* progress_;
    platform::EventPump* pump_;
    std::chrono::milliseconds timeout_{30000};
};

}  // namespace vk::net
