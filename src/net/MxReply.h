#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vk::net {

inline constexpr std::uint16_t kMxQueryId = 4575;
inline constexpr std::size_t kMxReplyLimit = 2048;

struct MxRecord {
    std::string host;
    std::uint16_t preference = 0;
};

// The query datagram for a domain's MX records; nullopt when the domain
// cannot be written as DNS labels (a label over 63 bytes, a name over 255).
std::optional<std::string> buildMxQuery(std::string_view domain);

struct MxReply {
    bool valid = false;            // a well-formed reply to our query
    std::uint16_t answerCount = 0;
    std::vector<MxRecord> records;  // sorted by preference
    std::string best;               // first of the lowest preference
    int bestPreference = -1;
};

// Reads a reply datagram. Anything malformed (a short or truncated reply, a
// count beyond its end, a compression pointer that loops or leaves the
// buffer, a name over 255 bytes, another identifier) gives an invalid reply
// with no records.
MxReply parseMxReply(std::string_view datagram);

}  // namespace vk::net
