// [ManageRegistry] of INI KastScripts.
#include "platform/Registry.h"
#include "platform/RuntimeError.h"
#include "platform/VbConversion.h"
#include "platform/base/Text.h"
#include "script/RegistryAccess.h"
#include "script/ScriptIniEngine.h"

namespace vk::script {

void ScriptIniEngine::runManageRegistry() {
    constexpr std::string_view kSection = "ManageRegistry";
    const std::string q = "\"";

    std::int32_t changes = readNumber(kSection, "RegistryChangeCount", "0");
    if (changes >= 1) {
        append("Restoring modified registry keys...");
        struct Change {
            std::string key, contents, type;
        };
        std::vector<Change> list;
        readEntries(changes, [&](std::int32_t n) {
            std::string prefix = "RegistryChange" + std::to_string(n);
            auto key = readRaw(kSection, prefix + "_Key");
            auto contents = readRaw(kSection, prefix + "_Contents");
            auto type = readRaw(kSection, prefix + "_Type");
            list.push_back({key.value_or(""), contents.value_or(""), type.value_or("REG_SZ")});
            return key || contents || type;
        });
        for (const Change& c : list) {
            append("Changing the value of " + q + c.key + q + " to " + q + c.contents + q);
            guard([&] { setScriptRegValue(c.key, c.contents, c.type); });
        }
    }

    std::int32_t values = readNumber(kSection, "RegistryDeleteValueCount", "0");
    if (values >= 1) {
        append("Deleting registry values that are created by the worm...");
        std::vector<std::string> list;
        readEntries(values, [&](std::int32_t n) {
            auto path = readRaw(kSection, "RegistryDeleteValue" + std::to_string(n));
            list.push_back(path.value_or(""));
            return path.has_value();
        });
        for (const std::string& path : list) {
            append("Deleting registry value: " + q + path + q);
            guard([&] { deleteScriptRegValue(path); });
        }
    }

    std::int32_t keys = readNumber(kSection, "RegistryDeleteKeyCount", "0");
    if (keys >= 1) {
        append("Deleting registry keys that are created by the worm...");
        std::vector<std::string> list;
        readEntries(keys, [&](std::int32_t n) {
            auto path = readRaw(kSection, "RegistryDeleteKey" + std::to_string(n));
            list.push_back(path.value_or(""));
            return path.has_value();
        });
        for (const std::string& path : list) {
            append("Deleting registry key: " + q + path);
            guard([&] { deleteScriptRegKey(path); });
        }
    }
}

// nullopt (silently) for an unknown root; throws for a path with no key
// between the root and its last component.
std::optional<ParsedRegPath> ScriptIniEngine::parseScriptRegPath(const std::string& path) {
    auto slash = path.find('\\');
    if (slash == std::string::npos) return std::nullopt;
    bool noKey = path.find('\\', slash + 1) == std::string::npos;
    if (noKey) {
        // Only a root we know makes this a malformed path rather than a foreign one.
        if (parseRegPath(path.substr(0, slash) + "\\k\\v")) throw platform::invalidProcedureCallError();
        return std::nullopt;
    }
    return parseRegPath(path);
}

void ScriptIniEngine::setScriptRegValue(const std::string& path, const std::string& contents,
                                        const std::string& type) {
    auto parsed = parseScriptRegPath(path);
    if (!parsed) return;
    if (base::asciiUpper(type) == "REG_DWORD") {
        // Converted before anything is touched, so a bad number creates no key.
        (void)platform::toLong(contents);
        setRegValue(contents, platform::kRegDword, parsed->parentSubKey, parsed->lastComponent, parsed->root);
    } else {
        setRegValue(contents, platform::kRegSz, parsed->parentSubKey, parsed->lastComponent, parsed->root);
    }
}

void ScriptIniEngine::deleteScriptRegValue(const std::string& path) {
    auto parsed = parseScriptRegPath(path);
    if (!parsed) return;
    deleteRegValue(parsed->root, parsed->parentSubKey, parsed->lastComponent);
}

void ScriptIniEngine::deleteScriptRegKey(const std::string& path) {
    auto parsed = parseScriptRegPath(path);
    if (!parsed) return;
    deleteRegKey(parsed->root, parsed->parentSubKey, parsed->lastComponent);
}

}  // namespace vk::script
