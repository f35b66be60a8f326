#include "scan/DatabaseFile.h"

#include <cerrno>
#include <cstring>

#include "checksum/Crc32.h"
#include "platform/FileDescriptor.h"
#include "scan/Rc4.h"

namespace vk::scan {
namespace {

std::int32_t readLe32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                     static_cast<std::uint32_t>(p[2]) << 16 |
                                     static_cast<std::uint32_t>(p[3]) << 24);
}

void appendLe32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

DatabaseEnvelope readDatabaseFile(const std::string& path) {
    DatabaseEnvelope result;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return result;  // Missing

    auto file = platform::FileDescriptor::open(path, O_RDONLY);
    if (!file || !file.stat(st)) {
        result.status = DatabaseEnvelope::Status::Unreadable;
        result.errnoValue = errno;
        return result;
    }
    std::uint8_t header[kDatabaseHeaderSize];
    std::ptrdiff_t got = file.readFully(header, sizeof header);
    if (got < 0) {
        result.status = DatabaseEnvelope::Status::Unreadable;
        result.errnoValue = errno;
        return result;
    }
    if (static_cast<std::size_t>(got) < kDatabaseMagic.size() ||
        std::memcmp(header, kDatabaseMagic.data(), kDatabaseMagic.size()) != 0) {
        result.status = DatabaseEnvelope::Status::BadMagic;
        return result;
    }
    if (static_cast<std::size_t>(got) < kDatabaseHeaderSize) {
        result.status = DatabaseEnvelope::Status::Truncated;
        return result;
    }
    std::int32_t checksum = readLe32(header + 26);
    std::int32_t length = readLe32(header + 30);
    if (length < 1) {
        result.status = DatabaseEnvelope::Status::BadLength;
        return result;
    }
    // The length field is not trusted: the file must really hold that much.
    auto fileSize = static_cast<std::uint64_t>(st.st_size);
    if (fileSize < kDatabaseHeaderSize || static_cast<std::uint64_t>(length) > fileSize - kDatabaseHeaderSize) {
        result.status = DatabaseEnvelope::Status::Truncated;
        return result;
    }
    result.payload.resize(static_cast<std::size_t>(length));
    got = file.readFully(result.payload.data(), result.payload.size());
    if (got < 0) {
        result.status = DatabaseEnvelope::Status::Unreadable;
        result.errnoValue = errno;
        result.payload.clear();
        return result;
    }
    if (static_cast<std::size_t>(got) < result.payload.size()) {  // shrank while we read it
        result.status = DatabaseEnvelope::Status::Truncated;
        result.payload.clear();
        return result;
    }
    if (checksum::computeCrc32({reinterpret_cast<const std::uint8_t*>(result.payload.data()), result.payload.size()}) !=
        checksum) {
        result.status = DatabaseEnvelope::Status::BadChecksum;
        result.payload.clear();
        return result;
    }
    result.status = DatabaseEnvelope::Status::Ok;
    return result;
}

void cryptPayload(std::string& payload) {
    Rc4 rc4;
    rc4.decryptByte({reinterpret_cast<std::uint8_t*>(payload.data()), payload.size()}, kDatabaseKey);
}

std::string buildDatabaseFile(std::string_view payloadText) {
    std::string payload(payloadText);
    cryptPayload(payload);
    std::string out(kDatabaseMagic);
    appendLe32(out, static_cast<std::uint32_t>(
                        checksum::computeCrc32({reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()})));
    appendLe32(out, static_cast<std::uint32_t>(payload.size()));
    out += payload;
    return out;
}

}  // namespace vk::scan
