#include "tools/WineProgram.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>

#include "platform/FileDescriptor.h"
#include "platform/Target.h"
#include "platform/base/Text.h"

namespace vk::tools {
namespace {

bool isWineLoader(std::string_view name) {
    return name == "wine" || name == "wine64" || name == "wine-preloader" || name == "wine64-preloader";
}

std::string_view baseName(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// One NUL-separated entry after another; a last one cut at the limit is dropped.
std::string_view environValue(std::string_view variables, std::string_view name, bool complete) {
    std::size_t pos = 0;
    while (pos < variables.size()) {
        std::size_t end = variables.find('\0', pos);
        if (end == std::string_view::npos) {
            if (!complete) break;
            end = variables.size();
        }
        std::string_view entry = variables.substr(pos, end - pos);
        if (entry.size() > name.size() && entry.starts_with(name) && entry[name.size()] == '=')
            return entry.substr(name.size() + 1);
        pos = end + 1;
    }
    return {};
}

}  // namespace

std::optional<std::string> readProcFile(const std::string& path, std::size_t limit) {
    platform::FileDescriptor file = platform::FileDescriptor::open(path, O_RDONLY);
    if (!file) return std::nullopt;
    std::string text;
    char buffer[16384];
    while (text.size() < limit) {
        const auto n = file.readSome(buffer, std::min(sizeof buffer, limit - text.size()));
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

std::optional<std::string> wineProgramPath(const std::string& procDir, const std::string& exe) {
    const std::string_view loader = baseName(exe);
    if (!loader.starts_with("wine")) return std::nullopt;
    const auto cmdline = readProcFile(procDir + "/cmdline");
    if (!cmdline) return std::nullopt;
    std::string argv0 = cmdline->substr(0, cmdline->find('\0'));
    const bool windowsProgram = argv0.size() > 4 && base::equalsNoCase(argv0.substr(argv0.size() - 4), ".exe");
    if (!isWineLoader(loader) && !windowsProgram) return std::nullopt;
    // The launcher itself, before it hands over to the loader, names no program yet.
    if (argv0.empty() || isWineLoader(baseName(argv0))) return std::nullopt;
    if (argv0.starts_with("\\??\\") || argv0.starts_with("\\\\?\\")) argv0.erase(0, 4);
    if (argv0.empty()) return std::nullopt;
    // A Unix argv[0] is taken only for a Windows program, so that a process
    // posing as a loader cannot point the inspector at any file it likes.
    if (argv0.front() == '/') return windowsProgram ? std::optional<std::string>(argv0) : std::nullopt;
    if (argv0.size() < 3 || argv0[1] != ':') return std::nullopt;

    const auto variables = readProcFile(procDir + "/environ");
    if (!variables) return std::nullopt;
    const bool complete = variables->size() < kProcReadLimit;
    platform::Target prefix;
    prefix.kind = platform::Target::Kind::Wine;
    prefix.path = environValue(*variables, "WINEPREFIX", complete);
    if (prefix.path.empty()) {
        const std::string_view home = environValue(*variables, "HOME", complete);
        if (home.empty()) return std::nullopt;
        prefix.path = std::string(home) + "/.wine";
    }
    // Wine itself refuses a relative prefix.
    if (prefix.path.front() != '/') return std::nullopt;
    const platform::TargetDriveLetterMap letters(prefix);
    const platform::ResolvedPath program = platform::resolveWindowsPath(argv0, letters);
    if (program.kind != platform::ResolvedPath::Kind::Found && program.kind != platform::ResolvedPath::Kind::Missing)
        return std::nullopt;
    return program.path;
}

}  // namespace vk::tools
