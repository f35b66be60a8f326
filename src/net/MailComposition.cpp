#include "net/MailComposition.h"

#include <cctype>

#include "net/MailEncoding.h"
#include "platform/base/Text.h"

namespace vk::net {
namespace {

std::string lowered(std::string_view text) { return base::asciiLower(text); }
std::string trimmed(std::string_view text) { return std::string(base::trim(text, " ")); }

const char* const kCrLf = "\r\n";

}  // namespace

std::string composeHeaderBlock(const MailHeaderFields& f) {
    std::string out;
    auto line = [&out](const std::string& text) { out += text + kCrLf; };
    line("Message-ID: <" + f.messageId + ">");
    line("From: " + f.fromValue);
    line("To: " + f.toValue);
    if (!f.ccValue.empty()) line("Cc: " + f.ccValue);
    line("Subject: " + encodeHeaderText(f.subject, false));
    if (!f.replyTo.empty()) line("Reply-to: <" + f.replyTo + ">");
    line("Date: " + f.date);
    if (f.encodeType == 0) {
        line("MIME-Version: 1.0");
        if (f.priority != 3) {
            line("X-Priority: " + std::to_string(f.priority));
            line(std::string("X-MSMail-Priority: ") + (f.priority == 1 ? "High" : f.priority == 5 ? "Low" : "Normal"));
        }
        if (f.receipt) line("Disposition-Notification-To: " + f.fromValue);
        if (f.multipart) {
            line(f.related ? "Content-Type: multipart/related;" : "Content-Type: multipart/mixed;");
            line("\tboundary=\"" + f.boundary + "\"");
            line("");
            line("This is a multi-part message in MIME format.");
            line("");
            line("--" + f.boundary);
        }
        line(f.asHtml ? "Content-Type: text/html;" : "Content-Type: text/plain;");
        line("\tcharset=\"iso-8859-1\"");
        line(std::string("Content-Transfer-Encoding: ") + (f.eightBit ? "8bit" : "7bit"));
        if (f.asHtml && !f.contentBase.empty()) line("Content-Base: \"" + f.contentBase + "\"");
    }
    line("");
    out += f.body;
    return out;
}

std::string addressHeaderValue(const std::vector<std::string>& addresses, const std::vector<std::string>& names) {
    std::string value;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (i) value += ",\r\n\t";
        std::string name = i < names.size() ? names[i] : std::string();
        if (!name.empty()) value += encodeHeaderText(toWireText(name), true);
        else value += "\"" + trimmed(addresses[i]) + "\"";
        value += " <" + addresses[i] + ">";
    }
    return value;
}

std::string fromHeaderValue(const std::string& displayName, const std::string& from) {
    std::string value = trimmed(displayName).empty() ? "\"" + from + "\"" : encodeHeaderText(toWireText(displayName), true);
    return value + " <" + from + ">";
}

std::string attachmentPartHeader(const std::string& boundary, const std::string& fileName,
                                 const std::string& contentType, bool withContentId) {
    std::string out = "--" + boundary + kCrLf;
    out += "Content-Type: " + contentType + ";" + kCrLf;
    out += "\tname=\"" + fileName + "\"" + kCrLf;
    out += std::string("Content-Transfer-Encoding: base64") + kCrLf;
    out += std::string("Content-Disposition: attachment;") + kCrLf;
    out += "\tfilename=\"" + fileName + "\"" + kCrLf;
    if (withContentId) out += "Content-ID: <" + fileName + ">" + kCrLf;
    out += kCrLf;
    return out;
}

bool resolveEmbeddedImages(std::string& message, std::vector<MailAttachment>& attachments) {
    bool related = false;
    for (MailAttachment& attachment : attachments) {
        const std::string& name = attachment.fileName;
        if (name.empty()) continue;
        const std::string replacement = "cid:" + name;
        std::size_t from = 0;
        while (true) {
            std::size_t at = lowered(message).find(lowered(name), from);
            if (at == std::string::npos) break;
            std::size_t open = at == 0 ? std::string::npos : message.rfind('<', at - 1);
            std::size_t close = open == std::string::npos ? std::string::npos : message.find('>', open);
            bool insideTag = open != std::string::npos && close != std::string::npos && close > at;
            if (!insideTag) {
                from = at + name.size();
                continue;
            }
            std::size_t equals = message.rfind('=', at);
            std::size_t start = at;
            if (equals != std::string::npos && equals > open) {
                std::size_t quote = message.find('"', equals);
                start = quote != std::string::npos && quote < at ? quote + 1 : equals + 1;
            }
            message.replace(start, at + name.size() - start, replacement);
            attachment.embedded = true;
            related = true;
            from = start + replacement.size();
        }
    }
    return related;
}

long estimateTransferSize(const TransferEstimateInput& in) {
    long total = static_cast<long>(in.from.size()) + 93;
    if (in.useAuthentication) {
        total += 25 + static_cast<long>(in.from.size());
        if (!in.username.empty()) total += static_cast<long>(in.username.size() * 4 / 3);
        if (!in.password.empty()) total += static_cast<long>(in.password.size() * 4 / 3);
    }
    auto addresses = [&total](const std::vector<std::string>& list, long perAddress, long factor) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            total += factor * static_cast<long>(list[i].size()) + perAddress;
            if (i) total += 6;
        }
    };
    addresses(in.to, 15, 2);
    addresses(in.cc, 15, 2);
    for (const auto& name : in.toNames) total += static_cast<long>(name.size()) + 11;
    for (const auto& name : in.ccNames) total += static_cast<long>(name.size()) + 11;
    addresses(in.bcc, 15, 1);
    if (!in.fromDisplayName.empty()) total += static_cast<long>(in.fromDisplayName.size()) + 3;
    total += static_cast<long>(in.from.size());
    if (!in.replyTo.empty()) total += static_cast<long>(in.replyTo.size()) + 14;
    total += static_cast<long>(in.subject.size() + in.message.size());
    if (in.encodeType == 0) {
        total += 64;
        if (in.asHtml && !in.contentBase.empty()) total += static_cast<long>(in.contentBase.size()) + 18;
        if (in.receipt) total += 36 + static_cast<long>(in.fromDisplayName.size() + in.from.size());
    }
    if (in.attachmentCount) {
        auto bytes = static_cast<long>(in.attachmentBytes);
        auto names = static_cast<long>(in.attachmentNameLength);
        auto count = static_cast<long>(in.attachmentCount);
        if (in.encodeType == 1) total += bytes * 4 / 3 + 3 * (bytes / 45) + names + 20 * count;
        else total += bytes * 4 / 3 + 42 + 2 * (bytes / 57) + 2 * names + 182 * count + 290;
    }
    return total;
}

}  // namespace vk::net
