#include "net/SendMail.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "net/MailEncoding.h"
#include "platform/base/Text.h"
#include "net/SocketAddress.h"
#include "platform/Clock.h"
#include "platform/RuntimeError.h"
#include "platform/VbConversion.h"

namespace vk::net {
namespace {

std::string lowered(std::string_view text) { return base::asciiLower(text); }
std::string trimmed(std::string_view text) { return std::string(base::trim(text, " ")); }

constexpr const char* kCrLf = "\r\n";
constexpr std::size_t kBase64Block = 11400;
constexpr std::size_t kUuPiece = 45;
constexpr long kThrottleBytes = 4096;

std::string withoutNul(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    return text;
}

bool truthy(const std::string& text) {
    if (base::equalsNoCase(text, "True")) return true;
    if (base::equalsNoCase(text, "False")) return false;
    auto number = platform::parseVbNumber(text);
    return number && *number != 0;
}

long numberOr(const std::string& text, long fallback) {
    auto number = platform::parseVbNumber(text);
    return number ? static_cast<long>(*number) : fallback;
}

const char* boolText(bool on) { return on ? "True" : "False"; }

// The reply is whole: it ends with a line break and its last line is not
// an SMTP continuation ("250-").
bool replyComplete(const std::string& reply) {
    if (reply.empty() || reply.back() != '\n') return false;
    std::size_t end = reply.size() - 1;
    if (end > 0 && reply[end - 1] == '\r') --end;
    std::size_t start = end == 0 ? 0 : reply.rfind('\n', end - 1);
    start = start == std::string::npos ? 0 : start + 1;
    std::string last = reply.substr(start, end - start);
    return !(last.size() >= 4 && std::isdigit(static_cast<unsigned char>(last[0])) &&
             std::isdigit(static_cast<unsigned char>(last[1])) && std::isdigit(static_cast<unsigned char>(last[2])) &&
             last[3] == '-');
}

}  // namespace

class SendMail::SocketListener final : public SocketMasterEvents {
public:
    explicit SocketListener(SendMail& owner) : owner_(owner) {}
    void closeSck() override { owner_.connected_ = false; }
    void connect() override { owner_.connected_ = true; }
    void dataArrival(long) override { owner_.onDataArrival(); }
    void error(int, const std::string& description, long, const std::string&, const std::string&, long,
               bool&) override {
        owner_.addError(description);
        owner_.raiseFailure();
    }
    void sendProgress(long sent, long remaining) override { owner_.onSendProgress(sent, remaining); }
    void tlsEstablished() override { owner_.tlsReady_ = true; }

private:
    SendMail& owner_;
};

SendMail::SendMail(SendMailEvents* events, platform::EventPump* pump, MailSettingsStore store)
    : events_(events), pump_(pump), store_(std::move(store)), listener_(std::make_unique<SocketListener>(*this)),
      mx_(pump) {
    socket_.setEvents(listener_.get());
    timeZone_ = localTimeZoneText();
    loadSettings();
}

SendMail::~SendMail() {
    events_ = nullptr;
    if (socket_.state() != kSckClosed) closeMailConnection();
    socket_.setEvents(nullptr);
    errors_.clear();
}

void SendMail::setPump(platform::EventPump* pump) {
    pump_ = pump;
    mx_.setPump(pump);
}

void SendMail::loadSettings() {
    if (!truthy(store_.read("PersistentSettings", "0"))) return;
    persistentSettings_ = true;
    smtpHost_ = withoutNul(store_.read("RemoteHost", ""));
    long port = numberOr(store_.read("RemotePort", "25"), 25);
    if (port >= 1 && port <= 65535) smtpPort_ = port;
    smtpHostValidation_ = numberOr(store_.read("SMTPHostValidation", "3"), 3);
    pop3Host_ = withoutNul(store_.read("Pop3Host", ""));
    usePopAuthentication_ = truthy(store_.read("UsePopAuthentication", "False"));
    useAuthentication_ = truthy(store_.read("UseAuthentication", "False"));
    username_ = store_.read("Username", "");
    from_ = trimmed(store_.read("From", ""));
    fromDisplayName_ = store_.read("FromDisplayName", "");
    encodeType_ = numberOr(store_.read("EncodeType", "0"), 0);
    emailAddressValidation_ = numberOr(store_.read("EmailValidation", "1"), 1);
    long timeout = numberOr(store_.read("ConnectTimeout", "40"), 40);
    if (timeout >= 1 && timeout <= 120) connectTimeout_ = timeout;
    long retry = numberOr(store_.read("ConnectRetry", "4"), 4);
    if (retry >= 1 && retry <= 20) connectRetry_ = retry;
    messageTimeout_ = std::labs(numberOr(store_.read("MessageTimeout", "60"), 60));
    maxRecipients_ = numberOr(store_.read("MaxRecipients", "100"), 100);
    if (maxRecipients_ < 1) maxRecipients_ = 100;
}

void SendMail::save(const char* key, const std::string& value) {
    if (persistentSettings_) store_.write(key, value);
}

// --- properties ---------------------------------------------------------

bool SendMail::validHost(const std::string& host) const {
    switch (smtpHostValidation_) {
        case 1: return isValidDomain(host);
        case 2: return ping(host);
        case 3: return !getIPAddress(host).empty();
        default: return true;
    }
}

void SendMail::setSmtpHost(std::string host) {
    smtpHost_ = withoutNul(std::move(host));
    removeError("Invalid or Missing SMTP Host Name");
    if (!smtpHost_.empty() && !validHost(smtpHost_)) addError("Invalid or Missing SMTP Host Name");
    save("RemoteHost", smtpHost_);
}

void SendMail::setSmtpPort(long port) {
    removeError("Invalid Remote Port");
    if (port < 1 || port > 65535) {
        addError("Invalid Remote Port");
        return;
    }
    smtpPort_ = port;
    save("RemotePort", std::to_string(port));
}

void SendMail::setSmtpHostValidation(long mode) {
    if (mode < 0 || mode > 3) return;
    smtpHostValidation_ = mode;
    save("SMTPHostValidation", std::to_string(mode));
    if (!smtpHost_.empty()) setSmtpHost(smtpHost_);
}

void SendMail::setPop3Host(std::string host) {
    pop3Host_ = withoutNul(std::move(host));
    removeError("Invalid or Missing POP3 Host Name");
    if (!pop3Host_.empty() && !validHost(pop3Host_)) addError("Invalid or Missing POP3 Host Name");
    save("Pop3Host", pop3Host_);
}

void SendMail::setPop3Port(long port) {
    if (port >= 1 && port <= 65535) pop3Port_ = port;
}

void SendMail::setUsePopAuthentication(bool on) {
    usePopAuthentication_ = on;
    save("UsePopAuthentication", boolText(on));
}

void SendMail::setUseAuthentication(bool on) {
    useAuthentication_ = on;
    save("UseAuthentication", boolText(on));
}

void SendMail::setUsername(std::string name) {
    username_ = std::move(name);
    save("Username", username_);
}

void SendMail::setFrom(std::string from) {
    from_ = trimmed(from);
    validateAddressList(cleanList(from_), "Missing or Invalid Sender E-mail Address");
    save("From", from_);
}

void SendMail::setFromDisplayName(std::string name) {
    fromDisplayName_ = std::move(name);
    save("FromDisplayName", fromDisplayName_);
}

std::vector<std::string> SendMail::cleanList(const std::string& list) const {
    std::vector<std::string> entries;
    if (list.empty()) return entries;
    std::size_t start = 0;
    while (true) {
        std::size_t at = delimiter_.empty() ? std::string::npos : list.find(delimiter_, start);
        std::string entry = list.substr(start, at == std::string::npos ? std::string::npos : at - start);
        entry.erase(std::remove_if(entry.begin(), entry.end(), [](char c) { return c == '\r' || c == '\n' || c == '\t'; }),
                    entry.end());
        entries.push_back(trimmed(entry));
        if (at == std::string::npos) break;
        start = at + delimiter_.size();
    }
    return entries;
}

std::string SendMail::joined(const std::vector<std::string>& list) const {
    std::string text;
    for (std::size_t i = 0; i < list.size(); ++i) text += (i ? delimiter_ : std::string()) + list[i];
    return text;
}

void SendMail::validateAddressList(const std::vector<std::string>& list, const std::string& message) {
    removeError(message);
    if (emailAddressValidation_ != 1) return;
    for (const std::string& address : list) {
        if (!net::isValidEmailAddress(address)) {
            addError(message);
            return;
        }
    }
}

void SendMail::setRecipient(const std::string& list) {
    to_ = cleanList(list);
    validateAddressList(to_, "Missing or Invalid Recipient E-mail Address");
}

void SendMail::setCcRecipient(const std::string& list) {
    cc_ = cleanList(list);
    validateAddressList(cc_, "Invalid Cc: Recipient E-mail Address");
}

void SendMail::setBccRecipient(const std::string& list) {
    bcc_ = cleanList(list);
    validateAddressList(bcc_, "Invalid Bcc: Recipient E-mail Address");
}

void SendMail::setMessage(const std::string& text) {
    message_ = prepareMessageText(toWireText(text));
    eightBit_ = hasEightBitCharacters(message_);
}

void SendMail::setContentBase(std::string base) {
    if (!base.empty()) {
        std::replace(base.begin(), base.end(), '\\', '/');
        if (lowered(base).rfind("http://", 0) != 0) base = "http://" + base;
        if (base.back() != '/') base += '/';
    }
    contentBase_ = std::move(base);
}

std::string SendMail::attachment() const {
    std::vector<std::string> paths;
    for (const auto& a : attachments_) paths.push_back(a.path);
    return joined(paths);
}

void SendMail::setAttachment(const std::string& list) {
    attachments_.clear();
    attachmentBytes_ = attachmentNameLength_ = 0;
    removeError("The file you tried to attach does not exist");
    for (const std::string& path : cleanList(list)) {
        if (path.empty()) continue;
        std::error_code error;
        if (!std::filesystem::is_regular_file(path, error)) {
            addError("The file you tried to attach does not exist");
            continue;
        }
        std::size_t slash = path.find_last_of("\\/");
        MailAttachment entry{path, slash == std::string::npos ? path : path.substr(slash + 1), false};
        attachmentBytes_ += std::filesystem::file_size(path, error);
        attachmentNameLength_ += entry.fileName.size();
        attachments_.push_back(std::move(entry));
    }
}

void SendMail::setEncodeType(long type) {
    if (type != 0 && type != 1) return;
    encodeType_ = type;
    save("EncodeType", std::to_string(type));
}

void SendMail::setEmailAddressValidation(long mode) {
    if (mode != 0 && mode != 1) return;
    emailAddressValidation_ = mode;
    save("EmailValidation", std::to_string(mode));
}

void SendMail::setPriority(long priority) {
    if (priority == 1 || priority == 3 || priority == 5) priority_ = priority;
}

void SendMail::setConnectTimeout(long seconds) {
    if (seconds < 1 || seconds > 120) return;
    connectTimeout_ = seconds;
    save("ConnectTimeout", std::to_string(seconds));
}

void SendMail::setConnectRetry(long attempts) {
    if (attempts < 1 || attempts > 20) return;
    connectRetry_ = attempts;
    save("ConnectRetry", std::to_string(attempts));
}

void SendMail::setMessageTimeout(long seconds) {
    messageTimeout_ = std::labs(seconds);
    save("MessageTimeout", std::to_string(messageTimeout_));
}

void SendMail::setMaxRecipients(long count) {
    maxRecipients_ = count;
    save("MaxRecipients", std::to_string(count));
}

void SendMail::setPersistentSettings(bool on) {
    persistentSettings_ = on;
    if (on) store_.write("PersistentSettings", "-1");
}

// --- errors and waits ---------------------------------------------------

void SendMail::addError(const std::string& text) {
    for (const auto& e : errors_)
        if (base::equalsNoCase(e, text)) return;
    errors_.push_back(text);
}

void SendMail::removeError(const std::string& text) {
    errors_.erase(std::remove_if(errors_.begin(), errors_.end(), [&](const std::string& e) { return base::equalsNoCase(e, text); }),
                  errors_.end());
}

void SendMail::raiseFailure() {
    std::string explanation;
    for (const auto& e : errors_) explanation += e + kCrLf;
    errors_.clear();
    errorRaised_ = true;
    if (events_) events_->sendFailed(explanation);
    if (socket_.state() != kSckClosed) closeMailConnection();
}

void SendMail::reportTimeout() {
    addError("Timeout occurred: The SMTP Host did not respond to the request");
    raiseFailure();
}

void SendMail::letMessagesRun(int timeoutMs) {
    if (pump_) pump_->pump();
    SocketHub::instance().processEvents(timeoutMs);
}

bool SendMail::waitForFlag(const bool& flag, double seconds, bool report) {
    if (seconds < 1) return false;
    // A steady clock: the wait also ends right when it spans midnight.
    double deadline = platform::steadySeconds() + seconds;
    while (!flag) {
        if (platform::steadySeconds() >= deadline) {
            if (report) reportTimeout();
            return false;
        }
        if (errorRaised_) return false;
        letMessagesRun(10);
    }
    return flag;
}

void SendMail::raiseStatus(const std::string& text) {
    if (events_) events_->status(text);
}

void SendMail::sendLine(const std::string& text) {
    try {
        socket_.sendData(SocketValue(text + kCrLf));
    } catch (const platform::RuntimeError& e) {
        addError(e.description());
        raiseFailure();
    }
}

// --- connection ---------------------------------------------------------

bool SendMail::connectionLoop() {
    for (long pass = 0; pass < connectRetry_; ++pass) {
        if (socket_.state() == kSckConnected) {
            connected_ = true;
            break;
        }
        connected_ = false;
        if (socket_.state() == kSckClosed) {
            try {
                socket_.connect();
            } catch (const platform::RuntimeError& e) {
                addError(e.description());
                raiseFailure();
                return false;
            }
        }
        if (waitForFlag(connected_, static_cast<double>(connectTimeout_), false)) break;
        if (errorRaised_) return false;
        if (socket_.state() == kSckError || socket_.state() != kSckConnected) socket_.closeSck();
        letMessagesRun();
    }
    return true;
}

bool SendMail::openMailConnection() {
    if (socket_.state() == kSckConnected) return true;
    if (socket_.state() != kSckClosed) {
        socket_.closeSck();
        letMessagesRun();
    }
    if (smtpHost_.empty()) smtpHost_ = mxQuery("");
    if (smtpHost_.empty()) {
        addError("Invalid or Missing SMTP Host Name");
        raiseFailure();
        return false;
    }
    sentEncrypted_ = false;
    if (usePopAuthentication_) {
        raiseStatus("Connecting to POP3 Server (" + pop3Host_ + ")...");
        errorRaised_ = connected_ = popAuthenticated_ = false;
        popStep_ = 0;
        if (pop3Host_.empty()) {
            addError("Invalid or Missing POP3 Host Name");
            raiseFailure();
            return false;
        }
        replyBuffer_.clear();
        socket_.setRemoteHost(pop3Host_);
        socket_.setRemotePort(pop3Port_);
        if (!connectionLoop()) return false;
        waitForFlag(popAuthenticated_, static_cast<double>(connectTimeout_), false);
        socket_.closeSck();
        letMessagesRun();
        if (errorRaised_) return false;
        raiseStatus("POP3 Authentication Successful...");
    }
    replyOk_ = dataReady_ = authLoginOffered_ = authenticated_ = errorRaised_ = connected_ = false;
    startTlsOffered_ = tlsReady_ = false;
    replyBuffer_.clear();
    if (socket_.state() != kSckClosed) socket_.closeSck();
    socket_.setRemoteHost(smtpHost_);
    socket_.setRemotePort(smtpPort_);
    raiseStatus("Connecting to SMTP Server (" + smtpHost_ + ")...");
    if (!connectionLoop()) return false;

    bool greeted = waitForFlag(replyOk_, static_cast<double>(connectTimeout_), false);
    if (errorRaised_) return false;  // already reported once
    if (!greeted || !connected_ || socket_.state() != kSckConnected) {
        reportTimeout();
        return false;
    }
    return greetAndUpgrade();
}

bool SendMail::greetAndUpgrade() {
    raiseStatus("Initializing Communications...");
    std::size_t at = from_.find('@');
    const std::string domain = at == std::string::npos ? from_ : from_.substr(at + 1);
    const bool extended = useAuthentication_ || useStartTls_;
    replyOk_ = false;
    sendLine((extended ? "EHLO " : "HELO ") + domain);
    if (!waitForFlag(replyOk_, static_cast<double>(connectTimeout_), true) || errorRaised_) return false;

    if (useStartTls_) {
        if (startTlsOffered_) {
            raiseStatus("Starting Encryption (TLS)...");
            replyOk_ = false;
            sendLine("STARTTLS");
            if (!waitForFlag(replyOk_, static_cast<double>(connectTimeout_), true) || errorRaised_) return false;
            tlsReady_ = false;
            replyBuffer_.clear();
            socket_.startTls(TlsOptions{tlsVerify_, smtpHost_});
            if (!waitForFlag(tlsReady_, static_cast<double>(connectTimeout_), true) || errorRaised_) return false;
            raiseStatus("Connection Encrypted (" + socket_.tlsVersion() + ")...");
            // What the server offers may change once the line is private.
            replyOk_ = authLoginOffered_ = startTlsOffered_ = false;
            sendLine("EHLO " + domain);
            if (!waitForFlag(replyOk_, static_cast<double>(connectTimeout_), true) || errorRaised_) return false;
        } else {
            raiseStatus("Encryption Not Offered by Host, Continuing...");
        }
    }

    if (useAuthentication_) {
        if (authLoginOffered_) {
            raiseStatus("Sending Login Authentication...");
            // SASL registers mechanism names in capitals; some servers take no other spelling.
            sendLine("AUTH LOGIN");
            if (!waitForFlag(authenticated_, 5, false)) {
                raiseStatus("Host Login Failed!");
                // A server that hangs up or stays silent has sent no rejection
                // to report: the caller still hears of the failure once.
                if (!errorRaised_) {
                    addError("Host Login Failed!");
                    raiseFailure();
                }
                errorRaised_ = true;
                return false;
            }
            raiseStatus("Host Login OK!");
            if (errorRaised_) return false;
        } else {
            raiseStatus("Login Not Supported by Host, Continuing...");
        }
    }
    return true;
}

void SendMail::closeMailConnection() {
    if (socket_.state() == kSckClosed) return;
    raiseStatus("Closing Connection...");
    if (socket_.state() == kSckConnected) {
        replyOk_ = false;
        try {
            socket_.sendData(SocketValue(std::string("QUIT\r\n")));
            waitForFlag(replyOk_, 2, false);
        } catch (const platform::RuntimeError&) {
        }
    }
    socket_.closeSck();
    connected_ = false;
    letMessagesRun();
}

bool SendMail::connect() {
    keepConnection_ = true;
    errorRaised_ = false;
    return openMailConnection();
}

void SendMail::disConnect() {
    keepConnection_ = false;
    closeMailConnection();
}

// --- replies ------------------------------------------------------------

void SendMail::onDataArrival() {
    if (socket_.state() != kSckConnected) return;
    SocketValue data = socket_.getData();
    replyBuffer_ += std::get<std::string>(data);
    if (replyBuffer_.size() > kReplyLimit) {
        replyBuffer_.clear();
        addError("The server's reply exceeds " + std::to_string(kReplyLimit) + " bytes");
        raiseFailure();
        return;
    }
    // Replies may arrive in pieces; act on whole replies only.
    if (!replyComplete(replyBuffer_)) return;
    std::string reply;
    reply.swap(replyBuffer_);
    handleReply(reply);
}

void SendMail::handleReply(const std::string& reply) {
    const std::string code = lowered(reply.substr(0, 3));
    if (code == "220" || code == "221" || code == "251") {
        replyOk_ = true;
    } else if (code == "250") {
        replyOk_ = true;
        const std::string text = lowered(reply);
        if (text.find("auth") != std::string::npos && text.find("login") != std::string::npos) authLoginOffered_ = true;
        if (text.find("starttls") != std::string::npos) startTlsOffered_ = true;
    } else if (code == "235") {
        authenticated_ = true;
    } else if (code == "334") {
        std::string text = reply.substr(3);
        text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }), text.end());
        std::string prompt = lowered(decodeBase64String(trimmed(text)));
        // Some servers ask for the "User Name", with a space.
        prompt.erase(std::remove(prompt.begin(), prompt.end(), ' '), prompt.end());
        if (prompt.find("username") != std::string::npos) socket_.sendData(SocketValue(encodeBase64Bytes(toWireText(username_))));
        else if (prompt.find("password") != std::string::npos) socket_.sendData(SocketValue(encodeBase64Bytes(toWireText(password_))));
        else socket_.sendData(SocketValue(std::string("\r\n*\r\n")));
    } else if (code == "354") {
        dataReady_ = true;
    } else if (code == "211" || code == "214") {
    } else if (code == "+ok") {
        switch (popStep_) {
            case 0: sendLine("USER " + username_); ++popStep_; break;
            case 1: sendLine("PASS " + password_); ++popStep_; break;
            case 2: sendLine("QUIT"); ++popStep_; break;
            default: popAuthenticated_ = true; popStep_ = 0; break;
        }
    } else if (code == "-er") {
        popAuthenticated_ = false;
        popStep_ = 0;
        errorRaised_ = true;
        addError(reply);
        raiseFailure();
    } else {
        addError(reply);
        raiseFailure();
    }
}

void SendMail::onSendProgress(long bytesSent, long bytesRemaining) {
    bytesSent_ += bytesSent;
    sendProgressSeen_ = true;
    long percent = 0;
    if (estimate_ > 0) {
        percent = static_cast<long>(static_cast<float>(bytesSent_) / static_cast<float>(estimate_) * 100);
        if (percent > 100) percent = 100;
    }
    if (percent != lastProgress_) {
        lastProgress_ = percent;
        if (socket_.state() == kSckConnected && events_) events_->progress(percent);
    }
    bytesQueued_ = bytesRemaining;
}

// --- sending ------------------------------------------------------------

void SendMail::send() {
    if (from_.empty()) addError("Missing or Invalid Sender E-mail Address");
    if (asHtml_ && encodeType_ == 1) addError("Sending HTML requires MIME encoding");
    if (to_.empty() && cc_.empty() && bcc_.empty()) addError("No Recipient E-mail Address Specified");
    if (static_cast<long>(to_.size() + cc_.size() + bcc_.size()) > maxRecipients_) addError("Too many recipients");
    if (toNames_.size() < to_.size()) toNames_.resize(to_.size());
    if (ccNames_.size() < cc_.size()) ccNames_.resize(cc_.size());
    if (!errors_.empty()) {
        raiseFailure();
        return;
    }
    if (asHtml_ && !attachments_.empty()) resolveEmbeddedImages(message_, attachments_);

    TransferEstimateInput estimate;
    estimate.from = from_;
    estimate.fromDisplayName = fromDisplayName_;
    estimate.username = username_;
    estimate.password = password_;
    estimate.replyTo = replyTo_;
    estimate.subject = subject_;
    estimate.message = message_;
    estimate.contentBase = contentBase_;
    estimate.to = to_;
    estimate.toNames = toNames_;
    estimate.cc = cc_;
    estimate.ccNames = ccNames_;
    estimate.bcc = bcc_;
    estimate.useAuthentication = useAuthentication_;
    estimate.asHtml = asHtml_;
    estimate.receipt = receipt_;
    estimate.encodeType = encodeType_;
    estimate.attachmentCount = attachments_.size();
    estimate.attachmentBytes = attachmentBytes_;
    estimate.attachmentNameLength = attachmentNameLength_;
    estimate_ = estimateTransferSize(estimate);
    bytesSent_ = 0;
    lastProgress_ = -1;
    errorRaised_ = false;

    if (socket_.state() != kSckConnected && !openMailConnection()) return;

    raiseStatus("Sending Sender Information...");
    replyOk_ = false;
    sendLine("MAIL FROM: <" + from_ + ">");
    if (!waitForFlag(replyOk_, static_cast<double>(messageTimeout_), true) || errorRaised_) return;

    raiseStatus("Sending Recipient Information...");
    for (const auto* list : {&to_, &cc_, &bcc_}) {
        for (const std::string& address : *list) {
            replyOk_ = false;
            sendLine("RCPT TO: <" + trimmed(address) + ">");
            if (!waitForFlag(replyOk_, static_cast<double>(messageTimeout_), true) || errorRaised_) return;
        }
    }

    raiseStatus("Sending Message...");
    dataReady_ = false;
    sendLine("DATA");
    if (!waitForFlag(dataReady_, static_cast<double>(messageTimeout_), true) || errorRaised_) return;

    if (!sendContent()) return;

    replyOk_ = false;
    sendLine(".");
    if (!waitForFlag(replyOk_, static_cast<double>(messageTimeout_), true)) return;
    sentEncrypted_ = socket_.encrypted();
    if (events_) events_->progress(100);
    raiseStatus("Transmission Complete...");
    if (useStartTls_)
        raiseStatus(sentEncrypted_ ? "Message Sent Encrypted (" + socket_.tlsVersion() + ")..."
                                   : std::string("Message Sent Without Encryption..."));
    if (!keepConnection_) closeMailConnection();
    if (events_) events_->sendSuccesful();
}

std::string SendMail::messageIdValue() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    int millis = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    std::string host = MxLookup::reverseLookup(socket_.remoteHostIP());
    if (host.empty()) host = smtpHost_;
    return messageIdStamp(utc, millis) + "@" + host;
}

bool SendMail::sendContent() {
    const bool multipart = !attachments_.empty();
    bool related = false;
    for (const auto& a : attachments_) related |= a.embedded;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    const std::string boundary = encodeType_ == 0 && multipart
                                     ? mimeBoundary(local, platform::secondsSinceMidnight())
                                     : std::string();

    MailHeaderFields fields;
    fields.messageId = messageIdValue();
    fields.fromValue = fromHeaderValue(fromDisplayName_, from_);
    fields.toValue = addressHeaderValue(to_, toNames_);
    fields.ccValue = addressHeaderValue(cc_, ccNames_);
    fields.subject = toWireText(subject_);
    fields.replyTo = replyTo_;
    fields.date = mailDate(local, timeZone_);
    fields.encodeType = encodeType_;
    fields.priority = priority_;
    fields.receipt = receipt_;
    fields.multipart = multipart;
    fields.related = related;
    fields.boundary = boundary;
    fields.asHtml = asHtml_;
    fields.eightBit = eightBit_;
    fields.contentBase = contentBase_;
    fields.body = message_;
    std::string head = composeHeaderBlock(fields);
    try {
        socket_.sendData(SocketValue(head + kCrLf));
    } catch (const platform::RuntimeError&) {
        addError("Socket not Open");
        raiseFailure();
        return false;
    }
    if (multipart) {
        sendLine("");
        for (const auto& attachment : attachments_) {
            if (!sendAttachment(attachment, related, boundary)) return false;
            if (errorRaised_) return false;
            if (!throttleQueue()) return false;
        }
        if (encodeType_ == 0) sendLine("--" + boundary + "--");
    }
    return !errorRaised_;
}

bool SendMail::sendAttachment(const MailAttachment& attachment, bool related, const std::string& boundary) {
    raiseStatus(std::string(attachment.embedded ? "Sending Embedded File, " : "Sending Attachment, ") +
                attachment.fileName + "...");
    std::ifstream file(attachment.path, std::ios::binary);
    auto sendBytes = [this](const std::string& bytes) {
        if (socket_.state() != kSckConnected) {
            addError("Socket not Open");
            raiseFailure();
            return false;
        }
        socket_.sendData(SocketValue(bytes));
        return true;
    };
    if (encodeType_ == 1) {
        if (!sendBytes("begin 600 " + attachment.fileName + kCrLf)) return false;
        std::string piece(kUuPiece, '\0');
        std::string lines;
        int count = 0;
        while (file.read(piece.data(), kUuPiece) || file.gcount() > 0) {
            lines += uuencodeLine(std::string_view(piece.data(), static_cast<std::size_t>(file.gcount()))) + kCrLf;
            if (++count % 50 == 0) {
                if (!sendBytes(lines)) return false;
                lines.clear();
                letMessagesRun();
            }
        }
        return sendBytes(lines + "end" + kCrLf);
    }
    const std::string type = getContentType(attachment.fileName, "application/octet-stream");
    if (!sendBytes(attachmentPartHeader(boundary, attachment.fileName, type, attachment.embedded && related)))
        return false;
    std::string block(kBase64Block, '\0');
    while (file.read(block.data(), kBase64Block) || file.gcount() > 0) {
        sendProgressSeen_ = false;
        if (!sendBytes(encodeBase64Bytes(std::string_view(block.data(), static_cast<std::size_t>(file.gcount())))))
            return false;
        waitForFlag(sendProgressSeen_, 2, false);
        if (errorRaised_) return false;
    }
    return sendBytes(kCrLf);
}

bool SendMail::throttleQueue() {
    while (static_cast<long>(socket_.bytesQueued()) > kThrottleBytes) {
        double deadline = platform::steadySeconds() + static_cast<double>(messageTimeout_);
        std::size_t queued = socket_.bytesQueued();
        while (socket_.bytesQueued() == queued && static_cast<long>(queued) >= kThrottleBytes) {
            if (platform::steadySeconds() >= deadline) {
                reportTimeout();
                return false;
            }
            if (errorRaised_) return false;
            letMessagesRun(10);
        }
    }
    return true;
}

// --- helpers ------------------------------------------------------------

std::string SendMail::mxQuery(const std::string& domain) {
    const std::string name = trimmed(domain);
    raiseStatus(name.empty() ? std::string("Performing MX Query") : "Performing MX Query, Domain: " + name);
    try {
        return mx_.lookup(name);
    } catch (const platform::RuntimeError&) {
        return {};
    }
}

std::string SendMail::getIPAddress(const std::string& hostName) {
    ResolvedAddress literal;
    if (numericAddress(hostName, 0, literal)) return addressText(literal);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (hostName.empty() || ::getaddrinfo(hostName.c_str(), nullptr, &hints, &list) != 0 || !list) return {};
    std::string text =
        addressText({list->ai_family, std::string(reinterpret_cast<const char*>(list->ai_addr), list->ai_addrlen)});
    ::freeaddrinfo(list);
    return text;
}

std::string SendMail::getIPHost() { return SocketMaster::localHostName(); }

bool SendMail::ping(const std::string& host) {
    ResolvedAddress target;
    std::string ip = getIPAddress(host);
    if (ip.empty() || !numericAddress(ip, 0, target) || target.family != AF_INET) return false;
    // An unprivileged ICMP socket, where the system's ping group allows it.
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) return false;
    icmphdr request{};
    request.type = ICMP_ECHO;
    request.un.echo.sequence = htons(1);
    char payload[sizeof(icmphdr) + 32] = {};
    std::memcpy(payload, &request, sizeof request);
    std::memcpy(payload + sizeof request, "VandrelKast echo request payload", 32);
    bool answered = false;
    if (::sendto(fd, payload, sizeof payload, 0, reinterpret_cast<const sockaddr*>(target.sockaddr.data()),
                 target.sockaddr.size()) > 0) {
        pollfd p{fd, POLLIN, 0};
        char reply[278];
        if (::poll(&p, 1, 255) > 0 && ::recv(fd, reply, sizeof reply, 0) >= static_cast<ssize_t>(sizeof(icmphdr))) {
            icmphdr header;
            std::memcpy(&header, reply, sizeof header);
            answered = header.type == ICMP_ECHOREPLY;
        }
    }
    ::close(fd);
    return answered;
}

bool SendMail::isValidEmailAddress(const std::string& address) { return net::isValidEmailAddress(address); }

std::string SendMail::getContentType(const std::string& file, const std::string& fallback) {
    return net::getContentType(file, fallback);
}

std::string SendMail::decodeBase64String(const std::string& text) { return net::decodeBase64String(text); }

}  // namespace vk::net
