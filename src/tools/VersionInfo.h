#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/ByteSource.h"

namespace vk::tools {

// The version resource of an executable, as the file information window and
// vkinfo show it. All text is UTF-8.
struct FileVersionRecord {
    std::string fileVersion;     // "1.2.3.4" from the fixed block
    std::string productVersion;
    std::string fileFlags;       // "Debug PreRel " ...: each set flag's word and a blank
    std::string fileOS;          // "NT-Win32", ..., "Unknown"
    std::string fileType;        // "App", "DLL", ..., "Unknown"
    std::string fileSubType;     // drivers and fonts only
    std::string language;        // of the first translation
    std::string companyName;
    std::string fileDescription;
    std::string legalCopyright;
    std::string productName;
    std::string internalName;
    std::string originalFilename;
};

// Reads the version resource (RT_VERSION) of a PE file into record, which is
// emptied first. False, with record empty, for an empty path, a missing or
// unreadable file, a file that is not a PE image, or one without a readable
// version resource.
bool readVersionInfo(const std::string& path, FileVersionRecord& record);
bool readVersionInfo(const ByteSource& file, FileVersionRecord& record);

// The same for the bytes of a VS_VERSIONINFO block itself.
bool parseVersionBlock(std::string_view block, FileVersionRecord& record);

}  // namespace vk::tools
