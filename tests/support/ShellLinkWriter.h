#pragma once

#include <string>
#include <utility>

namespace vk::test {

// What a shortcut made for a test holds; empty texts are left out.
struct ShellLinkSpec {
    std::string idList;            // raw bytes of the target ID list ("" for none)
    std::string localBasePath;     // link info with a volume ID ("" for none)
    std::string commonPathSuffix;
    bool unicodeLinkInfo = false;  // also the Unicode base path and suffix
    std::string name;
    std::string relativePath;
    std::string workingDir;
    std::string arguments;
    std::string iconLocation;
    bool unicode = true;           // string data in UTF-16LE

    // Setters for one-line specs.
    ShellLinkSpec& withIdList(std::string v) { idList = std::move(v); return *this; }
    ShellLinkSpec& withLocalBasePath(std::string v) { localBasePath = std::move(v); return *this; }
    ShellLinkSpec& withCommonPathSuffix(std::string v) { commonPathSuffix = std::move(v); return *this; }
    ShellLinkSpec& withUnicodeLinkInfo() { unicodeLinkInfo = true; return *this; }
    ShellLinkSpec& withName(std::string v) { name = std::move(v); return *this; }
    ShellLinkSpec& withRelativePath(std::string v) { relativePath = std::move(v); return *this; }
    ShellLinkSpec& withWorkingDir(std::string v) { workingDir = std::move(v); return *this; }
    ShellLinkSpec& withArguments(std::string v) { arguments = std::move(v); return *this; }
    ShellLinkSpec& withIconLocation(std::string v) { iconLocation = std::move(v); return *this; }
    ShellLinkSpec& singleByte() { unicode = false; return *this; }
};

// The bytes of a Shell Link (.lnk) file: header, ID list, link info and
// string data as Windows writes them. Texts are UTF-8 (Windows-1252 bytes
// when not unicode).
std::string shellLinkBytes(const ShellLinkSpec& spec);

}  // namespace vk::test
