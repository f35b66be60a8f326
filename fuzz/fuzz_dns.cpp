// MX reply parser: any datagram must end in a result or "no result", never a
// read past the buffer or an endless loop.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/MxReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > vk::net::kMxReplyLimit) size = vk::net::kMxReplyLimit;
    vk::net::MxReply reply = vk::net::parseMxReply(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!reply.valid && (!reply.records.empty() || !reply.best.empty())) __builtin_trap();
    if (reply.valid && reply.bestPreference >= 0 && reply.best.empty()) __builtin_trap();
    for (const auto& record : reply.records)
        if (record.host.size() > 255) __builtin_trap();
    return 0;
}
