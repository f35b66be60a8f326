#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vk::scan {

inline constexpr std::string_view kDatabaseMagic = "VANDRELKAST_VIRUS_DATABASE";
inline constexpr std::string_view kDatabaseKey = "plume";
inline constexpr std::size_t kDatabaseHeaderSize = 34;  // magic, checksum, length

// What reading the envelope found; the payload is still encrypted.
struct DatabaseEnvelope {
    enum class Status { Ok, Missing, Unreadable, BadMagic, Truncated, BadLength, BadChecksum };
    Status status = Status::Missing;
    int errnoValue = 0;  // for Unreadable
    std::string payload;
};

// Reads the envelope; never reads past the file, never allocates more than
// the file holds.
DatabaseEnvelope readDatabaseFile(const std::string& path);

// The whole file for a plain-text payload: magic, CRC, length, RC4 payload.
std::string buildDatabaseFile(std::string_view payloadText);

// Encrypts or decrypts a payload in place (the same operation).
void cryptPayload(std::string& payload);

}  // namespace vk::scan
