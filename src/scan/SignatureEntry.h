#pragma once

#include <cstdint>
#include <string>

namespace vk::scan {

struct SignatureEntry {
    std::string name;             // UTF-8
    std::int32_t crc32 = 0;       // 0: no checksum
    std::string md5;              // as stored; compared without regard to case
    bool useStringDetection = true;
    std::string stringSignature;  // the payload's single-byte code-page bytes, matched as bytes
};

}  // namespace vk::scan
