#include "tools/PathInsideDrive.h"

#include <sys/stat.h>

#include <vector>

namespace vk::tools {

std::optional<std::string> pathInsideDrive(const std::string& root, std::string_view path) {
    if (root.empty() || path.empty() || path.find('\0') != std::string_view::npos) return std::nullopt;
    std::string text(path);
    for (char& c : text)
        if (c == '\\') c = '/';
    if (text.size() >= 2 && text[1] == ':') return std::nullopt;  // C:\..., E:x
    if (text.starts_with("//")) return std::nullopt;              // \\server\share

    std::string base = root;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    std::string_view rest = text;
    if (rest.starts_with('/')) {
        // Absolute: only inside the drive's own mount point.
        if (base == "/") {
            rest.remove_prefix(1);
        } else if (rest == base || (rest.starts_with(base) && rest[base.size()] == '/')) {
            rest.remove_prefix(base.size());
        } else {
            return std::nullopt;
        }
    }

    std::vector<std::string_view> parts;
    while (!rest.empty()) {
        std::size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest.remove_prefix(slash == std::string_view::npos ? rest.size() : slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") return std::nullopt;
        parts.push_back(part);
    }
    if (parts.empty()) return std::nullopt;

    std::string out = base == "/" ? std::string() : base;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        out += '/';
        out += parts[i];
        if (i + 1 == parts.size()) break;
        struct stat st {};
        // A folder on the way must be a real folder of the drive, never a link out of it.
        if (::lstat(out.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) return std::nullopt;
    }
    return out;
}

}  // namespace vk::tools
