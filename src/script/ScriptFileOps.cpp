#include "script/ScriptFileOps.h"

#include <sys/stat.h>

#include <vector>

#include "platform/FileAttributes.h"
#include "platform/FileDescriptor.h"

namespace vk::script {
namespace {

bool deleteAt(const platform::FileDescriptor& dir, const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    struct stat st {};
    if (!dir.statAt(name, st)) return false;
    if (S_ISDIR(st.st_mode)) return false;
    // Failure is fine: the delete may still work.
    if (S_ISREG(st.st_mode)) (void)platform::setFileAttributesAt(dir.get(), name, platform::kAttrNormal);
    return dir.unlinkAt(name);
}

}  // namespace

platform::ResolvedPath resolveScriptPath(std::string_view scriptPath) {
    return platform::resolveWindowsPath(scriptPath);
}

std::string ambiguousPathNotice(std::string_view written, const platform::ResolvedPath& resolved) {
    std::string text = "Left alone: ";
    text += written;
    text += " (";
    text += resolved.ambiguousFolder;
    text += " holds ";
    text += platform::joinCandidates(resolved.candidates);
    text += ", names that differ only in letter case)";
    return text;
}

bool clearAttributesAndDelete(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    const std::string& fsPath = path;
    auto slash = fsPath.rfind('/');
    std::string parent = slash == std::string::npos ? "." : (slash == 0 ? "/" : fsPath.substr(0, slash));
    std::string name = slash == std::string::npos ? fsPath : fsPath.substr(slash + 1);
    auto dir = platform::FileDescriptor::openDirectory(parent);
    if (!dir) return false;
    return deleteAt(dir, name);
}

bool clearAttributesAndDeleteInRoot(const std::string& root, std::string_view relativeName,
                                    platform::ResolvedPath* ambiguous) {
    if (relativeName.find('\0') != std::string_view::npos) return false;
    std::vector<std::string> parts;
    std::string part;
    auto flush = [&] {
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        part.clear();
    };
    for (char c : relativeName) {
        if (c == '\\' || c == '/') {
            flush();
        } else {
            part += c;
        }
    }
    flush();
    if (parts.empty()) return false;  // that would be the root itself

    auto dir = platform::FileDescriptor::openDirectory(root);
    if (!dir) return false;
    std::string where = root;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        platform::NameMatch match = platform::lookupName(dir.get(), parts[i]);
        if (match.kind == platform::NameMatch::Kind::Missing) return false;
        if (match.kind == platform::NameMatch::Kind::Ambiguous) {
            if (ambiguous) {
                ambiguous->kind = platform::ResolvedPath::Kind::Ambiguous;
                ambiguous->ambiguousFolder = where;
                ambiguous->candidates = std::move(match.candidates);
            }
            return false;
        }
        if (i + 1 == parts.size()) return deleteAt(dir, match.name);
        dir = dir.openDirectoryAt(match.name);
        if (!dir) return false;
        where += (where.empty() || where.back() != '/') ? "/" + match.name : match.name;
    }
    return false;
}

}  // namespace vk::script
