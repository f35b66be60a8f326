#include "scan/SignatureDatabase.h"

#include <stdexcept>

#include "platform/CodePage.h"
#include "platform/IniProfile.h"
#include "platform/RuntimeError.h"
#include "platform/VbConversion.h"

namespace vk::scan {
namespace {

bool trimmedByReader(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a' || c == '\r' || c == '\n';
}

void appendKey(std::string& out, std::string_view key, std::string_view value) {
    if (!payloadCanHold(value))
        throw std::invalid_argument(std::string(key) + " cannot be stored in the payload: " + std::string(value));
    out.append(key).append("=").append(value).append("\r\n");
}

}  // namespace

bool payloadCanHold(std::string_view value) {
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
    if (!value.empty() && (trimmedByReader(value.front()) || trimmedByReader(value.back()))) return false;
    // The reader strips one pair of surrounding quotes.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return false;
    return value.size() <= platform::kIniValueLimit;
}

PayloadReader::PayloadReader(std::string payload)
    : ini_(std::make_unique<platform::IniDocument>(platform::IniDocument::fromText(std::move(payload)))) {}

PayloadReader::~PayloadReader() = default;

DatabaseMain PayloadReader::readMain() const {
    DatabaseMain main;
    main.version = platform::ansiToUtf8(ini_->get("Main", "Version", ""));
    main.compatibleVersion = ini_->get("Main", "CompatibleVersion", "");
    auto date = parseReleaseDate(ini_->get("Main", "ReleaseDate", ""));
    if (!date) throw platform::typeMismatchError();
    main.releaseDate = *date;
    main.size = platform::toLong(ini_->get("Main", "DatabaseSize", ""));
    return main;
}

SignatureEntry PayloadReader::readEntry(std::int32_t index) const {
    auto section = ini_->section("Signature" + std::to_string(index));
    SignatureEntry entry;
    entry.name = platform::ansiToUtf8(ini_->get(section, "Name", ""));
    entry.crc32 = platform::toLong(ini_->get(section, "CRC32Checksum", ""));
    entry.md5 = ini_->get(section, "MD5Digest", "");
    entry.useStringDetection = platform::toBoolean(ini_->get(section, "UseStringDetection", "-1"));
    entry.stringSignature = ini_->get(section, "StringSignature", "");
    return entry;
}

std::string formatPayload(const DatabaseMain& main, const std::vector<SignatureEntry>& entries) {
    std::string out = "[Main]\r\n";
    appendKey(out, "Version", main.version);
    appendKey(out, "CompatibleVersion", main.compatibleVersion);
    appendKey(out, "ReleaseDate", formatIsoDate(main.releaseDate));
    appendKey(out, "DatabaseSize", std::to_string(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        out.append("\r\n[Signature").append(std::to_string(i + 1)).append("]\r\n");
        auto name = platform::utf8ToAnsi(e.name);
        if (!name) throw std::invalid_argument("signature name has no single-byte form: " + e.name);
        appendKey(out, "Name", *name);
        appendKey(out, "CRC32Checksum", std::to_string(e.crc32));
        appendKey(out, "MD5Digest", e.md5);
        appendKey(out, "UseStringDetection", e.useStringDetection ? "1" : "0");
        appendKey(out, "StringSignature", e.stringSignature);
    }
    return out;
}

}  // namespace vk::scan
