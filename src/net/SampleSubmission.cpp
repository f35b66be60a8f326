#include "net/SampleSubmission.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "SubmitDefaults.h"
#include "platform/FileDescriptor.h"
#include "platform/IniProfile.h"
#include "platform/Random.h"
#include "platform/RuntimeError.h"
#include "platform/base/ErrorInfo.h"
#include "platform/base/Text.h"
#include "platform/SpecialFolders.h"
#include "platform/TempFile.h"

namespace vk::net {

namespace {

constexpr const char* kSection = "SubmitSamples";

std::string trimmed(const std::string& s) { return std::string(base::trim(s)); }

SubmissionResult refusal(SubmissionField field, std::string message) {
    SubmissionResult r;
    r.outcome = SubmissionResult::Outcome::Invalid;
    r.message = std::move(message);
    r.title = "Error";
    r.field = field;
    return r;
}

// The sample must be a regular file this user can read: anything else is
// refused before a connection is opened.
std::optional<std::string> unreadableReason(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) return std::nullopt;  // reported as missing
    if (S_ISDIR(st.st_mode)) return "The file specified is a folder.";
    if (!S_ISREG(st.st_mode)) return "The file specified is not a regular file.";
    platform::FileDescriptor fd = platform::FileDescriptor::open(file, O_RDONLY | O_NONBLOCK);
    if (!fd) return "The file specified cannot be read (" + std::string(std::strerror(errno)) + ").";
    return std::nullopt;
}

bool exists(const std::string& file) {
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0;
}

// A folder only this user can enter where there is one: the description
// holds the user's name and address.
std::string userTempFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime && *runtime && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid())
        return runtime;
    return platform::tempFolder();
}

std::string baseName(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

SubmissionResult failure(const Ftp& ftp, std::string folder) {
    SubmissionResult r;
    r.outcome = SubmissionResult::Outcome::Failed;
    r.message = kSubmissionFailed;
    r.title = "Error";
    r.remoteFolder = std::move(folder);
    r.ftpError = ftp.getLastErrorMessage();
    return r;
}

}  // namespace

bool splitServer(const std::string& text, std::string& host, std::uint16_t& port) {
    std::string t = trimmed(text);
    port = Ftp::kDefaultPort;
    std::string portText;
    if (!t.empty() && t.front() == '[') {
        std::size_t close = t.find(']');
        if (close == std::string::npos) return false;
        host = t.substr(1, close - 1);
        if (close + 1 < t.size()) {
            if (t[close + 1] != ':') return false;
            portText = t.substr(close + 2);
        }
    } else if (std::count(t.begin(), t.end(), ':') == 1) {
        host = t.substr(0, t.find(':'));
        portText = t.substr(t.find(':') + 1);
    } else {
        host = t;  // a name, an IPv4 address or a bare IPv6 address
    }
    if (!portText.empty()) {
        unsigned value = 0;
        auto r = std::from_chars(portText.data(), portText.data() + portText.size(), value);
        if (r.ec != std::errc() || r.ptr != portText.data() + portText.size() || value == 0 || value > 65535)
            return false;
        port = static_cast<std::uint16_t>(value);
    }
    return !host.empty();
}

SubmissionSettings readSubmissionSettings(const std::string& configIni) {
    SubmissionSettings s;
    const std::string server = platform::getProfileString(configIni, kSection, "Server", kDefaultSubmitServer);
    if (!splitServer(server, s.server, s.port)) s.server.clear();
    s.user = platform::getProfileString(configIni, kSection, "Username", kDefaultSubmitUser);
    s.password = platform::getProfileString(configIni, kSection, "Password", kDefaultSubmitPassword);
    s.folder = platform::getProfileString(configIni, kSection, "Folder", kDefaultSubmitFolder);
    return s;
}

std::optional<SubmissionResult> validateSubmission(const SubmissionForm& form) {
    const std::string file = trimmed(form.file);
    if (file.empty()) return refusal(SubmissionField::File, "Please enter the file you want to send.");
    if (!exists(file)) return refusal(SubmissionField::File, "The file specified doesn't exists.");
    if (auto reason = unreadableReason(file)) return refusal(SubmissionField::File, *reason);
    if (trimmed(form.name).empty()) return refusal(SubmissionField::Name, "Please enter your full name.");
    if (trimmed(form.address).empty())
        return refusal(SubmissionField::Address, "Please enter your address where you live.");
    if (trimmed(form.reason).empty())
        return refusal(SubmissionField::Reason,
                       "Please state your reason why you selected this file to be sent to VandrelKast Labs for "
                       "analysis. Include also the symptoms observed.");
    return std::nullopt;
}

std::string randomTag() {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string tag;
    for (int i = 0; i < 8; ++i) {
        // Half-way cases round to even, as the classic rounding does.
        const int r = static_cast<int>(std::nearbyint(platform::randomUnit() * 21)) + 1;
        if (r >= 16) tag += kHex[r / 16];
        tag += kHex[r % 16];
    }
    return tag.substr(0, 8);
}

std::string remoteFolderName(const std::string& tag, int day, int month, int year) {
    return tag + std::to_string(day) + std::to_string(month) + std::to_string(year);
}

std::string descriptionText(const SubmissionForm& form) {
    return "Name: " + form.name + "\r\nAddress: " + form.address + "\r\nReason:\r\n" + form.reason + "\r\n";
}

SampleSubmission::SampleSubmission(FtpEvents* progress, platform::EventPump* pump)
    : progress_(progress), pump_(pump) {}

SubmissionResult SampleSubmission::submit(const SubmissionForm& form, const SubmissionSettings& settings) {
    if (auto refused = validateSubmission(form)) return *refused;
    const std::string file = trimmed(form.file);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const std::string folder = remoteFolderName(randomTag(), local.tm_mday, local.tm_mon + 1, local.tm_year + 1900);

    Ftp ftp(progress_, pump_);
    ftp.setTimeout(timeout_);
    ftp.setModeActive();
    ftp.setTransferBinary();
    if (!ftp.openConnection(settings.server, settings.user, settings.password, settings.port))
        return failure(ftp, folder);
    // Their results are not checked: an existing base folder or a server that
    // creates folders on its own still takes the files.
    ftp.setFtpDirectory(settings.folder);
    ftp.createFtpDirectory(folder);
    ftp.setFtpDirectory(folder);

    platform::TempFile description = platform::createTempFile("vkftp" + randomTag() + "-", userTempFolder());
    platform::FileDescriptor descriptionFd(description.fd);
    const std::string text = descriptionText(form);
    SubmissionResult result;
    if (!descriptionFd || !descriptionFd.writeAll(text.data(), text.size())) {
        if (!description.path.empty()) platform::FileDescriptor::unlink(description.path);
        const platform::RuntimeError e = platform::pathFileAccessError();
        result.outcome = SubmissionResult::Outcome::InternalError;
        result.message = base::internalErrorText(e.number(), e.description(), e.source());
        result.title = "Internal Application Error";
        return result;
    }
    descriptionFd.reset();

    std::string sample = file;
    std::string sampleName = baseName(file);
    std::string info = description.path;
    std::string infoName = "info.txt";
    const bool sent = ftp.ftpUploadFile(sample, sampleName) && ftp.ftpUploadFile(info, infoName);
    // The description holds the user's name and address: it never stays behind.
    platform::FileDescriptor::unlink(description.path);
    if (!sent) return failure(ftp, folder);
    ftp.closeConnection();
    result.outcome = SubmissionResult::Outcome::Submitted;
    result.message = kSubmissionComplete;
    result.title = "Submission Complete";
    result.remoteFolder = folder;
    return result;
}

}  // namespace vk::net
