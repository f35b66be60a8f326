#include "script/KastScriptFiles.h"

#include <algorithm>

#include "platform/FileSystem.h"
#include "platform/base/Text.h"

namespace vk::script {

KastScriptKind kastScriptKindOf(std::string_view path) {
    std::string extension = base::asciiLower(platform::FileSystem::getExtensionName(std::string(path)));
    if (extension == "vki") return KastScriptKind::Ini;
    if (extension == "vks" || extension == "kst") return KastScriptKind::VBScript;
    return KastScriptKind::Other;
}

std::vector<KillerScript> listKillerScripts(const std::string& folder) {
    std::vector<KillerScript> scripts;
    std::optional<platform::Folder> listing = platform::FileSystem().getFolder(folder);
    if (!listing) return scripts;
    for (const platform::FileEntry& file : listing->files) {
        if (kastScriptKindOf(file.path) == KastScriptKind::Other) continue;
        scripts.push_back({platform::FileSystem::getBaseName(file.path), file.path});
    }
    std::sort(scripts.begin(), scripts.end(), [](const KillerScript& a, const KillerScript& b) {
        std::string la = base::asciiLower(a.caption), lb = base::asciiLower(b.caption);
        return la != lb ? la < lb : a.caption < b.caption;
    });
    return scripts;
}

}  // namespace vk::script
