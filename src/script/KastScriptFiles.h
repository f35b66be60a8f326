#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vk::script {

// Which engine runs a KastScript file, by its extension in any case.
enum class KastScriptKind { Ini, VBScript, Other };

// ".vki" INI, ".vks"/".kst" VBScript, anything else Other.
KastScriptKind kastScriptKindOf(std::string_view path);

// One script of the built-in killers folder.
struct KillerScript {
    std::string caption;  // the file name without its extension
    std::string path;     // the full path
};

// The KastScripts directly in folder, sorted by caption (ASCII case folded)
// so that menus read alike on every file system. Empty when the folder is
// missing or cannot be listed.
std::vector<KillerScript> listKillerScripts(const std::string& folder);

}  // namespace vk::script
