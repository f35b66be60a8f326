#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/MailComposition.h"
#include "net/MailSettingsStore.h"
#include "net/MxLookup.h"
#include "net/SendMailEvents.h"
#include "net/SocketMaster.h"
#include "platform/EventPump.h"

namespace vk::net {

// The SMTP client: fill the properties, call send(), learn the outcome from
// the events. Every wait polls the socket events and the given pump.
class SendMail {
public:
    explicit SendMail(SendMailEvents* events = nullptr, platform::EventPump* pump = nullptr,
                      MailSettingsStore store = MailSettingsStore());
    ~SendMail();
    SendMail(const SendMail&) = delete;
    SendMail& operator=(const SendMail&) = delete;

    void setEvents(SendMailEvents* events) { events_ = events; }
    void setPump(platform::EventPump* pump);

    const std::string& smtpHost() const { return smtpHost_; }
    void setSmtpHost(std::string host);
    long smtpPort() const { return smtpPort_; }
    void setSmtpPort(long port);
    long smtpHostValidation() const { return smtpHostValidation_; }
    void setSmtpHostValidation(long mode);
    const std::string& pop3Host() const { return pop3Host_; }
    void setPop3Host(std::string host);
    // Not saved: the POP3 port, 110 unless a server listens elsewhere.
    long pop3Port() const { return pop3Port_; }
    void setPop3Port(long port);
    bool usePopAuthentication() const { return usePopAuthentication_; }
    void setUsePopAuthentication(bool on);
    bool useAuthentication() const { return useAuthentication_; }
    void setUseAuthentication(bool on);
    const std::string& username() const { return username_; }
    void setUsername(std::string name);
    const std::string& password() const { return password_; }
    void setPassword(std::string password) { password_ = std::move(password); }
    const std::string& from() const { return from_; }
    void setFrom(std::string from);
    const std::string& fromDisplayName() const { return fromDisplayName_; }
    void setFromDisplayName(std::string name);
    std::string recipient() const { return joined(to_); }
    void setRecipient(const std::string& list);
    std::string recipientDisplayName() const { return joined(toNames_); }
    void setRecipientDisplayName(const std::string& list) { toNames_ = cleanList(list); }
    std::string ccRecipient() const { return joined(cc_); }
    void setCcRecipient(const std::string& list);
    std::string ccDisplayName() const { return joined(ccNames_); }
    void setCcDisplayName(const std::string& list) { ccNames_ = cleanList(list); }
    std::string bccRecipient() const { return joined(bcc_); }
    void setBccRecipient(const std::string& list);
    const std::string& replyToAddress() const { return replyTo_; }
    void setReplyToAddress(std::string address) { replyTo_ = std::move(address); }
    const std::string& subject() const { return subject_; }
    void setSubject(std::string subject) { subject_ = std::move(subject); }
    // Reads back the prepared text.
    const std::string& message() const { return message_; }
    void setMessage(const std::string& text);
    bool asHtml() const { return asHtml_; }
    void setAsHtml(bool on) { asHtml_ = on; }
    const std::string& contentBase() const { return contentBase_; }
    void setContentBase(std::string base);
    std::string attachment() const;
    void setAttachment(const std::string& list);
    const std::string& delimiter() const { return delimiter_; }
    void setDelimiter(std::string delimiter) { delimiter_ = std::move(delimiter); }
    long encodeType() const { return encodeType_; }
    void setEncodeType(long type);
    long emailAddressValidation() const { return emailAddressValidation_; }
    void setEmailAddressValidation(long mode);
    long priority() const { return priority_; }
    void setPriority(long priority);
    bool receipt() const { return receipt_; }
    void setReceipt(bool on) { receipt_ = on; }
    long connectTimeout() const { return connectTimeout_; }
    void setConnectTimeout(long seconds);
    long connectRetry() const { return connectRetry_; }
    void setConnectRetry(long attempts);
    long messageTimeout() const { return messageTimeout_; }
    void setMessageTimeout(long seconds);
    long maxRecipients() const { return maxRecipients_; }
    void setMaxRecipients(long count);
    bool persistentSettings() const { return persistentSettings_; }
    void setPersistentSettings(bool on);

    // Beyond the classic client: upgrade with STARTTLS when the server offers
    // it (this sends EHLO), checking its certificate unless tlsVerify is off.
    bool useStartTls() const { return useStartTls_; }
    void setUseStartTls(bool on) { useStartTls_ = on; }
    bool tlsVerify() const { return tlsVerify_; }
    void setTlsVerify(bool on) { tlsVerify_ = on; }
    // Whether the last message went over an encrypted connection.
    bool sentEncrypted() const { return sentEncrypted_; }

    void send();
    bool connect();
    void disConnect();
    std::string mxQuery(const std::string& domain = "");
    MxLookup& mxLookup() { return mx_; }
    static std::string getIPAddress(const std::string& hostName);
    static std::string getIPHost();
    static bool ping(const std::string& host);
    static bool isValidEmailAddress(const std::string& address);
    static std::string getContentType(const std::string& file, const std::string& fallback = "");
    static std::string decodeBase64String(const std::string& text);
    void shutdown() {}

    const SocketMaster& socket() const { return socket_; }
    // A reply longer than this ends the exchange (a peer that never stops).
    static constexpr std::size_t kReplyLimit = 64 * 1024;

private:
    class SocketListener;
    friend class SocketListener;

    std::vector<std::string> cleanList(const std::string& list) const;
    std::string joined(const std::vector<std::string>& list) const;
    void validateAddressList(const std::vector<std::string>& list, const std::string& message);
    bool validHost(const std::string& host) const;
    void save(const char* key, const std::string& value);
    void loadSettings();

    void addError(const std::string& text);
    void removeError(const std::string& text);
    void raiseFailure();
    void reportTimeout();
    bool waitForFlag(const bool& flag, double seconds, bool reportTimeout);
    void letMessagesRun(int timeoutMs = 0);
    void sendLine(const std::string& text);
    void raiseStatus(const std::string& text);

    bool openMailConnection();
    bool connectionLoop();
    bool greetAndUpgrade();
    void closeMailConnection();
    bool sendContent();
    bool sendAttachment(const MailAttachment& attachment, bool related, const std::string& boundary);
    bool throttleQueue();
    std::string messageIdValue();

    void onDataArrival();
    void handleReply(const std::string& reply);
    void onSendProgress(long bytesSent, long bytesRemaining);

    SendMailEvents* events_;
    platform::EventPump* pump_;
    MailSettingsStore store_;
    SocketMaster socket_;
    std::unique_ptr<SocketListener> listener_;
    MxLookup mx_;

    std::string smtpHost_;
    long smtpPort_ = 25;
    long smtpHostValidation_ = 3;
    std::string pop3Host_;
    long pop3Port_ = 110;
    bool usePopAuthentication_ = false;
    bool useAuthentication_ = false;
    std::string username_, password_, from_, fromDisplayName_;
    std::vector<std::string> to_, toNames_, cc_, ccNames_, bcc_;
    std::string replyTo_, subject_, message_, contentBase_;
    bool asHtml_ = false;
    bool eightBit_ = false;
    std::vector<MailAttachment> attachments_;
    std::uint64_t attachmentBytes_ = 0;
    std::uint64_t attachmentNameLength_ = 0;
    std::string delimiter_ = ";";
    long encodeType_ = 0;
    long emailAddressValidation_ = 1;
    long priority_ = 3;
    bool receipt_ = false;
    long connectTimeout_ = 40;
    long connectRetry_ = 4;
    long messageTimeout_ = 60;
    long maxRecipients_ = 100;
    bool persistentSettings_ = false;
    bool useStartTls_ = false;
    bool tlsVerify_ = true;
    bool sentEncrypted_ = false;

    std::vector<std::string> errors_;
    bool replyOk_ = false, dataReady_ = false, authenticated_ = false, authLoginOffered_ = false;
    bool startTlsOffered_ = false, tlsReady_ = false;
    bool connected_ = false, popAuthenticated_ = false, errorRaised_ = false;
    int popStep_ = 0;
    bool keepConnection_ = false;
    long bytesSent_ = 0, bytesQueued_ = 0, estimate_ = 0, lastProgress_ = -1;
    bool sendProgressSeen_ = false;
    std::string replyBuffer_;
    std::string timeZone_;
};

}  // namespace vk::net
