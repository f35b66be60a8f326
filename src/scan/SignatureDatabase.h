#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scan/ReleaseDate.h"
#include "scan/SignatureEntry.h"

namespace vk::platform {
class IniDocument;
}

namespace vk::scan {

// The Main values of a database.
struct DatabaseMain {
    std::string version;
    std::string compatibleVersion;
    CivilDate releaseDate;
    std::int32_t size = 0;
};

// Reads a decrypted payload key by key with the profile lookup rules. Every
// read throws platform::RuntimeError when a required value is missing or
// does not convert, as the loader's one error handler expects.
class PayloadReader {
public:
    explicit PayloadReader(std::string payload);
    ~PayloadReader();

    DatabaseMain readMain() const;
    SignatureEntry readEntry(std::int32_t index) const;  // section "Signature" + index

private:
    std::unique_ptr<platform::IniDocument> ini_;
};

// Whether a payload line holds the value exactly: no line breaks or NULs, none
// of the characters the profile reader trims at either end, no surrounding quotes.
bool payloadCanHold(std::string_view value);

// Payload text for a database; values payloadCanHold refuses are refused
// with invalid_argument.
std::string formatPayload(const DatabaseMain& main, const std::vector<SignatureEntry>& entries);

}  // namespace vk::scan
