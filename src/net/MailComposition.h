#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vk::net {

struct MailAttachment {
    std::string path;
    std::string fileName;
    bool embedded = false;
};

// Everything the header block is made of; text fields already in wire form.
struct MailHeaderFields {
    std::string messageId;
    std::string fromValue;
    std::string toValue;
    std::string ccValue;
    std::string subject;
    std::string replyTo;
    std::string date;
    long encodeType = 0;
    long priority = 3;
    bool receipt = false;
    bool multipart = false;
    bool related = false;
    std::string boundary;
    bool asHtml = false;
    bool eightBit = false;
    std::string contentBase;
    std::string body;  // prepared
};

// The lines from Message-ID to the body, each ended by CR LF, and the body.
std::string composeHeaderBlock(const MailHeaderFields& fields);

// `"name" <address>` entries for To and Cc; the From value.
std::string addressHeaderValue(const std::vector<std::string>& addresses, const std::vector<std::string>& names);
std::string fromHeaderValue(const std::string& displayName, const std::string& from);

// The MIME part header of an attachment, up to and including its empty line.
std::string attachmentPartHeader(const std::string& boundary, const std::string& fileName,
                                 const std::string& contentType, bool withContentId);

// Rewrites references to attachments inside tags of an HTML body as cid:
// names; true when any was found (the message becomes multipart/related).
bool resolveEmbeddedImages(std::string& message, std::vector<MailAttachment>& attachments);

struct TransferEstimateInput {
    std::string from, fromDisplayName, username, password, replyTo, subject, message, contentBase;
    std::vector<std::string> to, toNames, cc, ccNames, bcc;
    bool useAuthentication = false;
    bool asHtml = false;
    bool receipt = false;
    long encodeType = 0;
    std::size_t attachmentCount = 0;
    std::uint64_t attachmentBytes = 0;
    std::uint64_t attachmentNameLength = 0;
};
long estimateTransferSize(const TransferEstimateInput& in);

}  // namespace vk::net
