#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vk::tools {

// A Windows shortcut (.lnk, the Shell Link format) as far as cleaning a
// drive needs it: where it points and what it passes. Texts are UTF-8.
struct ShellLink {
    std::uint32_t linkFlags = 0;
    std::uint32_t fileAttributes = 0;  // of the target, as recorded
    std::string localBasePath;         // link info: local base path + common path suffix
    std::string name;                  // description
    std::string relativePath;
    std::string workingDir;
    std::string arguments;
    std::string iconLocation;

    // What the shell starts: the local base path, else the relative path.
    const std::string& target() const { return localBasePath.empty() ? relativePath : localBasePath; }
};

// Link flags of the header.
inline constexpr std::uint32_t kHasLinkTargetIdList = 0x1;
inline constexpr std::uint32_t kHasLinkInfo = 0x2;
inline constexpr std::uint32_t kHasName = 0x4;
inline constexpr std::uint32_t kHasRelativePath = 0x8;
inline constexpr std::uint32_t kHasWorkingDir = 0x10;
inline constexpr std::uint32_t kHasArguments = 0x20;
inline constexpr std::uint32_t kHasIconLocation = 0x40;
inline constexpr std::uint32_t kIsUnicode = 0x80;
inline constexpr std::uint32_t kForceNoLinkInfo = 0x100;

// Shortcuts are small; a larger file is no shortcut worth reading.
inline constexpr std::size_t kMaxShellLinkBytes = 1 << 20;

// Parses a shortcut's bytes: the header, the target ID list (skipped by its
// size), the link info's local base path and the string data. Every length
// and offset is checked against the bytes; nullopt when the header is not a
// Shell Link's or a part the flags announce does not fit.
std::optional<ShellLink> readShellLink(std::string_view bytes);

// The same for a file, opened without following a symbolic link; nullopt for
// anything but a regular file of at most kMaxShellLinkBytes that parses.
std::optional<ShellLink> readShellLinkFile(const std::string& path);

// The program and script paths a shortcut starts, in order of appearance:
// its target and every word of its arguments ending in .exe, .com, .scr,
// .pif, .bat, .cmd, .vbs, .vbe, .js, .jse, .wsf (any case). Words split at
// blanks, quotes and the shell's separators (& | , ; < > ( )); a switch
// ("/c", "/e:VBScript.Encode": a slash and letters) counts only by its value
// after a colon.
std::vector<std::string> shellLinkPayloads(const ShellLink& link);

}  // namespace vk::tools
