#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace vk::tools {

// A hostile process can give itself an environment of any size.
inline constexpr std::size_t kProcReadLimit = std::size_t{1} << 20;

// At most limit bytes of a /proc file; nullopt when it cannot be read.
std::optional<std::string> readProcFile(const std::string& path, std::size_t limit = kProcReadLimit);

// The Unix path of the Windows program a process runs under Wine: procDir is
// its /proc folder, exe the file it runs (a Wine loader: wine, wine64,
// wine-preloader, wine64-preloader). The program is its argv[0] (C:\...\x.exe
// or a Unix path) led through the drive letters of its WINEPREFIX (default
// ~/.wine of its HOME). nullopt for a process that is no Wine program.
std::optional<std::string> wineProgramPath(const std::string& procDir, const std::string& exe);

}  // namespace vk::tools
